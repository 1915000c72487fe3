#pragma once
// The board port as the command line uses it: tells when the polls for an answer start and when
// the MCU answers (the --timeout watch), and writes every byte to the --trace file.

#include "device/board_port.h"

#include <QElapsedTimer>
#include <QFile>

#include <functional>
#include <memory>

// The --trace file: every byte sent (TX) and received (RX) with a microsecond time stamp since
// the start, and the log lines (LOG) between them.
class TraceFile {
public:
    // False (and `error` says why) when the file cannot be created.
    bool open(const QString& path, QString& error);
    void bytes(const char* direction, const QByteArray& data);
    void line(const char* kind, const QString& text);

private:
    QString stamp() const;
    QFile file_;
    QElapsedTimer clock_;
};

class CliSerialPort : public BoardPort {
public:
    QByteArray read(qint64 max = 0) override;
    void write(const QByteArray& bytes) override;

    std::unique_ptr<TraceFile> trace;
    // Called at the first poll (a greeting pair, or the application routine's sync frame) after the
    // MCU last answered, and when it answers.
    std::function<void()> greeting_started, answered;

private:
    bool greeting_ = false;
};
