#pragma once
// The real serial port: QSerialPort plus what it does not do by itself on POSIX — the driver's
// output queue in the transmit count, draining before a close or a change of format, and asking
// the driver for low latency (a USB adapter then hands replies over within 1 ms, not 16).

#include "isp/serial_port.h"

#include <QSerialPort>

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    int open(const QString& device, const SerialFormat& format) override;
    void close() override;
    bool is_open() const override;
    bool set_format(const SerialFormat& format) override;
    SerialFormat format() const override { return format_; }

    qint64 bytes_available() override;
    QByteArray read(qint64 max = 0) override;
    void write(const QByteArray& bytes) override;
    qint64 bytes_to_send() override;
    void clear_input() override;
    QString error_string() const override { return error_string_; }
    PortErrorKind error_kind() const override { return error_kind_; }
    QString low_latency_note() const override { return low_latency_note_; }
    // A pseudo-terminal's peer looks at the line settings when it gets round to reading the
    // bytes, and closing puts back the settings the device had before the open.
    int close_settle_ms() const override { return pseudo_terminal_ ? 50 : 0; }

    void set_dtr(bool on) override;
    void set_rts(bool on) override;

private:
    bool apply_format(const SerialFormat& format);
    // Blocks until the bytes written so far have left Qt's buffer and the driver's queue.
    void drain();
    // TIOCSSERIAL with ASYNC_LOW_LATENCY; a refusal that costs time leaves low_latency_note_.
    void request_low_latency();
    void on_error(QSerialPort::SerialPortError error);
    void fail(const QString& reason);
    bool hung_up() const;
    // Once a modem line is driven (it powers the board), closing the port must not drop it: the
    // handshake closes and reopens the port several times while the MCU has to stay powered.
    void hold_modem_lines();

    QSerialPort port_;
    SerialFormat format_;
    QString device_;
    QString error_string_;
    QString low_latency_note_;
    bool failing_ = false;
    bool pseudo_terminal_ = false;
    bool lines_held_ = false;
    PortErrorKind error_kind_ = PortErrorKind::None;
};
