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

} // namespace

class TestE2eFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
        QVERIFY(write_file(file_, pattern(6000, 21)));
    }
    void vanishing_port_data()
    {
        // The frames of this download in order: test 0, switch 1, five syncs, erase 7, the last
        // block's three frames from 8, the 44 frames of blocks 0..10, options 55, status, run.
        QTest::addColumn<int>("frame");   // -1: while greeting a board that has not powered on yet
        QTest::newRow("greeting") << -1;
        QTest::newRow("baud test") << 0;
        QTest::newRow("baud switch") << 1;
        QTest::newRow("erase") << 7;
        QTest::newRow("first program frame") << 8;
        QTest::newRow("middle of programming") << 28;
        QTest::newRow("options") << 55;
    }
    void vanishing_port()
    {
        QFETCH(int, frame);
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.txt"));
        SimProcess sim;
        const QStringList fault = frame < 0 ? QStringList{"--power-on-delay", "600000"}
                                            : QStringList{"--vanish-after", QString::number(frame)};
        QVERIFY(sim.start(QStringList{"--model", kModel, "--trace", trace} + fault));
        CliProcess cli;
        QVERIFY(cli.start({"download", file_, "--port", sim.port(), "--model", kModel}));
        if (frame < 0) {
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
};

QTEST_GUILESS_MAIN(TestE2eFaults)
#include "test_e2e_faults.moc"
