// zvkisp-cli send-user-code and custom-download against zvkisp-sim playing a board that runs a
// user application: the command then a full download through the boot loader; the download
// routine at 38400,E,8,1 after a trigger, board after board; the identity check; Stop while the
// tool waits for the routine.
#include "support/cli_process.h"
#include "support/e2e_util.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using e2e::pattern;
using e2e::read_file;

const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");
const QString kStopLine = QStringLiteral("Operation is stop. / 操作被停止.");

using Run = e2e::SimCliRun;

QStringList common(const Run& r, const QString& file, const QString& model)
{
    return {file, QStringLiteral("--port"), r.sim.port(), QStringLiteral("--model"), model};
}

} // namespace

class TestE2eCustom : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void user_code_then_full_download_data();
    void user_code_then_full_download();
    void custom_download_two_boards_at_even_parity();
    void custom_download_flash_equals_buffer();
    void wrong_identity_is_a_wrong_type();
    void stop_while_waiting_for_the_routine();
    void refused_format_is_an_open_failure_data();
    void refused_format_is_an_open_failure();
};

void TestE2eCustom::initTestCase()
{
    if (!SimProcess::available())
        QSKIP("zvkisp-sim is not built");
    if (!QFileInfo(CliProcess::binary()).isExecutable())
        QSKIP("zvkisp-cli is not built");
}

void TestE2eCustom::user_code_then_full_download_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("sim_trigger");
    QTest::newRow("ZVK7H64B+ 38400,N") << "ZVK7H64B+" << "38400,N,8,1" << "12 34 56 78 90 AB CD EF 1234567890ABCDEF"
                                       << "1234567890ABCDEF1234567890ABCDEF";
    QTest::newRow("ZVK7L32D 9600,E") << "ZVK7L32D" << "9600,Even,8,1" << "A5, 5A" << "A55A";
}

void TestE2eCustom::user_code_then_full_download()
{
    QFETCH(QString, model);
    QFETCH(QString, format);
    QFETCH(QString, code);
    QFETCH(QString, sim_trigger);
    QTemporaryDir dir;
    Run r(dir);
    const QByteArray image = pattern(3000, 21);
    const QString file = r.write_binary(image);
    QVERIFY(r.start_sim(model, {QStringLiteral("--application"), QStringLiteral("--app-format"), format,
                                QStringLiteral("--trigger"), sim_trigger, QStringLiteral("--app-reset-ms"),
                                QStringLiteral("300")}));
    r.start_cli(QStringLiteral("send-user-code"),
                common(r, file, model) + QStringList{QStringLiteral("--code"), code, QStringLiteral("--format"), format});
    QVERIFY(r.finish(60000));
    QVERIFY2(r.exit_code == 0, qPrintable(r.out + r.err));
    QVERIFY(r.lines().contains(kProgramOk));
    const QStringList trace = r.trace();
    const int trigger = trace.indexOf(QStringLiteral("trigger"));
    const int reset = trace.indexOf(QStringLiteral("reset"));
    const int greeting = trace.indexOf(QStringLiteral("greeting"));
    QVERIFY2(trigger >= 0 && reset > trigger && greeting > reset, qPrintable(trace.join('\n')));
    const QByteArray flash = read_file(r.flash_path());
    QVERIFY(flash.size() >= image.size());
    QCOMPARE(flash.left(image.size()).toHex(), image.toHex());
}

