#pragma once
// The real port on zvkisp-sim's pseudo-terminal plus the board's power line. A pseudo-terminal
// carries no modem lines, so DTR and RTS are played here: the line the board is wired to is
// written as "on" / "off" to the sim's --power-control FIFO. As on a Linux serial port whose
// hang-up-on-close is off, opening the port asserts both lines (when `asserted_on_open`) and
// closing it leaves them as they are.

#include "isp/power_cycle.h"
#include "isp/qt_serial_port.h"

#include <QStringList>

class PowerLinePort : public QtSerialPort {
    Q_OBJECT
public:
    // `fifo`: the sim's --power-control path (the sim must already be running).
    PowerLinePort(const QString& fifo, PowerCycle wired, bool asserted_on_open, QObject* parent = nullptr);
    ~PowerLinePort() override;

    bool power_line_ok() const { return fd_ >= 0; }

    int open(const QString& device, const SerialFormat& format) override;
    void set_dtr(bool on) override;
    void set_rts(bool on) override;
    void write(const QByteArray& bytes) override;

    // Every change of a modem line the tool made, in order: "dtr off", "dtr on", "rts off", ...,
    // with "greeting" for each write of 0x7F bytes only.
    QStringList line_events;
    bool dtr = false;
    bool rts = false;

private:
    void apply(PowerCycle line, bool on);

    PowerCycle wired_;
    bool asserted_on_open_;
    int fd_ = -1;
};
