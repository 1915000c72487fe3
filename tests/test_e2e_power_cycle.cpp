// Automatic power cycling against zvkisp-sim: the board is wired to DTR or RTS through the sim's
// power line and stays off until the tool switches it on; the tool cycles it before every
// greeting, for a single Download and for each board of a Re-Download.
#include "isp/power_cycle.h"
#include "support/bench_rig.h"
#include "support/e2e_util.h"
#include "support/power_line_port.h"
#include "support/sim_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using e2e::pattern;
using e2e::read_file;

// The trace lines that start with one of `prefixes`, cut to their first word and board number.
QStringList power_story(const QStringList& trace)
{
    QStringList story;
    for (const QString& line : trace) {
        if (line.contains(QLatin1String("power-on")) || line.contains(QLatin1String("power-off")) ||
            line.contains(QLatin1String("greeting")) || line.endsWith(QLatin1String(" run")) ||
            line == QLatin1String("run")) {
            // Trace lines may carry a time stamp before the event.
            const int at = line.indexOf(QRegularExpression(QStringLiteral("(power-o|greeting|run)")));
            story << line.mid(at);
        }
    }
    return story;
}

// The end of the sim's trace, for a failure message.
QStringList last_lines(const QString& trace)
{
    const QStringList lines = e2e::read_lines(trace);
    return lines.mid(qMax(0, int(lines.size()) - 12));
}

// One sim with a power line and the core over the port that drives it.
struct Rig {
    QTemporaryDir dir;
    SimProcess sim;
    std::unique_ptr<PowerLinePort> port;
    std::unique_ptr<BenchRig> rig;
    Workbench* bench = nullptr;
    QByteArray image = pattern(3000, 7);

    QString fifo() const { return dir.filePath(QStringLiteral("power")); }
    QString trace() const { return dir.filePath(QStringLiteral("trace.txt")); }
    QString flash() const { return dir.filePath(QStringLiteral("flash.bin")); }

    bool start(PowerCycle wired, bool asserted_on_open, PowerCycle chosen, int boards)
    {
        if (!sim.start({"--model", "ZVK7H64B+", "--power-control", fifo(), "--power-on-delay", "600000", "--boards",
                        QString::number(boards), "--trace", trace(), "--flash-out", flash()}))
            return false;
        if (!sim.preset_line(115200))
            return false;
        port = std::make_unique<PowerLinePort>(fifo(), wired, asserted_on_open);
        if (!port->power_line_ok())
            return false;
        rig = std::make_unique<BenchRig>(port.get(), QStringLiteral("ZVK7H64B+"), sim.port());
        bench = &rig->bench;
        bench->choices.max_baud = 115200;
        bench->choices.power_cycle = chosen;
        bench->link.calibrate_delay_loop();
        bench->runner.choices.beep_on_success = false;
        bench->runner.choices.redownload_delay_text = QStringLiteral("0");
        rig->set_image(image);
        return true;
    }

    // Waits until the sim has written its flash files and exited (it exits after the last board).
    bool wait_sim_exit() { return sim.process().waitForFinished(30000); }
};

} // namespace

