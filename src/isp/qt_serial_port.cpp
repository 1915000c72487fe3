#include "isp/qt_serial_port.h"

#include "isp/port_advice.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace {

QString reason_text(QSerialPort::SerialPortError error, const QString& detail)
{
    QString reason;
    switch (error) {
    case QSerialPort::DeviceNotFoundError: reason = QStringLiteral("no such device"); break;
    case QSerialPort::PermissionError: reason = QStringLiteral("permission denied or the port is in use"); break;
    case QSerialPort::OpenError: reason = QStringLiteral("the port is already open"); break;
    case QSerialPort::ResourceError: reason = QStringLiteral("the device is not available"); break;
    case QSerialPort::UnsupportedOperationError:
        reason = QStringLiteral("not a serial port, or the settings are not supported");
        break;
    default: reason = QStringLiteral("cannot open"); break;
    }
    if (!detail.isEmpty() && detail.compare(reason, Qt::CaseInsensitive) != 0)
        reason += QStringLiteral(" (%1)").arg(detail);
    return reason;
}

// QSerialPort reports a refused permission and a device held elsewhere alike; the device's
// access rights tell them apart.
PortErrorKind kind_of(QSerialPort::SerialPortError error, const QString& device)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return PortErrorKind::Missing;
    case QSerialPort::OpenError: return PortErrorKind::Busy;
    case QSerialPort::UnsupportedOperationError: return PortErrorKind::NotSerial;
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        const QByteArray path = QFile::encodeName(device);
        if (::access(path.constData(), F_OK) != 0)
            return PortErrorKind::Missing;
        if (::access(path.constData(), R_OK | W_OK) != 0)
            return PortErrorKind::PermissionDenied;
        return PortErrorKind::Busy;
#else
        Q_UNUSED(device);
        return PortErrorKind::PermissionDenied;
#endif
    }
    default: return PortErrorKind::Other;
    }
}

// The name the port is opened by. QSerialPort names its lock file after the path it opens, and a
// path too long for a file name would read as a port in use: such a device is opened through a
// link of this user's whose name is a hash of the path.
QString openable_name(const QString& device)
{
#ifdef Q_OS_UNIX
    if (device.size() <= 96)
        return device;
    const QString dir = QDir::tempPath() + QStringLiteral("/zvkisp-ports-%1").arg(::getuid());
    if (!QDir().mkpath(dir))
        return device;
    const QString target = QFileInfo(device).absoluteFilePath();
    const QString link =
        dir + QLatin1Char('/') + QCryptographicHash::hash(target.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    if (QFileInfo(link).symLinkTarget() != target) {
        QFile::remove(link);
        if (!QFile::link(target, link))
            return device;
    }
    return link;
#else
    return device;
#endif
}

QSerialPort::Parity to_qt_parity(char p)
{
    switch (p) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits to_qt_stop(int halves)
{
    switch (halves) {
    case 3: return QSerialPort::OneAndHalfStop;
    case 4: return QSerialPort::TwoStop;
    default: return QSerialPort::OneStop;
    }
}

} // namespace

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::ready_read);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::on_error);
}

QtSerialPort::~QtSerialPort()
{
    if (port_.isOpen())
        port_.close();
}

int QtSerialPort::open(const QString& device, const SerialFormat& format)
{
    if (port_.isOpen())
        close();
    failing_ = false;
    device_ = device;
    port_.setPortName(openable_name(device));
    port_.clearError();
    if (!apply_format(format)) {
        error_string_ = QStringLiteral("Cannot open %1: the settings %2 are not supported").arg(device, format.text());
        error_kind_ = PortErrorKind::NotSerial;
        return int(QSerialPort::UnsupportedOperationError);
    }
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError err = port_.error();
        int code = int(err);
        if (code <= 0)
            code = int(QSerialPort::OpenError);
        const QString name = device.isEmpty() ? QStringLiteral("(no port chosen)") : device;
        error_string_ = QStringLiteral("Cannot open %1: %2").arg(name, reason_text(err, port_.errorString()));
        error_kind_ = kind_of(err, device);
        port_.clearError();
        return code;
    }
    // QSerialPort applies the settings given before open(); read them back as applied.
    format_ = format;
    if (lines_held_)
        hold_modem_lines();
    error_string_.clear();
    error_kind_ = PortErrorKind::None;
    pseudo_terminal_ = false;
#ifdef Q_OS_UNIX
    char name[64] = {0};
    pseudo_terminal_ =
        ::ttyname_r(int(port_.handle()), name, sizeof name) == 0 && std::strncmp(name, "/dev/pts/", 9) == 0;
#endif
    request_low_latency();
    return 0;
}

