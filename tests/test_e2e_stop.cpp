// Stop everywhere: Ctrl-C (SIGINT) to zvkisp-cli download at each stage of the road, with
// zvkisp-sim holding the stage open (a board that never powers on, a clock the baud test cannot
// meet, a slow erase, a long image, an option command left unanswered, and the application's own
// download routine). The tool must end promptly by itself with a non-zero status, say "Operation
// is stop." where the stage reports a stop, and never the success lines. (Ctrl-C in the
// Re-Download pause: test_e2e_download.)
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");
const QString kStopLine = QStringLiteral("Operation is stop. / 操作被停止.");

using e2e::pattern;

// Waits until a trace line starts with `start`.
bool wait_for_trace(const QString& path, const QString& start, CliProcess& cli, int timeout_ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeout_ms) {
        for (const QString& line : e2e::read_lines(path)) {
            if (line.startsWith(start))
                return true;
        }
        if (cli.process().state() == QProcess::NotRunning)
            return false;
        cli.process().waitForReadyRead(20);
        cli.out();
    }
    return false;
}

} // namespace

class TestE2eStop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        if (!CliProcess::available())
            QSKIP("zvkisp-cli is not built");
    }
    void stop_data()
    {
        QTest::addColumn<QStringList>("sim_args");
        QTest::addColumn<QStringList>("cli_args");
        QTest::addColumn<QString>("trace_wait");   // SIGINT once the trace holds this (empty: after 1.5 s)
        QTest::addColumn<bool>("stop_line");       // "Operation is stop." expected

        // The board stays off: the tool keeps greeting.
        QTest::newRow("greeting") << QStringList{"--power-on-delay", "600000"} << QStringList{} << QString() << true;
        // The UART runs 10 % off: every candidate baud fails its test.
        QTest::newRow("baud test") << QStringList{"--clock-drift", "10"} << QStringList{} << "test-baud" << true;
        QTest::newRow("erase") << QStringList{"--erase-ms", "3000"} << QStringList{} << "erase" << true;
        // Family 2 programs the last block first, then the others from the start.
        QTest::newRow("last block (sent first)") << QStringList{} << QStringList{} << "program addr=0x7E00" << true;
        QTest::newRow("middle of programming") << QStringList{} << QStringList{} << "program addr=0x4000" << true;
        // Answers stop at the option command (frames before it: test, switch, five syncs, erase and
        // the 256 program frames of the 32 KiB image).
        QTest::newRow("options") << QStringList{"--mute-after", "264"} << QStringList{} << "fault mute" << false;
        // The application's own download routine (custom frames): a slow erase, then programming.
        const QStringList routine{"--application", "--demo-routine", "--demo-format", "57600,N,8,1", "--erase-ms", "3000"};
        const QStringList custom{"custom-download", "--download-format", "57600,N,8,1"};
        QTest::newRow("custom download erase") << routine << custom << "custom-erase" << true;
        QTest::newRow("custom download programming") << routine << custom << "custom-program addr=0x2000" << true;
    }
    void stop()
    {
        QFETCH(QStringList, sim_args);
        QFETCH(QStringList, cli_args);
        QFETCH(QString, trace_wait);
        QFETCH(bool, stop_line);

        e2e::SimCliRun r;
        const QString file = r.write_binary(pattern(0x8000, 5));
        const QString trace = r.trace_path();
        QVERIFY(r.start_sim(kModel, sim_args));
        CliProcess& cli = r.cli;
        // cli_args may start with another command than download.
        const QString command = cli_args.value(0).startsWith(QLatin1Char('-')) || cli_args.isEmpty()
                                    ? QStringLiteral("download") : cli_args.takeFirst();
        QVERIFY(cli.start(QStringList{command, file, "--port", r.sim.port(), "--model", kModel} + cli_args));
        if (!trace_wait.isEmpty())
            QVERIFY2(wait_for_trace(trace, trace_wait, cli, 60000), qPrintable(e2e::read_lines(trace).join('\n') + cli.out()));
        else
            QTest::qWait(1500);
        QVERIFY2(cli.process().state() != QProcess::NotRunning, qPrintable(cli.out()));

        QElapsedTimer since_signal;
        since_signal.start();
        cli.interrupt();
        // A hang guard, not a speed figure (bench/ measures it).
        QVERIFY2(cli.finish(10000), qPrintable(cli.out()));
        qInfo("ended %lld ms after the signal", qint64(since_signal.elapsed()));
        QVERIFY2(!cli.crashed(), qPrintable(cli.out() + cli.err()));
        QVERIFY2(cli.exit_code() == 130, qPrintable(cli.out()));
        QVERIFY2(!cli.lines().contains(kProgramOk), qPrintable(cli.out()));
        if (stop_line)
            QVERIFY2(cli.lines().contains(kStopLine), qPrintable(cli.out()));
    }
};

QTEST_GUILESS_MAIN(TestE2eStop)
#include "test_e2e_stop.moc"
