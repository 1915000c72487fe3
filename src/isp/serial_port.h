#pragma once
// The thin serial-port interface under the link. The real implementation is QtSerialPort
// (QSerialPort plus the driver drain); tests and the in-process transports implement it too.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

// A settings text such as "1200,n,8,1" or "38400,E,7,1.5": baud, parity (E/O/N, any case),
// data bits (5..8), stop bits (1, 1.5 or 2).
struct SerialFormat {
    qint32 baud = 1200;
    char parity = 'N';       // 'N', 'E' or 'O'
    int data_bits = 8;
    int stop_halves = 2;     // stop bits x 2: 2 = 1, 3 = 1.5, 4 = 2

    static std::optional<SerialFormat> parse(const QString& text);
    QString text() const;    // "1200,n,8,1" style: lower-case parity, "1.5" for one and a half stop bits
    // Bits one character takes on the wire: start, data, parity and stop bits.
    double bits_per_char() const { return 1.0 + data_bits + (parity == 'N' ? 0 : 1) + stop_halves / 2.0; }
    bool operator==(const SerialFormat& o) const
    {
        return baud == o.baud && parity == o.parity && data_bits == o.data_bits && stop_halves == o.stop_halves;
    }
};

// Why the last open failed, as far as the port layer can tell.
enum class PortErrorKind {
    None,               // the last open succeeded (or none was tried)
    Missing,            // no such device
    PermissionDenied,   // the user may not open it
    Busy,               // another program holds it
    NotSerial,          // not a serial port, or it refuses the settings
    Other,
};

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens `device` with `format`. 0 on success, else a positive error number (errno style or
    // the port layer's own); errorString() says why.
    virtual int open(const QString& device, const SerialFormat& format) = 0;
    // Closes after the bytes written so far have left the port.
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    // Applies a format to the open (or next) port in place (receive queue and modem lines kept);
    // false when the port refuses it. Lets the driver drain first, as changing the speed of a UART
    // mid-byte garbles the byte; timing the bytes on the wire is the caller's (the link's) part.
    virtual bool set_format(const SerialFormat& format) = 0;
    virtual SerialFormat format() const = 0;

    virtual qint64 bytes_available() = 0;
    // Reads up to `max` waiting bytes (0 = all).
    virtual QByteArray read(qint64 max = 0) = 0;
    virtual void write(const QByteArray& bytes) = 0;
    // Bytes still queued for sending as the driver counts them (a USB adapter counts bytes in
    // flight too): information only, never a clock.
    virtual qint64 bytes_to_send() = 0;
    virtual void clear_input() = 0;
    virtual QString error_string() const = 0;
    // The kind of the last open failure (Other where the layer cannot tell).
    virtual PortErrorKind error_kind() const { return PortErrorKind::Other; }
    // After an open: one log line when the driver refused low latency and replies will be late
    // (what it costs and how to fix it); empty otherwise, and on ports without such a setting.
    virtual QString low_latency_note() const { return {}; }

    // How long the peer may still need after the last write before the device may be closed
    // (its settings change at the close), beyond the bytes' wire time.
    virtual int close_settle_ms() const { return 0; }

    // Modem control lines (no-ops where the port has none).
    virtual void set_dtr(bool) {}
    virtual void set_rts(bool) {}

signals:
    // Bytes arrived (the receive event).
    void ready_read();
    // The device went away or failed (unplugged adapter, pseudo-terminal closed by its master).
    void failed(const QString& reason);
};