class TestE2ePowerCycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
    }

    void download_cycles_board_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("asserted_on_open");
        QTest::newRow("DTR, lines start inactive") << int(PowerCycle::Dtr) << false;
        QTest::newRow("DTR, open asserts the lines") << int(PowerCycle::Dtr) << true;
        QTest::newRow("RTS, lines start inactive") << int(PowerCycle::Rts) << false;
    }
    void download_cycles_board()
    {
        QFETCH(int, line);
        QFETCH(bool, asserted_on_open);
        Rig rig;
        QVERIFY(rig.dir.isValid());
        QVERIFY2(rig.start(PowerCycle(line), asserted_on_open, PowerCycle(line), 1), "sim with power line");

        const BoardResult board = rig.bench->runner.run(DownloadRunner::Mode::Download);

        QVERIFY2(board.ok(), qPrintable(rig.bench->log.text()));
        QVERIFY2(rig.wait_sim_exit(), qPrintable(last_lines(rig.trace()).join(QLatin1Char('\n'))));
        // The chip holds the image.
        QCOMPARE(read_file(rig.flash()).left(rig.image.size()), rig.image);

        // The tool switched the board off before the greeting and on once it ran.
        const QString name = power_cycle::name(PowerCycle(line));
        const QStringList events = rig.port->line_events;
        const int off = events.indexOf(name + QStringLiteral(" off"));
        const int greet = events.indexOf(QStringLiteral("greeting"));
        const int on = events.indexOf(name + QStringLiteral(" on"));
        QVERIFY2(off >= 0 && greet > off && on > greet, qPrintable(events.join(QLatin1String(", "))));
        // Only the chosen line moved.
        const QString other = name == QLatin1String("dtr") ? QStringLiteral("rts") : QStringLiteral("dtr");
        QVERIFY(events.filter(other).isEmpty());

        // On the board's side: the status frame came after the last power-on, which came after a
        // power-off when the port's open had already powered it.
        const QStringList story = power_story(e2e::read_lines(rig.trace()));
        const int greeting_at = story.indexOf(QRegularExpression(QStringLiteral("^greeting")));
        QVERIFY2(greeting_at > 0, qPrintable(story.join(QLatin1String(" | "))));
        QVERIFY(story.at(greeting_at - 1).startsWith(QLatin1String("power-on")));
        if (asserted_on_open)
            QVERIFY2(story.filter(QStringLiteral("power-off")).size() >= 1, qPrintable(story.join(QLatin1String(" | "))));
        QCOMPARE(story.filter(QRegularExpression(QStringLiteral("^greeting"))).size(), 1);
    }
    void redownload_cycles_three_boards()
    {
        Rig rig;
        QVERIFY(rig.dir.isValid());
        QVERIFY(rig.start(PowerCycle::Dtr, true, PowerCycle::Dtr, 3));
        QList<bool> results;
        QObject::connect(&rig.bench->runner, &DownloadRunner::board_finished, [&](const BoardResult& board) {
            results << board.ok();
            if (results.size() == 3 || !board.ok())
                rig.bench->link.request_stop();
        });
        rig.bench->runner.run(DownloadRunner::Mode::ReDownload);

        QCOMPARE(results, (QList<bool>{true, true, true}));
        QVERIFY2(rig.wait_sim_exit(), qPrintable(last_lines(rig.trace()).join(QLatin1Char('\n'))));
        for (int k = 1; k <= 3; ++k)
            QCOMPARE(read_file(rig.flash() + QStringLiteral(".%1").arg(k)).left(rig.image.size()), rig.image);

        // Every board was switched on by the tool: three off/on pairs around three greetings, and
        // each board's status frame follows its own power-on.
        const QStringList events = rig.port->line_events;
        QVERIFY2(events.filter(QStringLiteral("dtr off")).size() == 3 && events.filter(QStringLiteral("dtr on")).size() == 3,
                 qPrintable(events.join(QLatin1String(", "))));
        const QStringList story = power_story(e2e::read_lines(rig.trace()));
        QStringList greetings_after;
        for (int i = 1; i < story.size(); ++i)
            if (story.at(i).startsWith(QLatin1String("greeting")))
                greetings_after << story.at(i - 1);
        QCOMPARE(greetings_after, (QStringList{QStringLiteral("power-on board=1"), QStringLiteral("power-on board=2"),
                                               QStringLiteral("power-on board=3")}));
        // Between two boards the tool took the power away (the next board is not powered by itself).
        QVERIFY2(story.indexOf(QStringLiteral("power-off board=1")) >= 0, qPrintable(story.join(QLatin1String(" | "))));
        QVERIFY(story.indexOf(QStringLiteral("power-off board=2")) >= 0);
    }
};

QTEST_GUILESS_MAIN(TestE2ePowerCycle)
#include "test_e2e_power_cycle.moc"
