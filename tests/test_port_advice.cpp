// The advice line after the port-open failure lines: the group and reason it names, and that
// zvkisp-cli writes exactly one such line after the three failure lines, naming the device.
#include "isp/port_advice.h"
#include "support/e2e_util.h"

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

QTEST_GUILESS_MAIN(TestPortAdvice)
#include "test_port_advice.moc"
