// A vanishing port: zvkisp-sim closes its pseudo-terminal (as an unplugged USB adapter does) when
// a chosen command frame arrives, at each stage of a download. The tool must end with its failure
// lines, without crashing or hanging and with a non-zero status.
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");

using e2e::pattern;
using e2e::write_file;

// Trace lines of the frames the boot loader accepted, in order (the --vanish-after count).
QStringList accepted_frames(const QStringList& trace)
{
    static const QRegularExpression accepted(
        QStringLiteral("^(wdt|test-baud|switch-baud|sync|status|erase|program|options|run)\\b"));
    return trace.filter(accepted);
}

} // namespace

class TestE2eFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
        // A clean download gives the order of the frames the boot loader sees.
        QVERIFY(write_file(file_, pattern(6000, 21)));
        SimProcess sim;
        QVERIFY(sim.start({"--model", kModel, "--trace", dir_.filePath("trace.txt")}));
        CliProcess cli;
        QVERIFY(cli.start({"download", file_, "--port", sim.port(), "--model", kModel}));
        QVERIFY(cli.finish(60000));
        QVERIFY2(cli.exit_code() == 0, qPrintable(cli.out() + cli.err()));
        sim.process().waitForFinished(3000);
        reference_frames_ = accepted_frames(e2e::read_lines(dir_.filePath("trace.txt")));
        QVERIFY2(reference_frames_.size() > 8, qPrintable(reference_frames_.join('\n')));
    }
    void vanishing_port_data()
    {
        QTest::addColumn<QString>("first_line");
        QTest::addColumn<int>("offset");
        // While the tool greets a board that has not powered on yet, the whole line goes away.
        QTest::newRow("greeting") << QString() << 0;
        QTest::newRow("baud test") << "test-baud" << 0;
        QTest::newRow("baud switch") << "switch-baud" << 0;
        QTest::newRow("erase") << "erase" << 0;
        QTest::newRow("first program frame") << "program" << 0;
        QTest::newRow("middle of programming") << "program" << 20;
        QTest::newRow("options") << "options" << 0;
    }
    void vanishing_port()
    {
        QFETCH(QString, first_line);
        QFETCH(int, offset);
        int index = -1;
        for (int i = 0; i < reference_frames_.size() && !first_line.isEmpty() && index < 0; ++i)
            if (reference_frames_.at(i).startsWith(first_line))
                index = i + offset;
        QVERIFY2(first_line.isEmpty() || (index >= 0 && index < reference_frames_.size()),
                 qPrintable(reference_frames_.join('\n')));

        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.txt"));
        SimProcess sim;
        const QStringList fault = first_line.isEmpty() ? QStringList{"--power-on-delay", "600000"}
                                                       : QStringList{"--vanish-after", QString::number(index)};
        QVERIFY(sim.start(QStringList{"--model", kModel, "--trace", trace} + fault));
        CliProcess cli;
        QVERIFY(cli.start({"download", file_, "--port", sim.port(), "--model", kModel}));
        if (first_line.isEmpty()) {
            // The sim's end takes its pseudo-terminal with it.
            QVERIFY(cli.wait_for_output(QStringLiteral("We are trying to connect to your MCU"), 30000));
            QTest::qWait(1000);
            QVERIFY(sim.stop());
        } else {
            // The sim ends once its line has vanished.
            QVERIFY(sim.process().waitForFinished(60000));
            QVERIFY2(e2e::read_lines(trace).contains(QStringLiteral("vanish")), qPrintable(e2e::read_lines(trace).join('\n')));
        }
        QElapsedTimer since_vanish;
        since_vanish.start();
        // A hang guard, not a speed figure: the tool must come to an end by itself.
        QVERIFY2(cli.finish(15000), qPrintable(cli.out()));
        qInfo("ended %lld ms after the port vanished", qint64(since_vanish.elapsed()));
        QVERIFY2(!cli.crashed() && cli.exit_code() != 0, qPrintable(cli.out() + cli.err()));
        QVERIFY(!cli.lines().contains(kProgramOk));
        // Some failure line was written after the last progress line.
        QVERIFY2(cli.out().contains(QRegularExpression(QStringLiteral("failure|failed|error|失败"),
                                                       QRegularExpression::CaseInsensitiveOption)) ||
                     !cli.err().isEmpty(),
                 qPrintable(cli.out() + cli.err()));
    }

private:
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath(QStringLiteral("image.bin"));
    QStringList reference_frames_;
};

QTEST_GUILESS_MAIN(TestE2eFaults)
#include "test_e2e_faults.moc"