void TestE2eCustom::custom_download_two_boards_at_even_parity()
{
    QTemporaryDir dir;
    Run r(dir);
    const QByteArray image = pattern(2500, 5);
    const QString file = r.write_binary(image);
    QVERIFY(r.start_sim(QStringLiteral("ZVK7H08A"),
                        {QStringLiteral("--application"), QStringLiteral("--demo-routine"), QStringLiteral("--app-format"),
                         QStringLiteral("38400,E,8,1"), QStringLiteral("--demo-format"), QStringLiteral("38400,E,8,1"),
                         QStringLiteral("--trigger"), QStringLiteral("A5 5A"), QStringLiteral("--boards"),
                         QStringLiteral("2"), QStringLiteral("--next-board-delay"), QStringLiteral("300"),
                         QStringLiteral("--exit-grace"), QStringLiteral("20000")}));
    r.start_cli(QStringLiteral("custom-download"),
                common(r, file, QStringLiteral("ZVK7H08A")) +
                    QStringList{QStringLiteral("--download-format"), QStringLiteral("38400,E,8,1"),
                                QStringLiteral("--trigger"), QStringLiteral("A5, 5A"), QStringLiteral("--trigger-format"),
                                QStringLiteral("38400,E,8,1"), QStringLiteral("--repeat"), QStringLiteral("--pause"),
                                QStringLiteral("2")});
    QVERIFY2(r.wait_for(QStringLiteral("board 2 programmed"), true, 60000), qPrintable(r.out + r.err));
    QVERIFY(r.wait_for(QStringLiteral("We are trying to connect"), false, 10000));
    r.interrupt();
    QVERIFY(r.finish(30000));
    QVERIFY2(r.exit_code == 0, qPrintable(r.out + r.err));
    QCOMPARE(r.lines().count(kProgramOk), 2);
    QVERIFY(r.out.contains(QStringLiteral("Verify  OK / 校验 OK  ( Total: ")));
    // The countdown between the boards, rebuilt each second.
    QVERIFY(r.out.contains(QStringLiteral("After a few seconds re-connect will continue.  2")));
    QVERIFY(r.out.contains(QStringLiteral("After a few seconds re-connect will continue.  1")));
    QVERIFY(r.out.contains(QStringLiteral("Chinese:几秒钟后将继续下载下一个 MCU...  1")));
    QVERIFY(r.out.contains(QStringLiteral("Program succeed. / 下载成功.")));
    QVERIFY(r.lines().contains(kStopLine));

    const QStringList trace = r.trace();
    QCOMPARE(trace.count(QStringLiteral("trigger")), 1);   // the trigger goes out once per series
    QCOMPARE(trace.count(QStringLiteral("custom-finish")), 2);
    QCOMPARE(trace.count(QStringLiteral("custom-id id=4002")), 2);
    for (const QString& suffix : {QStringLiteral(".1"), QStringLiteral(".2")}) {
        const QByteArray flash = read_file(r.flash_path() + suffix);
        QVERIFY2(flash.size() >= image.size(), qPrintable(suffix));
        QCOMPARE(flash.left(image.size()).toHex(), image.toHex());
    }
}

void TestE2eCustom::custom_download_flash_equals_buffer()
{
    // A file shorter than 640 bytes: 0..639 are programmed, the buffer's fill byte beyond the file.
    QTemporaryDir dir;
    Run r(dir);
    const QByteArray image = pattern(300, 77);
    const QString file = r.write_binary(image);
    QVERIFY(r.start_sim(QStringLiteral("ZVK7H64B+"),
                        {QStringLiteral("--application"), QStringLiteral("--demo-routine"), QStringLiteral("--demo-format"),
                         QStringLiteral("57600,N,8,1")}));
    r.start_cli(QStringLiteral("custom-download"),
                common(r, file, QStringLiteral("ZVK7H64B+")) +
                    QStringList{QStringLiteral("--download-format"), QStringLiteral("57600,N,8,1"), QStringLiteral("--fill"),
                                QStringLiteral("FF")});
    QVERIFY(r.finish(60000));
    QVERIFY2(r.exit_code == 0, qPrintable(r.out + r.err));
    QVERIFY(!r.lines().contains(kStopLine));
    QByteArray expected = image + QByteArray(640 - image.size(), char(0xFF));
    const QByteArray flash = read_file(r.flash_path());
    QVERIFY(flash.size() >= 0xF800);
    // The routine erased the whole flash: everything past the programmed range is blank.
    expected.append(QByteArray(flash.size() - expected.size(), char(0xFF)));
    QCOMPARE(flash.toHex(), expected.toHex());
    // Programming went last block first, as for the boot loader, in frames of the custom form.
    const QStringList programs = r.trace().filter(QStringLiteral("custom-program"));
    QVERIFY(!programs.isEmpty());
    QVERIFY2(programs.first().startsWith(QStringLiteral("custom-program addr=0x0200")), qPrintable(programs.first()));
}

