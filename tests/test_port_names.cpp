// From the COM choice to the device that gets opened.

#include "isp/port_names.h"

#include <QtTest>

class TestPortNames : public QObject {
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("device");
        QTest::newRow("path") << "/dev/pts/7" << "/dev/pts/7";
        QTest::newRow("relative path") << "./ttyX/a" << "./ttyX/a";
        QTest::newRow("COM9 is not a COM choice") << "COM9" << "COM9";
        QTest::newRow("other text") << "ttyS0" << "ttyS0";
    }
    void names()
    {
        QFETCH(QString, text);
        QFETCH(QString, device);
        QCOMPARE(resolve_port_device(text), device);
    }
    void com_numbers_follow_device_order()
    {
    #ifdef Q_OS_WIN
        QCOMPARE(resolve_port_device(QStringLiteral("COM3")), QStringLiteral("COM3"));
    #else
        const QStringList devices = ordered_serial_devices();
        bool usb_done = false;
        for (const QString& d : devices) {
            const bool usb = d.startsWith(QLatin1String("/dev/ttyUSB")) || d.startsWith(QLatin1String("/dev/ttyACM"));
            QVERIFY2(!(usb && usb_done), "USB adapters come first");
            usb_done = usb_done || !usb;
        }
        for (int n = 1; n <= 8; ++n) {
            const QString want = n <= devices.size() ? devices.at(n - 1) : QStringLiteral("/dev/ttyS%1").arg(n - 1);
            QCOMPARE(resolve_port_device(QStringLiteral("COM%1").arg(n)), want);
            QCOMPARE(resolve_port_device(QStringLiteral("com%1").arg(n)), want);
        }
        QCOMPARE(list_com_mapping().size(), 8);
        QVERIFY(list_com_mapping().first().startsWith(QStringLiteral("COM1 -> ")));
    #endif
    }
};

QTEST_GUILESS_MAIN(TestPortNames)
#include "test_port_names.moc"
