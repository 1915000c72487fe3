// The soak: downloads of random images through zvkisp-cli into zvkisp-sim with 1 % of the
// answers corrupted on the line. Prints how many succeeded, how many failed with a message, and
// how many reported success while the flash differs from the image (must be 0).
//   bench_soak [DOWNLOADS] [CORRUPT] [extra sim options...]     (default 200 0.01)
// Needs ZVKISP_SIM and ZVKISP_CLI, or the build tree's binaries.
#include "support/soak_run.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    SoakOptions o;
    o.downloads = args.value(0, QStringLiteral("200")).toInt();
    o.corrupt = args.value(1, QStringLiteral("0.01"));
    o.extra_sim_args = args.mid(2);
    o.max_size = 16384;
    // ZVKISP_SOAK_FIRST_SEED replays a stretch of a run (the seeds are printed per download).
    if (qEnvironmentVariableIsSet("ZVKISP_SOAK_FIRST_SEED"))
        o.first_seed = quint32(qEnvironmentVariableIntValue("ZVKISP_SOAK_FIRST_SEED"));
    o.verbose = true;
    QElapsedTimer t;
    t.start();
    const SoakResult r = run_soak(o);
    for (const QString& note : r.notes)
        std::printf("  %s\n", qPrintable(note));
    const int total = r.succeeded + r.failed_with_message + r.silent_corruptions + r.unexplained;
    std::printf("soak: %d downloads (corrupt %s%s%s), %.1f s\n", total, qPrintable(o.corrupt),
                o.extra_sim_args.isEmpty() ? "" : ", ", qPrintable(o.extra_sim_args.join(' ')), t.elapsed() / 1000.0);
    std::printf("  succeeded:            %d (%.1f %%)\n", r.succeeded, total ? 100.0 * r.succeeded / total : 0.0);
    std::printf("  failed with message:  %d\n", r.failed_with_message);
    std::printf("  silent corruptions:   %d\n", r.silent_corruptions);
    std::printf("  crashed/hung/no text: %d\n", r.unexplained);
    return (r.silent_corruptions == 0 && r.unexplained == 0) ? 0 : 1;
}
