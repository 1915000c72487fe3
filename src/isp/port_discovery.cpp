#include "isp/port_discovery.h"

#include "isp/port_names.h"

#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>
#include <climits>

QString SerialDeviceInfo::usb_id() const
{
    if (!usb)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2").arg(vendor_id, 4, 16, QLatin1Char('0')).arg(product_id, 4, 16, QLatin1Char('0'));
}

QList<SerialDeviceInfo> serial_devices()
{
    const QStringList order = ordered_serial_devices();
    QList<SerialDeviceInfo> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDeviceInfo d;
        d.path = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serial_number = info.serialNumber();
        d.usb = info.hasVendorIdentifier();
        d.vendor_id = info.vendorIdentifier();
        d.product_id = info.productIdentifier();
#ifdef Q_OS_WIN
        d.com_name = info.portName();
#else
        const int index = order.indexOf(d.path);
        if (index >= 0 && index < 8)
            d.com_name = QStringLiteral("COM%1").arg(index + 1);
#endif
        found << d;
    }
    std::stable_sort(found.begin(), found.end(), [&order](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
        const int ia = order.indexOf(a.path);
        const int ib = order.indexOf(b.path);
        return (ia < 0 ? INT_MAX : ia) < (ib < 0 ? INT_MAX : ib);
    });
    return found;
}

bool pick_auto_port(const QList<SerialDeviceInfo>& devices, QString& device, QString& error)
{
    QList<SerialDeviceInfo> usb;
    for (const SerialDeviceInfo& d : devices)
        if (d.usb)
            usb << d;
    if (usb.size() == 1) {
        device = usb.first().path;
        return true;
    }
    if (usb.isEmpty()) {
        QStringList others;
        for (const SerialDeviceInfo& d : devices)
            others << d.path;
        error = QStringLiteral("--port auto: no USB serial adapter found");
        if (!others.isEmpty())
            error += QStringLiteral(" (other serial devices: %1; name one with --port)").arg(others.join(QStringLiteral(", ")));
        else
            error += QStringLiteral("; plug one in and check 'zvkisp-cli ports'");
        return false;
    }
    QStringList names;
    for (const SerialDeviceInfo& d : usb) {
        QString name = d.path + QStringLiteral(" [") + d.usb_id();
        if (!d.description.isEmpty())
            name += QStringLiteral(" ") + d.description;
        name += QStringLiteral("]");
        names << name;
    }
    error = QStringLiteral("--port auto: %1 USB serial adapters found, name one with --port: %2")
                .arg(usb.size())
                .arg(names.join(QStringLiteral(", ")));
    return false;
}

QStringList format_device_table(const QList<SerialDeviceInfo>& devices)
{
    int width = 6;
    for (const SerialDeviceInfo& d : devices)
        width = qMax(width, int(d.path.size()));
    QStringList lines;
    lines << QStringLiteral("%1  %2  %3  %4")
                 .arg(QStringLiteral("Device"), -width)
                 .arg(QStringLiteral("COM"), -4)
                 .arg(QStringLiteral("USB id"), -9)
                 .arg(QStringLiteral("Description"));
    for (const SerialDeviceInfo& d : devices) {
        QString text = d.description;
        if (!d.manufacturer.isEmpty() && !text.contains(d.manufacturer))
            text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + d.manufacturer;
        if (!d.serial_number.isEmpty())
            text += QStringLiteral(" (serial %1)").arg(d.serial_number);
        lines << QStringLiteral("%1  %2  %3  %4")
                     .arg(d.path, -width)
                     .arg(d.com_name.isEmpty() ? QStringLiteral("-") : d.com_name, -4)
                     .arg(d.usb_id(), -9)
                     .arg(text.isEmpty() ? QStringLiteral("-") : text)
                     .trimmed();
    }
    return lines;
}
