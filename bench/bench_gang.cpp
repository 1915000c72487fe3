// Gang programming against one port: the time for one board, for four boards one after another
// on one port (Re-Download), and for four boards on four ports at the same time (zvkisp-cli
// download with four --port options). The simulators pace their answers to the wire time at the
// negotiated baud, as real boards on real lines would.
//
// Usage: bench_gang [IMAGE_BYTES] (default 32768)
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <memory>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");

QStringList sim_args(const QTemporaryDir& dir, const QString& name, int boards)
{
    QStringList args{QStringLiteral("--model"), kModel, QStringLiteral("--flash-out"), dir.filePath(name)};
    if (boards > 1)
        args << QStringLiteral("--boards") << QString::number(boards) << QStringLiteral("--next-board-delay")
             << QStringLiteral("0");
    return args;
}

// Wall time of one zvkisp-cli download run, from its start to "until" (its end when empty).
double timed_run(const QStringList& args, const QString& until_on_stderr, bool& ok)
{
    CliProcess cli;
    QElapsedTimer t;
    t.start();
    ok = cli.start(QStringList{QStringLiteral("download")} + args);
    if (!ok)
        return 0;
    double seconds = 0;
    if (until_on_stderr.isEmpty()) {
        ok = cli.finish(600000) && cli.exit_code() == 0;
        seconds = double(t.nsecsElapsed()) / 1e9;
    } else {
        QElapsedTimer limit;
        limit.start();
        while (!cli.err().contains(until_on_stderr) && limit.elapsed() < 600000 &&
               cli.process().state() != QProcess::NotRunning)
            cli.process().waitForReadyRead(100);
        seconds = double(t.nsecsElapsed()) / 1e9;
        ok = cli.err().contains(until_on_stderr);
        cli.interrupt();
        cli.finish(30000);
    }
    if (!ok)
        std::fprintf(stderr, "run failed:\n%s\n%s\n", qPrintable(cli.out().right(2000)), qPrintable(cli.err()));
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int size = argc > 1 ? QByteArray(argv[1]).toInt() : 32768;
    if (size <= 0 || size > 63488 || !SimProcess::available()) {
        std::fprintf(stderr, "usage: bench_gang [IMAGE_BYTES <= 63488]; needs zvkisp-sim and zvkisp-cli built\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    e2e::write_file(file, e2e::pattern(size, 3));
    const QStringList common{file, QStringLiteral("--model"), kModel, QStringLiteral("--serial"),
                             QStringLiteral("0100,4,0001,1,dec")};

    // One board.
    bool ok_single = false;
    double single = 0;
    {
        SimProcess sim;
        sim.start(sim_args(dir, QStringLiteral("single.bin"), 1));
        single = timed_run(common + QStringList{QStringLiteral("--port"), sim.port()}, QString(), ok_single);
    }

    // Four boards one after another on one port (Re-Download without a pause).
    bool ok_serial = false;
    double one_port = 0;
    {
        SimProcess sim;
        sim.start(sim_args(dir, QStringLiteral("serial.bin"), 4));
        one_port = timed_run(common + QStringList{QStringLiteral("--port"), sim.port(), QStringLiteral("--repeat"),
                                                  QStringLiteral("--pause"), QStringLiteral("0")},
                             QStringLiteral("board 4 programmed"), ok_serial);
    }

    // Four boards on four ports at the same time.
    bool ok_gang = false;
    double gang = 0;
    {
        std::array<std::unique_ptr<SimProcess>, 4> sims;
        QStringList args = common;
        for (int i = 0; i < 4; ++i) {
            sims[i] = std::make_unique<SimProcess>();
            sims[i]->start(sim_args(dir, QStringLiteral("gang%1.bin").arg(i), 1));
            args << QStringLiteral("--port") << sims[i]->port();
        }
        gang = timed_run(args, QString(), ok_gang);
    }

    const double wire = double(size) * 10.0 / 115200.0;
    std::printf("gang programming, %d bytes per board, %s, 115200 baud (image wire time %.2f s)\n", size,
                qPrintable(kModel), wire);
    std::printf("  one board                       %7.2f s  %s\n", single, ok_single ? "OK" : "FAILED");
    std::printf("  four boards, one port in turn   %7.2f s  %s\n", one_port, ok_serial ? "OK" : "FAILED");
    std::printf("  four boards, four ports at once %7.2f s  %s\n", gang, ok_gang ? "OK" : "FAILED");
    if (single > 0)
        std::printf("  at once / one board             %7.2f x  (target <= 1.5)\n", gang / single);
    if (gang > 0)
        std::printf("  in turn / at once               %7.2f x\n", one_port / gang);
    return ok_single && ok_serial && ok_gang ? 0 : 1;
}
