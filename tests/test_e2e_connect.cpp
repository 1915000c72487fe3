// zvkisp-cli connect / test-option against zvkisp-sim over a pseudo-terminal: the handshake, the
// baud negotiation, the status report, the model check and the advice. (The Stop key during the
// greeting: test_e2e_stop.)

#include "support/cli_process.h"
#include "support/sim_process.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// The CLI's output lines without the empty one after the last line end.
QStringList run_cli(CliProcess& cli, const QStringList& args)
{
    cli.start(args, true);
    cli.finish(60000);
    QStringList lines = cli.lines();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QString kLockOk = QStringLiteral("Read Chip Lock OK. / 读加密位、双倍速成功.");
const QString kAdvice = QStringLiteral("Connection is failure. You can try:");

} // namespace

class TestE2eConnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        QVERIFY2(CliProcess::available(), qPrintable(CliProcess::binary()));
    }
    void connect_runs_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QStringList>("cli");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QStringList>("present");   // lines that must appear, in this order
        QTest::addColumn<QStringList>("absent");

        const QStringList c11 = {"--model", "ZVK7H12A", "--clock", "11059200"};
        QTest::newRow("C chip at 11.0592 MHz negotiates 115200")
            << c11 << QStringList{"connect", "--model", "ZVK7H12A"} << true << 0
            << QStringList{"We are trying to connect to your MCU ... ", "Chinese:正在尝试与 MCU/单片机 握手连接 ... ",
                           "MCU Type is: ZVK7H/L12A", "We are trying to run more rapid ...",
                           "Chinese:正在尝试用更高的波特率连接 ...", "Internal clock:11.059326MHz./内部时钟频率:11.059326M.",
                           "Now baud is: / 当前波特率为: 115200 bps."}
            << QStringList{kAdvice};
        QTest::newRow("12 MHz ends at 38400")
            << QStringList{"--model", "ZVK7H12A", "--clock", "12000000"} << QStringList{"connect", "--model", "ZVK7H12A"}
            << true << 0 << QStringList{"Now baud is: / 当前波特率为: 38400 bps."} << QStringList{};
        QTest::newRow("--max-baud 9600 caps")
            << c11 << QStringList{"connect", "--model", "ZVK7H12A", "--max-baud", "9600"} << true << 0
            << QStringList{"Now baud is: / 当前波特率为: 9600 bps."} << QStringList{};
        QTest::newRow("prefix-mode chip connects")
            << (c11 + QStringList{"--block-protect"}) << QStringList{"connect", "--model", "ZVK7H12A"} << true << 0
            << QStringList{"Now baud is: / 当前波特率为: 115200 bps."} << QStringList{};
        QTest::newRow("Test Option at 11.0592 MHz")
            << c11 << QStringList{"test-option", "--model", "ZVK7H12A"} << true << 0
            << QStringList{"MCU Type is: ZVK7H/L12A", "MCU Firmware Version: 2.8C",
                           "Internal clock:11.059326MHz./内部时钟频率:11.059326M.",
                           "External clock:11.059326MHz./外部时钟频率:11.059326M.", kLockOk}
            << QStringList{"We are trying to run more rapid ..."};
        QTest::newRow("Test Option on a prefix-mode chip")
            << (c11 + QStringList{"--block-protect"}) << QStringList{"test-option", "--model", "ZVK7H12A"} << true << 0
            << QStringList{kLockOk} << QStringList{};
        QTest::newRow("100 kHz fails the handshake")
            << QStringList{"--model", "ZVK7H12A", "--clock", "100000"} << QStringList{"connect", "--model", "ZVK7H12A"}
            << false << 3 << QStringList{"Chinese:正在尝试用更高的波特率连接 ..."}
            << QStringList{"Now baud is: / 当前波特率为: 1200 bps."};
        QTest::newRow("wrong model")
            << c11 << QStringList{"connect", "--model", "ZVK7H16B+"} << false << 3
            << QStringList{"Now baud is: / 当前波特率为: 115200 bps.", "MCU Type is wrong. / MCU 型号错, 请重选",
                           "Chip found / 找到的芯片: ZVK7H/L12A, identity/标识 F004, firmware/固件 2.8C; "
                           "chosen / 选择的型号: ZVK7H16B+ (F104)"}
            << QStringList{};
    }
    void connect_runs()
    {
        QFETCH(QStringList, sim);
        QFETCH(QStringList, cli);
        QFETCH(bool, ok);
        QFETCH(int, beeps);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);

        SimProcess board;
        QVERIFY(board.start(sim));
        CliProcess run;
        const QStringList lines = run_cli(run, cli + QStringList{"--port", board.port()});
        const QString shown = lines.join(QLatin1Char('\n')) + QStringLiteral("\n--- stderr:\n") + run.err();
        QVERIFY2((run.exit_code() == 0) == ok, qPrintable(shown));
        QVERIFY2(run.beeps() == beeps, qPrintable(shown));
        int at = -1;
        for (const QString& line : present) {
            const int found = lines.indexOf(line, at + 1);
            QVERIFY2(found > at, qPrintable(QStringLiteral("missing or out of order: ") + line + "\n" + shown));
            at = found;
        }
        for (const QString& line : absent)
            QVERIFY2(!lines.contains(line), qPrintable(line));
        if (lines.contains(QStringLiteral("MCU Type is wrong. / MCU 型号错, 请重选"))) {
            QVERIFY(run.err().contains(QStringLiteral("MCU Type is wrong, please select another MCU and open the file again.")));
        } else if (!ok) {
            static const QRegularExpression failure(
                QStringLiteral("^Handshake is failed\\. / 握手失败 \\(End: \\d\\d:\\d\\d:\\d\\d\\)$"));
            QVERIFY2(failure.match(lines.last()).hasMatch(), qPrintable(shown));
        }
    }
    void late_power_on_gets_advice_once()
    {
        SimProcess board;
        QVERIFY(board.start({"--model", "ZVK7H12A", "--clock", "11059200", "--power-on-delay", "6000"}));
        CliProcess run;
        const QStringList lines = run_cli(run, {"test-option", "--model", "ZVK7H12A", "--port", board.port()});
        QCOMPARE(run.exit_code(), 0);
        QCOMPARE(int(lines.count(kAdvice)), 1);
        QCOMPARE(run.beeps(), 2);
        const int advice = lines.indexOf(kAdvice);
        QVERIFY2(advice < lines.indexOf(QStringLiteral("MCU Firmware Version: 2.8C")), qPrintable(lines.join('\n')));
        QCOMPARE(lines.value(advice + 7), QStringLiteral("Chinese:连接失败，请尝试以下操作："));
        QCOMPARE(lines.last(), kLockOk);
    }
};

QTEST_GUILESS_MAIN(TestE2eConnect)
#include "test_e2e_connect.moc"
