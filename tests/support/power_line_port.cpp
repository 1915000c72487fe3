#include "support/power_line_port.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

PowerLinePort::PowerLinePort(const QString& fifo, PowerCycle wired, bool asserted_on_open, QObject* parent)
    : QtSerialPort(parent), wired_(wired), asserted_on_open_(asserted_on_open)
{
    fd_ = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
}

PowerLinePort::~PowerLinePort()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int PowerLinePort::open(const QString& device, const SerialFormat& format)
{
    const int result = QtSerialPort::open(device, format);
    if (result == 0 && asserted_on_open_) {
        dtr = rts = true;
        if (wired_ != PowerCycle::None) {
            const QByteArray line("on\n");
            const ssize_t n = ::write(fd_, line.constData(), size_t(line.size()));
            (void)n;
        }
    }
    return result;
}

void PowerLinePort::set_dtr(bool on)
{
    line_events << (on ? QStringLiteral("dtr on") : QStringLiteral("dtr off"));
    dtr = on;
    if (wired_ == PowerCycle::Dtr)
        apply(PowerCycle::Dtr, on);
}

void PowerLinePort::set_rts(bool on)
{
    line_events << (on ? QStringLiteral("rts on") : QStringLiteral("rts off"));
    rts = on;
    if (wired_ == PowerCycle::Rts)
        apply(PowerCycle::Rts, on);
}

void PowerLinePort::apply(PowerCycle, bool on)
{
    if (fd_ < 0)
        return;
    const QByteArray line(on ? "on\n" : "off\n");
    const ssize_t n = ::write(fd_, line.constData(), size_t(line.size()));
    (void)n;
}

void PowerLinePort::write(const QByteArray& bytes)
{
    if (is_open() && !bytes.isEmpty() && bytes.count(char(0x7F)) == bytes.size())
        line_events << QStringLiteral("greeting");
    QtSerialPort::write(bytes);
}
