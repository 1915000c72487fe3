// "--port auto" and the "ports" table: the only USB adapter is chosen; none or several give an
// error that names the candidates.
#include "isp/port_discovery.h"

#include <QtTest>

namespace {

SerialDeviceInfo usb(const QString& path, quint16 vid, quint16 pid, const QString& description = {})
{
    SerialDeviceInfo d;
    d.path = path;
    d.usb = true;
    d.vendor_id = vid;
    d.product_id = pid;
    d.description = description;
    return d;
}

SerialDeviceInfo plain(const QString& path)
{
    SerialDeviceInfo d;
    d.path = path;
    return d;
}

} // namespace

Q_DECLARE_METATYPE(QList<SerialDeviceInfo>)

class TestPortDiscovery : public QObject {
    Q_OBJECT
private slots:
    void auto_port_data()
    {
        QTest::addColumn<QList<SerialDeviceInfo>>("devices");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("error_names");
        QTest::newRow("one adapter among built-in ports")
            << QList<SerialDeviceInfo>{plain("/dev/ttyS0"), usb("/dev/ttyUSB0", 0x0403, 0x6001), plain("/dev/ttyS1")}
            << "/dev/ttyUSB0" << QStringList{};
        QTest::newRow("one CDC adapter") << QList<SerialDeviceInfo>{usb("/dev/ttyACM0", 0x1a86, 0x55d4)} << "/dev/ttyACM0"
                                         << QStringList{};
        QTest::newRow("two adapters: both named")
            << QList<SerialDeviceInfo>{usb("/dev/ttyUSB0", 0x0403, 0x6001, "FT232R USB UART"),
                                       usb("/dev/ttyUSB1", 0x067b, 0x2303)}
            << "" << QStringList{"2 USB serial adapters", "/dev/ttyUSB0 [0403:6001 FT232R USB UART]", "/dev/ttyUSB1 [067b:2303]"};
        QTest::newRow("only built-in ports: listed")
            << QList<SerialDeviceInfo>{plain("/dev/ttyS0"), plain("/dev/ttyS1")} << ""
            << QStringList{"no USB serial adapter", "/dev/ttyS0, /dev/ttyS1"};
        QTest::newRow("nothing at all") << QList<SerialDeviceInfo>{} << "" << QStringList{"no USB serial adapter", "zvkisp-cli ports"};
    }
    void auto_port()
    {
        QFETCH(QList<SerialDeviceInfo>, devices);
        QFETCH(QString, chosen);
        QFETCH(QStringList, error_names);
        QString device;
        QString error;
        const bool ok = pick_auto_port(devices, device, error);
        QCOMPARE(ok, !chosen.isEmpty());
        if (ok) {
            QCOMPARE(device, chosen);
            return;
        }
        QVERIFY(error.startsWith(QLatin1String("--port auto: ")));
        for (const QString& name : error_names)
            QVERIFY2(error.contains(name), qPrintable(error));
    }
    void table()
    {
        SerialDeviceInfo a = usb("/dev/ttyUSB0", 0x0403, 0x6001, "FT232R USB UART");
        a.com_name = QStringLiteral("COM1");
        a.manufacturer = QStringLiteral("FTDI");
        a.serial_number = QStringLiteral("A50285BI");
        SerialDeviceInfo b = plain("/dev/ttyS0");
        const QStringList lines = format_device_table({a, b});
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(1), QStringLiteral("/dev/ttyUSB0  COM1  0403:6001  FT232R USB UART, FTDI (serial A50285BI)"));
        QCOMPARE(lines.at(2), QStringLiteral("/dev/ttyS0    -     -          -"));
    }
};

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "test_port_discovery.moc"
