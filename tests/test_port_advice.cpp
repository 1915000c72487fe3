// The advice line after the port-open failure lines: the group and reason it names, that exactly
// one such line follows the three documented lines (handshake and user-code command), and what the
// real port layer reports for a missing device and for a file that is no serial port.
#include "custom/user_code.h"
#include "device/workbench.h"
#include "isp/port_advice.h"
#include "isp/qt_serial_port.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

class TestPortAdvice : public QObject {
    Q_OBJECT
private slots:
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
    // The handshake and the user-code command both follow the three failure lines with one line.
    void one_advice_line_data()
    {
        QTest::addColumn<bool>("user_code");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("start");
        QTest::newRow("handshake, busy") << false << int(PortErrorKind::Busy) << "/dev/ttyUSB3 is in use by another program";
        QTest::newRow("user code, permission") << true << int(PortErrorKind::PermissionDenied)
                                               << "Permission denied on /dev/ttyUSB3:";
    }
    void one_advice_line()
    {
        QFETCH(bool, user_code);
        QFETCH(int, kind);
        QFETCH(QString, start);
        FakeSerialPort port;
        ScriptedDialogs dialogs;
        Workbench bench(&port, &dialogs);
        bench.select_model(QStringLiteral("ZVK7H64B+"));
        bench.image.file_loaded = true;
        bench.link.set_port_device(QStringLiteral("/dev/ttyUSB3"));
        port.open_error = 13;
        port.open_error_kind = PortErrorKind(kind);
        port.open_error_text = QStringLiteral("Cannot open /dev/ttyUSB3: permission denied or the port is in use");
        if (user_code) {
            UserCodeCommand cmd(bench);
            QVERIFY(!cmd.send_user_code());
            QVERIFY(cmd.last_sent.isEmpty());
        } else {
            qint32 baud = 0;
            bool failed = false;
            bench.handshake.handshake(baud, false, failed);
            QVERIFY(failed);
        }
        const QStringList after = lines_after_failure(bench.log.lines());
        QCOMPARE(after.size(), 1);
        QVERIFY2(after.first().startsWith(start), qPrintable(after.first()));
        QCOMPARE(dialogs.beeps, 3);
        QVERIFY(port.writes.isEmpty());
    }
    void real_port_kinds_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("kind");
        QTest::newRow("missing path") << "missing" << int(PortErrorKind::Missing);
        QTest::newRow("a plain file") << "file" << int(PortErrorKind::NotSerial);
    }
    void real_port_kinds()
    {
        QFETCH(QString, what);
        QFETCH(int, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("ttyNONE0"));
        if (what == QLatin1String("file")) {
            path = dir.filePath(QStringLiteral("not-a-tty"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        QtSerialPort port;
        ScriptedDialogs dialogs;
        Workbench bench(&port, &dialogs);
        bench.select_model(QStringLiteral("ZVK7H64B+"));
        bench.link.set_port_device(path);
        qint32 baud = 0;
        bool failed = false;
        bench.handshake.handshake(baud, false, failed);

        QVERIFY(failed);
        QCOMPARE(int(port.error_kind()), kind);
        const QStringList after = lines_after_failure(bench.log.lines());
        QCOMPARE(after.size(), 1);
        QVERIFY2(after.first().contains(path), qPrintable(after.first()));
    }
};

QTEST_GUILESS_MAIN(TestPortAdvice)
#include "test_port_advice.moc"
