#pragma once
// Watches a workbench download and fills one production record per board: when each step
// (handshake, erase, programming, options) began and ended, what the chip reported (identity,
// firmware, clock), the baud agreed, the bytes programmed, the frames that had to go again, the
// option lines of the log and, at the end, the result and the reason of a failure.

#include "device/work_state.h"
#include "store/board_record.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

class Workbench;

class BoardRecorder : public QObject {
    Q_OBJECT
public:
    // Follows `bench` from now on (its log, its busy states, the programmer's frames).
    explicit BoardRecorder(Workbench& bench, QObject* parent = nullptr);

    // Copied into every record.
    QString port;
    QString image_name;
    QString image_sha256;

    // A board's download begins (the download runner's board_started).
    void begin();
    // The board is done: its record. `serial_text` and `series` name its number ("" for none).
    BoardRecord finish(RecordResult result, const QString& serial_text = {}, const QString& series = {});

    // SHA-256 of a file, lower-case hex ("" when it cannot be read).
    static QString file_sha256(const QString& path);

private:
    enum class Step { None, Handshake, Erase, Program, Options, Done };
    void on_line(const QString& line);
    void on_phase(WorkPhase phase);
    void enter(Step step);
    qint64 resent_frames() const;

    Workbench& bench_;
    BoardRecord record_;
    Step step_ = Step::None;
    QElapsedTimer clock_;
    qint64 step_start_ = 0;
    quint64 resent_at_begin_ = 0;   // the programmer's resend count when the board began
    QSet<qint32> chunks_;           // addresses of the chunks sent during this board
    qint64 chunk_bytes_ = 0;
    QStringList option_lines_;
    QString failure_line_;
    bool connected_ = false;
};
