#include "support/soak_run.h"

#include "support/e2e_util.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

SoakResult run_soak(const SoakOptions& o)
{
    SoakResult result;
    static const QRegularExpression failure_line(QStringLiteral("failure|failed|error|失败|Operation is stop"),
                                                 QRegularExpression::CaseInsensitiveOption);
    for (int k = 0; k < o.downloads; ++k) {
        const quint32 seed = o.first_seed + quint32(k);
        QRandomGenerator rng(seed);
        const int size = o.min_size + int(rng.bounded(quint32(qMax(1, o.max_size - o.min_size + 1))));
        QByteArray image(size, '\0');
        for (int i = 0; i < size; ++i)
            image[i] = char(rng.bounded(256));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("image.bin"));
        const QString flash = dir.filePath(QStringLiteral("flash.bin"));
        const QString trace_path = dir.filePath(QStringLiteral("trace.txt"));
        if (!e2e::write_file(file, image))
            continue;
        SimProcess sim;
        const QStringList sim_args = QStringList{QStringLiteral("--model"), o.model, QStringLiteral("--flash-out"), flash,
                                                 QStringLiteral("--seed"), QString::number(seed),
                                                 QStringLiteral("--corrupt"), o.corrupt, QStringLiteral("--trace"), trace_path,
                                                 QStringLiteral("--trace-bytes")} +
                                     o.extra_sim_args;
        if (!sim.start(sim_args)) {
            ++result.unexplained;
            result.notes << QStringLiteral("seed %1: the simulator did not start").arg(seed);
            continue;
        }
        CliProcess cli;
        cli.start({QStringLiteral("download"), file, QStringLiteral("--port"), sim.port(), QStringLiteral("--model"),
                   o.model});
        const bool ended = cli.finish(120000);
        // The simulator takes in what the tool sent (a run command writes its flash) and ends.
        sim.stop();
        const bool ran = e2e::read_lines(trace_path).contains(QStringLiteral("run"));
        const QString out = cli.out();
        QString verdict;
        if (!ended || cli.crashed()) {
            ++result.unexplained;
            verdict = ended ? QStringLiteral("crashed") : QStringLiteral("hung");
            e2e::keep_folder(dir, cli.out() + QStringLiteral("--- stderr:\n") + cli.err(), true);
            verdict += QStringLiteral(" (kept in %1)").arg(dir.path());
        } else if (cli.exit_code() == 0) {
            const QByteArray got = e2e::read_file(flash);
            if (got.left(size) == image) {
                ++result.succeeded;
                verdict = QStringLiteral("ok");
            } else {
                ++result.silent_corruptions;
                const QStringList trace = QString::fromUtf8(e2e::read_file(trace_path)).split(QLatin1Char('\n'));
                verdict = QStringLiteral("SILENT CORRUPTION (flash %1 bytes, board %2; trace ends: %3)")
                              .arg(got.size())
                              .arg(ran ? QStringLiteral("ran") : QStringLiteral("never ran"))
                              .arg(trace.mid(qMax(0, int(trace.size()) - 6)).join(QStringLiteral(" | ")));
            }
        } else if (out.contains(failure_line)) {
            ++result.failed_with_message;
            verdict = QStringLiteral("failed: ") + out.split(QLatin1Char('\n')).filter(failure_line).value(0);
        } else {
            ++result.unexplained;
            verdict = QStringLiteral("failed without a message (status %1)").arg(cli.exit_code());
        }
        if (verdict != QLatin1String("ok"))
            result.notes << QStringLiteral("seed %1 size %2: %3").arg(seed).arg(size).arg(verdict);
        if (o.verbose)
            std::fprintf(stderr, "soak %d/%d seed %u size %d: %s\n", k + 1, o.downloads, seed, size,
                         qPrintable(verdict));
    }
    return result;
}