void TestE2eCustom::wrong_identity_is_a_wrong_type()
{
    QTemporaryDir dir;
    Run r(dir);
    const QString file = r.write_binary(pattern(1000, 3));
    // The routine says 4002 (a ZVK7H08A, code F002); the chosen ZVK7H16B+ has the code F104.
    QVERIFY(r.start_sim(QStringLiteral("ZVK7H08A"),
                        {QStringLiteral("--application"), QStringLiteral("--demo-routine"), QStringLiteral("--demo-id"),
                         QStringLiteral("4002")}));
    r.start_cli(QStringLiteral("custom-download"),
                common(r, file, QStringLiteral("ZVK7H16B+")) +
                    QStringList{QStringLiteral("--download-format"), QStringLiteral("38400,N,8,1")});
    QVERIFY(r.finish(30000));
    QCOMPARE(r.exit_code, 1);
    QVERIFY2(r.lines().contains(QStringLiteral("MCU Type is wrong. / MCU 型号错, 请重选")), qPrintable(r.out));
    QVERIFY(r.err.contains(QStringLiteral("MCU Type is wrong, please select another MCU and open the file again.\n"
                                          "         Chinese:MCU 型号错。请重选 MCU、重新打开文件。")));
    QCOMPARE(r.beeps(), 3);
    QVERIFY(!r.lines().contains(kProgramOk));
    QVERIFY(r.trace().filter(QStringLiteral("custom-erase")).isEmpty());
}

void TestE2eCustom::stop_while_waiting_for_the_routine()
{
    QTemporaryDir dir;
    Run r(dir);
    const QString file = r.write_binary(pattern(1000, 4));
    // The application waits for a trigger the tool never sends: the routine never answers.
    QVERIFY(r.start_sim(QStringLiteral("ZVK7H08A"),
                        {QStringLiteral("--application"), QStringLiteral("--demo-routine"), QStringLiteral("--trigger"),
                         QStringLiteral("77")}));
    r.start_cli(QStringLiteral("custom-download"),
                common(r, file, QStringLiteral("ZVK7H08A")) +
                    QStringList{QStringLiteral("--download-format"), QStringLiteral("38400,E,8,1")});
    QVERIFY(r.wait_for(QStringLiteral("Chinese:正在尝试与 MCU/单片机 握手连接 ... "), false, 10000));
    QTest::qWait(500);   // well inside the four seconds before the advice
    r.interrupt();
    QVERIFY(r.finish(20000));
    QCOMPARE(r.exit_code, 1);
    QCOMPARE(r.beeps(), 1);
    QStringList lines = r.lines();
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last(), kStopLine);
    QVERIFY(r.trace().filter(QStringLiteral("custom-")).isEmpty());
}

void TestE2eCustom::refused_format_is_an_open_failure_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("options");
    // One and a half stop bits go with 5-bit characters only.
    QTest::newRow("custom download") << "custom-download"
                                     << QStringList{QStringLiteral("--download-format"), QStringLiteral("38400,N,8,1.5")};
    QTest::newRow("trigger") << "custom-download"
                             << QStringList{QStringLiteral("--download-format"), QStringLiteral("38400,N,8,1"),
                                            QStringLiteral("--trigger"), QStringLiteral("12"),
                                            QStringLiteral("--trigger-format"), QStringLiteral("38400,E,7,1.5")};
    QTest::newRow("user code") << "send-user-code"
                               << QStringList{QStringLiteral("--code"), QStringLiteral("12"), QStringLiteral("--format"),
                                              QStringLiteral("9600,N,8,1.5")};
}

void TestE2eCustom::refused_format_is_an_open_failure()
{
    QFETCH(QString, command);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    Run r(dir);
    const QString file = r.write_binary(pattern(1000, 8));
    QVERIFY(r.start_sim(QStringLiteral("ZVK7H08A"), {QStringLiteral("--application"), QStringLiteral("--demo-routine")}));
    r.start_cli(command, common(r, file, QStringLiteral("ZVK7H08A")) + options);
    QVERIFY(r.finish(20000));
    QCOMPARE(r.exit_code, 1);
    const QStringList lines = r.lines();
    const int at = lines.indexOf(QStringLiteral("Open COM port failure! / 打开串口失败!"));
    QVERIFY2(at >= 0, qPrintable(r.out));
    QCOMPARE(lines.mid(at + 1, 2),
             (QStringList{QStringLiteral("The COM port opened by another Program or no the COM port."),
                          QStringLiteral("Chinese:串口已被其它程序打开或该串口不存在。")}));
    QCOMPARE(r.beeps(), 3);
    QVERIFY(!lines.contains(kStopLine));
    QVERIFY(r.trace().filter(QStringLiteral("custom-")).isEmpty());
    QVERIFY(r.trace().filter(QStringLiteral("trigger")).isEmpty());
}

QTEST_GUILESS_MAIN(TestE2eCustom)
#include "test_e2e_custom.moc"
