// The serial port as the user names it and as it fails: COM names to devices, "--port auto", and
// the advice line after the port-open failure lines (the group and reason it names; zvkisp-cli
// writes exactly one such line after the three failure lines, naming the device).
#include "isp/port_advice.h"
#include "isp/port_discovery.h"
#include "isp/port_names.h"
#include "support/e2e_util.h"
#include "support/fake_serial_port.h"

#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

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

const QString kOpen = QStringLiteral("Open COM port failure! / 打开串口失败!");
const QString kHint = QStringLiteral("The COM port opened by another Program or no the COM port.");
const QString kChinese = QStringLiteral("Chinese:串口已被其它程序打开或该串口不存在。");

// The lines after the three failure lines (empty when they are missing).
QStringList lines_after_failure(const QStringList& log)
{
    const int at = log.indexOf(kOpen);
    if (at < 0 || at + 2 >= log.size() || log.at(at + 1) != kHint || log.at(at + 2) != kChinese)
        return {QStringLiteral("<failure lines missing>")};
    return log.mid(at + 3);
}

} // namespace

Q_DECLARE_METATYPE(QList<SerialDeviceInfo>)

class TestPorts : public QObject {
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
    void wording_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("expected");
        QTest::newRow("permission, group dialout")
            << int(PortErrorKind::PermissionDenied) << "dialout" << ""
            << "Permission denied on /dev/ttyUSB0: add your user to the group 'dialout' (sudo usermod -aG dialout "
               "$USER) and log in again. / 没有权限打开 /dev/ttyUSB0: 请把当前用户加入 'dialout' 组后重新登录。";
        QTest::newRow("permission, the device's own group")
            << int(PortErrorKind::PermissionDenied) << "uucp" << ""
            << "Permission denied on /dev/ttyUSB0: add your user to the group 'uucp' (sudo usermod -aG uucp "
               "$USER) and log in again. / 没有权限打开 /dev/ttyUSB0: 请把当前用户加入 'uucp' 组后重新登录。";
        QTest::newRow("permission, group root is no advice")
            << int(PortErrorKind::PermissionDenied) << "root" << ""
            << "Permission denied on /dev/ttyUSB0: add your user to the group 'dialout' (sudo usermod -aG dialout "
               "$USER) and log in again. / 没有权限打开 /dev/ttyUSB0: 请把当前用户加入 'dialout' 组后重新登录。";
        QTest::newRow("other, the layer's reason without its own prefix")
            << int(PortErrorKind::Other) << "" << "Cannot open /dev/ttyUSB0: input/output error"
            << "Cannot open /dev/ttyUSB0: input/output error. / 无法打开 /dev/ttyUSB0。";
        QTest::newRow("none gives no line") << int(PortErrorKind::None) << "" << "" << "";
    }
    void wording()
    {
        QFETCH(int, kind);
        QFETCH(QString, group);
        QFETCH(QString, detail);
        QFETCH(QString, expected);
        QCOMPARE(port_advice::text(PortErrorKind(kind), QStringLiteral("/dev/ttyUSB0"), group, detail), expected);
    }
    // A refused permission: the device's own group when joining it helps, else its mode.
    void permission_advice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("advice");
        QTest::newRow("mode 000") << 0000 << "dialout" << "(mode 000, owner root, group dialout): no group membership";
        QTest::newRow("group may read and write") << 0660 << "dialout" << "add your user to the group 'dialout'";
        QTest::newRow("group root") << 0660 << "root" << "(mode 660, owner root, group root)";
    }
    void permission_advice()
    {
        QFETCH(int, mode);
        QFETCH(QString, group);
        QFETCH(QString, advice);
        const struct group* g = ::getgrnam(qPrintable(group));
        if (::getuid() != 0 || !g)
            QSKIP("needs root and the group");
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB9"));
        QVERIFY(e2e::write_file(device, {}));
        QVERIFY(::chown(qPrintable(device), 0, g->gr_gid) == 0 && ::chmod(qPrintable(device), mode_t(mode)) == 0);
        FakeSerialPort port;
        port.open_error = 13;
        port.open_error_kind = PortErrorKind::PermissionDenied;
        const QString text = port_advice::for_port(port, device);
        QVERIFY2(text.contains(advice), qPrintable(text));
    }
    // The handshake and the user-code command both follow the three failure lines with one line
    // that names the device, for a missing device and for a file that is no serial port.
    void one_advice_line_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("plain_file");
        QTest::newRow("connect, missing device") << QStringList{"connect"} << false;
        QTest::newRow("connect, not a serial port") << QStringList{"connect"} << true;
        QTest::newRow("user code, missing device")
            << QStringList{"send-user-code", QStringLiteral(ZVKISP_SOURCE_DIR "/tests/data/blink.ihx"), "--code", "12",
                           "--format", "9600,N,8,1"} << false;
    }
    void one_advice_line()
    {
        if (!CliProcess::available())
            QSKIP("zvkisp-cli is not built");
        QFETCH(QStringList, command);
        QFETCH(bool, plain_file);
        QTemporaryDir dir;
        const QString path = dir.filePath(plain_file ? QStringLiteral("not-a-tty") : QStringLiteral("ttyNONE0"));
        if (plain_file)
            QVERIFY(e2e::write_file(path, "x"));
        CliProcess cli;
        cli.start(command + QStringList{"--model", "ZVK7H64B+", "--port", path}, true);
        QVERIFY(cli.finish(30000));
        QVERIFY(cli.exit_code() != 0);
        QCOMPARE(cli.beeps(), 3);
        const QStringList after = lines_after_failure(cli.out().trimmed().split(QLatin1Char('\n')));
        QCOMPARE(after.size(), 1);
        QVERIFY2(after.first().contains(path), qPrintable(after.first()));
    }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "test_ports.moc"
