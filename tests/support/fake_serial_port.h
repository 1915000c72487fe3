#pragma once
// An in-memory SerialPort for tests: scripted incoming bytes, a record of every write with the
// line format in force at that moment, a settable open error, and an optional responder that
// answers what the code under test writes.

#include "isp/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    struct Write {
        QByteArray bytes;
        SerialFormat format;
    };
    // Gets every write; returns the bytes the far end answers with (empty: no answer). The answer
    // arrives through the event loop after `reply_delay_ms`, as received bytes do.
    using Responder = std::function<QByteArray(FakeSerialPort& port, const QByteArray& written)>;

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

    // ---- Scripting the far end ----
    // Bytes arrive now: appended to the receive queue, then the receive event fires (unless
    // `notify` is false, for a test that calls the handler itself).
    void feed(const QByteArray& bytes, bool notify = true);
    // Bytes arrive `ms` later through the event loop.
    void feed_later(const QByteArray& bytes, int ms = 0);
    // The device disappears: closed, then failed(reason).
    void vanish(const QString& reason = QStringLiteral("device removed"));

    // ---- Knobs ----
    int open_error = 0;              // > 0: open fails with this number
    QString open_error_text;         // error_string() after a failed open (default names the device)
    PortErrorKind open_error_kind = PortErrorKind::Missing;   // error_kind() after a failed open
    bool open_refused = false;       // open returns 0 but the port stays closed
    bool refuse_formats = false;     // set_format on an open port fails
    Responder responder;
    int reply_delay_ms = 0;

    // ---- What happened ----
    QList<Write> writes;
    QString opened_device;
    int open_calls = 0;
    int close_calls = 0;
    QByteArray written() const;      // every write, concatenated
    void clear_record() { writes.clear(); }

    // A responder that collects written bytes into command frames (6A ... 16, with or without the
    // 46 B9 prefix) and custom frames (5A A5 ... 16) and answers each complete frame through
    // `answer` (called with the frame without prefix). Bytes outside a frame (greetings) go to
    // `on_loose_byte` when given; its return value is sent back too.
    static Responder frame_responder(std::function<QByteArray(const QByteArray& frame)> answer,
                                     std::function<QByteArray(quint8 byte)> on_loose_byte = {});

private:
    bool open_ = false;
    SerialFormat format_;
    QByteArray rx_;
    QString error_string_;
};
