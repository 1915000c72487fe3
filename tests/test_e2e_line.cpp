// zvkisp-cli over the line model: zvkisp-sim behind zvkisp-line, which carries the bytes at the
// tool's baud and hands replies over in latency-timer ticks, with the port shim making the tool's
// port a USB adapter (bytes in flight in the transmit count, low latency accepted or refused).
// Downloads flash the image exactly with one open of the port per board; Stop in the middle of
// the programming ends the tool within a second; a bare pseudo-terminal still works.
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/line_model.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kRefused = QStringLiteral("Low latency refused on ");

} // namespace

class TestE2eLine : public QObject {
    Q_OBJECT
private slots:
    void download_data()
    {
        QTest::addColumn<int>("latency_ms");   // -1: the board's bare pseudo-terminal
        QTest::addColumn<QString>("usb");
        QTest::addColumn<int>("max_baud");
        QTest::newRow("USB adapter, 1 ms ticks, 115200") << 1 << "accept" << 115200;
        QTest::newRow("USB adapter refusing low latency, 16 ms ticks, 9600") << 16 << "refuse" << 9600;
        QTest::newRow("bare pseudo-terminal") << -1 << "" << 115200;
    }
    void download()
    {
        QFETCH(int, latency_ms);
        QFETCH(QString, usb);
        QFETCH(int, max_baud);
        e2e::SimCliRun r;
        LineRig line;
        const QByteArray image = e2e::pattern(2000, 5);
        const QString file = r.write_binary(image);
        QVERIFY(line.start({"--model", kModel, "--flash-out", r.flash_path(), "--trace", r.trace_path()}, latency_ms));
        const QString report = r.dir.filePath("report.txt");
        r.cli.process().setProcessEnvironment(LineRig::cli_environment({line.port()}, usb, report));
        QVERIFY(r.cli.start({"download", file, "--port", line.port(), "--model", kModel, "--max-baud",
                             QString::number(max_baud)}));
        QVERIFY2(r.cli.finish(60000) && r.cli.exit_code() == 0, qPrintable(r.cli.out() + r.cli.err()));
        QVERIFY2(r.cli.out().contains(QStringLiteral("Now baud is: / 当前波特率为: %1 bps.").arg(max_baud)), qPrintable(r.cli.out()));
        line.sim.process().waitForFinished(3000);
        QCOMPARE(e2e::read_file(r.flash_path()).left(image.size()).toHex(), image.toHex());
        QCOMPARE(LineRig::report_sum(report, "port " + line.port() + " opens"), 1);
        QCOMPARE(r.cli.out().count(kRefused), usb == "refuse" ? 1 : 0);
    }

    void stop_in_mid_frame()
    {
        e2e::SimCliRun r;
        LineRig line;
        const QString file = r.write_binary(e2e::pattern(16384, 9));
        QVERIFY(line.start({"--model", kModel, "--flash-out", r.flash_path(), "--trace", r.trace_path()}, 16));
        r.cli.process().setProcessEnvironment(
            LineRig::cli_environment({line.port()}, "accept", r.dir.filePath("report.txt")));
        QVERIFY(r.cli.start({"download", file, "--port", line.port(), "--model", kModel, "--max-baud", "9600"}));
        QVERIFY2(r.cli.wait_for_output("Programming...", 30000),
                 qPrintable(r.cli.out() + "--- trace:\n" + r.trace().mid(0, 20).join('\n') + "\n--- relay:\n" +
                            line.relay.error_output()));
        // A frame takes 146 ms of a 160 ms round at 9600: the stop lands inside one.
        QThread::msleep(700);
        QElapsedTimer t;
        t.start();
        r.cli.interrupt();
        QVERIFY(r.cli.finish(5000));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(r.cli.exit_code() != 0);
        QVERIFY(r.cli.lines().contains(QStringLiteral("Operation is stop. / 操作被停止.")));
    }
};

QTEST_GUILESS_MAIN(TestE2eLine)
#include "test_e2e_line.moc"
