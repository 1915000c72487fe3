#pragma once
// The real serial port: QSerialPort plus what it does not do by itself on POSIX — the driver's
// output queue in the transmit count, and draining before a close or a change of format. A
// pseudo-terminal has no wire, so the time the bytes would spend on one is waited out too: the
// peer reads the line settings when the bytes arrive and must see the ones they were sent with.

#include "isp/serial_port.h"

#include <QElapsedTimer>
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
    void clear_output() override;
    QString error_string() const override { return error_string_; }
    PortErrorKind error_kind() const override { return error_kind_; }

    void set_dtr(bool on) override;
    void set_rts(bool on) override;

    // Bits one character takes on the wire (start, data, parity, stop) in the given format.
    static double bits_per_char(const SerialFormat& format);
    // How many bytes of earlier writes may still count as on the wire (see write()).
    static constexpr int kWireBacklogBytes = 64;

private:
    bool apply_format(const SerialFormat& format);
    // Blocks until the bytes written so far have left: Qt's buffer, the driver's queue, and the
    // wire time of the most recent bytes.
    void drain();
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
    QElapsedTimer clock_;
    qint64 wire_free_at_ns_ = 0;   // when the last byte written would have left a real wire
    bool failing_ = false;
    bool lines_held_ = false;
    PortErrorKind error_kind_ = PortErrorKind::None;
};
