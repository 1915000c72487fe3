#include "isp/port_names.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

bool is_usb_adapter(const QString& path)
{
    return path.startsWith(QLatin1String("/dev/ttyUSB")) || path.startsWith(QLatin1String("/dev/ttyACM"));
}

// Natural order: ttyUSB2 before ttyUSB10.
bool natural_less(const QString& a, const QString& b)
{
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d+)$"));
    const auto ma = tail.match(a);
    const auto mb = tail.match(b);
    if (ma.hasMatch() && mb.hasMatch() && ma.captured(1) == mb.captured(1))
        return ma.captured(2).toLongLong() < mb.captured(2).toLongLong();
    return a < b;
}

int com_number(const QString& text)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-8])$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(text.trimmed());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace

QStringList ordered_serial_devices()
{
    QStringList usb;
    QStringList others;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        (is_usb_adapter(path) ? usb : others).append(path);
    }
    std::sort(usb.begin(), usb.end(), natural_less);
    std::sort(others.begin(), others.end(), natural_less);
    return usb + others;
}

QString resolve_port_device(const QString& text)
{
    if (text.contains(QLatin1Char('/')))
        return text;
    const int n = com_number(text);
    if (n == 0)
        return text;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QStringList devices = ordered_serial_devices();
    if (n <= devices.size())
        return devices.at(n - 1);
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

QStringList list_com_mapping()
{
    QStringList lines;
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        lines << name + QStringLiteral(" -> ") + resolve_port_device(name);
    }
    return lines;
}
