#pragma once
// An in-memory SerialPort for tests: incoming bytes fed by the test, a record of every write with
// the line format in force at that moment, and a settable open error.

#include "isp/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QString>

class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    struct Write {
        QByteArray bytes;
        SerialFormat format;
    };

    explicit FakeSerialPort(QObject* parent = nullptr) : SerialPort(parent) {}

    // ---- SerialPort ----
    int open(const QString& device, const SerialFormat& format) override;
    void close() override;
    bool is_open() const override { return open_; }
    bool set_format(const SerialFormat& format) override;
    SerialFormat format() const override { return format_; }
    qint64 bytes_available() override { return rx_.size(); }
    QByteArray read(qint64 max = 0) override;
    void write(const QByteArray& bytes) override;
    qint64 bytes_to_send() override { return 0; }
    void clear_input() override { rx_.clear(); }
    QString error_string() const override { return error_string_; }
    PortErrorKind error_kind() const override { return open_error > 0 ? open_error_kind : PortErrorKind::None; }

    // Bytes arrive now: appended to the receive queue, then the receive event fires (unless
    // `notify` is false, for a test that calls the handler itself).
    void feed(const QByteArray& bytes, bool notify = true);

    // ---- Knobs ----
    int open_error = 0;              // > 0: open fails with this number
    QString open_error_text;         // error_string() after a failed open (default names the device)
    PortErrorKind open_error_kind = PortErrorKind::Missing;   // error_kind() after a failed open

    // ---- What happened ----
    QList<Write> writes;
    int open_calls = 0;
    int close_calls = 0;

private:
    bool open_ = false;
    SerialFormat format_;
    QByteArray rx_;
    QString error_string_;
};
