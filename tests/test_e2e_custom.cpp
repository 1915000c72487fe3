// zvkisp-cli custom-download (and send-user-code) against zvkisp-sim playing a board that runs a
// user application: the download routine at 38400,E,8,1 after a trigger, board after board; the
// identity check; the advice and Stop while the tool waits for the routine; a format the port
// refuses. (The user-code command and the routine's frames: test_e2e_frames.)
#include "support/e2e_util.h"

#include <QtTest>

namespace {

using e2e::pattern;
using e2e::read_file;
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");
const QString kStopLine = QStringLiteral("Operation is stop. / 操作被停止.");

// A run over a board that runs an application.
struct Run : e2e::SimCliRun {
    QString file;
    bool start(const QString& model, const QStringList& sim_args, int image_size, quint32 seed, int final_baud = 38400)
    {
        file = write_binary(pattern(image_size, seed));
        return start_sim(model, QStringList{"--application"} + sim_args, final_baud);
    }
    void cli_run(const QString& command, const QString& model, const QStringList& args)
    {
        start_cli(command, QStringList{file, "--port", sim.port(), "--model", model} + args);
    }
    QByteArray image() const { return read_file(file); }
};

} // namespace

class TestE2eCustom : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
    }


    void custom_download_two_boards_at_even_parity()
    {
        Run r;
        QVERIFY(r.start("ZVK7H08A", {"--demo-routine", "--app-format", "38400,E,8,1", "--demo-format", "38400,E,8,1",
                                     "--trigger", "A5 5A", "--boards", "2", "--next-board-delay", "300",
                                     "--exit-grace", "20000"},
                        2500, 5));
        r.cli_run("custom-download", "ZVK7H08A", {"--download-format", "38400,E,8,1", "--trigger", "A5, 5A",
                                                  "--trigger-format", "38400,E,8,1", "--repeat", "--pause", "2"});
        QVERIFY2(r.cli.wait_for_error(QStringLiteral("board 2 programmed"), 60000), qPrintable(r.cli.out() + r.cli.err()));
        QVERIFY(r.cli.wait_for_output(QStringLiteral("We are trying to connect"), 10000));
        r.cli.interrupt();
        QVERIFY(r.finish(30000, false));
        const QString out = r.cli.out();
        QVERIFY2(r.cli.exit_code() == 0, qPrintable(out + r.cli.err()));
        QCOMPARE(r.cli.lines().count(kProgramOk), 2);
        QVERIFY(out.contains(QStringLiteral("Verify  OK / 校验 OK  ( Total: ")));
        // The countdown between the boards, rebuilt each second.
        QVERIFY(out.contains(QStringLiteral("After a few seconds re-connect will continue.  2")));
        QVERIFY(out.contains(QStringLiteral("After a few seconds re-connect will continue.  1")));
        QVERIFY(out.contains(QStringLiteral("Chinese:几秒钟后将继续下载下一个 MCU...  1")));
        QVERIFY(out.contains(QStringLiteral("Program succeed. / 下载成功.")));
        QVERIFY(r.cli.lines().contains(kStopLine));
        const QStringList trace = r.trace();
        QCOMPARE(trace.count(QStringLiteral("trigger")), 1);   // the trigger goes out once per series
        QCOMPARE(trace.count(QStringLiteral("custom-finish")), 2);
        QCOMPARE(trace.count(QStringLiteral("custom-id id=4002")), 2);
        for (const char* suffix : {".1", ".2"})
            QCOMPARE(read_file(r.flash_path() + suffix).left(2500).toHex(), r.image().toHex());
    }

    void wrong_identity_is_a_wrong_type()
    {
        // The routine says 4002 (a ZVK7H08A, code F002); the chosen ZVK7H16B+ has the code F104.
        Run r;
        QVERIFY(r.start("ZVK7H08A", {"--demo-routine", "--demo-id", "4002"}, 1000, 3));
        r.cli_run("custom-download", "ZVK7H16B+", {"--download-format", "38400,N,8,1"});
        QVERIFY(r.finish(30000, false));
        QCOMPARE(r.cli.exit_code(), 1);
        QVERIFY2(r.cli.lines().contains(QStringLiteral("MCU Type is wrong. / MCU 型号错, 请重选")), qPrintable(r.cli.out()));
        QVERIFY(r.cli.err().contains(QStringLiteral("MCU Type is wrong, please select another MCU and open the file again.\n"
                                                    "         Chinese:MCU 型号错。请重选 MCU、重新打开文件。")));
        QCOMPARE(r.cli.beeps(), 3);
        QVERIFY(!r.cli.lines().contains(kProgramOk));
        QVERIFY(r.trace().filter(QStringLiteral("custom-erase")).isEmpty());
    }

    void advice_then_stop_while_waiting_for_the_routine()
    {
        // The application waits for a trigger the tool never sends: the routine never answers.
        Run r;
        QVERIFY(r.start("ZVK7H08A", {"--demo-routine", "--trigger", "77"}, 1000, 4));
        r.cli_run("custom-download", "ZVK7H08A", {"--download-format", "38400,E,8,1"});
        // After four seconds the advice, in Chinese only; the polling goes on until Stop.
        const QString advice = QStringLiteral("连接失败，请尝试以下操作：");
        QVERIFY2(r.cli.wait_for_output(advice, 15000), qPrintable(r.cli.out()));
        QVERIFY(r.cli.wait_for_output(QStringLiteral("   或需退回升级，或 MCU 已损坏。"), 5000));
        r.cli.interrupt();
        QVERIFY(r.finish(20000, false));
        QCOMPARE(r.cli.exit_code(), 130);
        QCOMPARE(r.cli.beeps(), 2 + 1);
        const QStringList lines = r.cli.out().trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(lines.indexOf(advice)),
                 (QStringList{advice, " 1.重新选择 RS-232 串口, 接好电缆，打开电源。", " 2.检查波特率、奇偶位、数据位、停止位是否正确。",
                              " 3.因 PLCC、PQFP 转换座引线过长而引起时钟振荡不对，请调整参数。", " 4.可能要升级电脑端的 ZVK ISP.exe 软件。",
                              " 5.若仍然不成功，可能 MCU/单片机内无 ISP 系统引导码，", "   或需退回升级，或 MCU 已损坏。", kStopLine}));
        QVERIFY(r.trace().filter(QStringLiteral("custom-")).isEmpty());
    }

    void refused_format_is_an_open_failure_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("options");
        // One and a half stop bits go with 5-bit characters only.
        QTest::newRow("custom download") << "custom-download" << QStringList{"--download-format", "38400,N,8,1.5"};
        QTest::newRow("trigger") << "custom-download"
                                 << QStringList{"--download-format", "38400,N,8,1", "--trigger", "12",
                                                "--trigger-format", "38400,E,7,1.5"};
        QTest::newRow("user code") << "send-user-code" << QStringList{"--code", "12", "--format", "9600,N,8,1.5"};
    }
    void refused_format_is_an_open_failure()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, options);
        Run r;
        QVERIFY(r.start("ZVK7H08A", {"--demo-routine"}, 1000, 8));
        r.cli_run(command, "ZVK7H08A", options);
        QVERIFY(r.finish(20000, false));
        QCOMPARE(r.cli.exit_code(), 3);
        const QStringList lines = r.cli.lines();
        const int at = lines.indexOf(QStringLiteral("Open COM port failure! / 打开串口失败!"));
        QVERIFY2(at >= 0, qPrintable(r.cli.out()));
        QCOMPARE(lines.mid(at + 1, 2), (QStringList{"The COM port opened by another Program or no the COM port.",
                                                    "Chinese:串口已被其它程序打开或该串口不存在。"}));
        QCOMPARE(r.cli.beeps(), 3);
        QVERIFY(!lines.contains(kStopLine));
        QVERIFY(r.trace().filter(QStringLiteral("custom-")).isEmpty());
        QVERIFY(r.trace().filter(QStringLiteral("trigger")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestE2eCustom)
#include "test_e2e_custom.moc"