void QtSerialPort::request_low_latency()
{
    low_latency_note_.clear();
#ifdef Q_OS_LINUX
    const int fd = int(port_.handle());
    serial_struct info{};
    if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return;   // not a serial driver (a pseudo-terminal): nothing to ask for
    if (info.flags & ASYNC_LOW_LATENCY)
        return;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) == 0)
        return;
    const int err = errno;
    // An adapter with a latency timer (FTDI) says how long it holds replies back. A driver that
    // has no such setting at all (ENOTTY) and no timer has nothing to refuse.
    const QString tty = QFileInfo(QFileInfo(device_).canonicalFilePath()).fileName();
    int latency_ms = 0;
    QFile timer(QStringLiteral("/sys/class/tty/%1/device/latency_timer").arg(tty));
    if (timer.open(QIODevice::ReadOnly))
        latency_ms = timer.readAll().trimmed().toInt();
    if (latency_ms == 1 || (err == ENOTTY && latency_ms == 0))
        return;
    low_latency_note_ =
        port_advice::low_latency_refused(device_, tty, QString::fromLocal8Bit(std::strerror(err)), latency_ms);
#endif
}

void QtSerialPort::close()
{
    if (!port_.isOpen())
        return;
    drain();
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::is_open() const
{
    return port_.isOpen();
}

bool QtSerialPort::apply_format(const SerialFormat& f)
{
    QSerialPort::StopBits stop = to_qt_stop(f.stop_halves);
#ifdef Q_OS_UNIX
    // termios knows no one and a half stop bits (QSerialPort would quietly send one): a UART sends
    // them for 5-bit characters when asked for two; with 6 to 8 data bits the format is refused,
    // as a port refuses it elsewhere.
    if (f.stop_halves == 3) {
        if (f.data_bits != 5)
            return false;
        stop = QSerialPort::TwoStop;
    }
#endif
    bool ok = port_.setBaudRate(f.baud);
    ok = port_.setParity(to_qt_parity(f.parity)) && ok;
    ok = port_.setDataBits(QSerialPort::DataBits(f.data_bits)) && ok;
    ok = port_.setStopBits(stop) && ok;
    return ok;
}

bool QtSerialPort::set_format(const SerialFormat& format)
{
    if (!port_.isOpen()) {
        format_ = format;
        return true;
    }
    if (format == format_)
        return true;
    drain();
    if (!port_.isOpen())
        return false;
    if (!apply_format(format)) {
        port_.clearError();
        apply_format(format_);
        port_.clearError();
        return false;
    }
    format_ = format;
    return true;
}

qint64 QtSerialPort::bytes_available()
{
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray QtSerialPort::read(qint64 max)
{
    if (!port_.isOpen())
        return {};
    return max <= 0 ? port_.readAll() : port_.read(max);
}

void QtSerialPort::write(const QByteArray& bytes)
{
    if (!port_.isOpen() || bytes.isEmpty())
        return;
    port_.write(bytes);
    // Hand the bytes to the driver now rather than at the next event-loop pass.
    port_.flush();
}

qint64 QtSerialPort::bytes_to_send()
{
    if (!port_.isOpen())
        return 0;
    qint64 n = port_.bytesToWrite();
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(int(port_.handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        n += queued;
#endif
    return n;
}

void QtSerialPort::clear_input()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::Input);
}

void QtSerialPort::set_dtr(bool on)
{
    hold_modem_lines();
    if (port_.isOpen())
        port_.setDataTerminalReady(on);
}

void QtSerialPort::set_rts(bool on)
{
    hold_modem_lines();
    if (port_.isOpen())
        port_.setRequestToSend(on);
}

void QtSerialPort::hold_modem_lines()
{
    lines_held_ = true;
#ifdef Q_OS_UNIX
    if (!port_.isOpen())
        return;
    const int fd = int(port_.handle());
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0 && (tio.c_cflag & HUPCL)) {
        tio.c_cflag &= ~tcflag_t(HUPCL);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
#endif
}

void QtSerialPort::drain()
{
    if (!port_.isOpen() || failing_ || hung_up())
        return;   // nothing can leave a port that is gone
    // Qt's own buffer first; a full driver queue may take a few rounds.
    for (int round = 0; port_.isOpen() && port_.bytesToWrite() > 0 && round < 100; ++round) {
        port_.flush();
        if (port_.bytesToWrite() > 0 && !port_.waitForBytesWritten(50))
            break;
    }
    if (!port_.isOpen())
        return;
#ifdef Q_OS_UNIX
    const int fd = int(port_.handle());
    if (fd >= 0 && !hung_up()) {
        while (::tcdrain(fd) != 0 && errno == EINTR) {
        }
    }
#endif
}

bool QtSerialPort::hung_up() const
{
#ifdef Q_OS_UNIX
    if (!port_.isOpen())
        return true;
    pollfd p{int(port_.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
#endif
    return false;
}

void QtSerialPort::on_error(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ResourceError:
        fail(QStringLiteral("%1: the device is no longer available (%2)").arg(device_, port_.errorString()));
        return;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (hung_up()) {
            fail(QStringLiteral("%1: the device hung up (%2)").arg(device_, port_.errorString()));
            return;
        }
        break;
    default:
        break;
    }
    // Anything else is suppressed: the callers judge by results and flags.
    if (port_.isOpen())
        port_.clearError();
}

void QtSerialPort::fail(const QString& reason)
{
    if (failing_)
        return;
    failing_ = true;
    error_string_ = reason;
    // Close outside QSerialPort's own notification handler, then tell the link.
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!failing_)
                return;   // reopened meanwhile
            if (port_.isOpen())
                port_.close();
            port_.clearError();
            emit failed(reason);
        },
        Qt::QueuedConnection);
}
