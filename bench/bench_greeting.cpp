// CPU use of zvkisp-cli while it greets a board that stays off: the greeting must be paced by the
// wire, not by a spinning loop. Prints the share of one core over a 10 s window.

#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// utime + stime of a process in seconds, from /proc/<pid>/stat.
double cpu_seconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // After the name: state(0) ppid(1) ... utime(11) stime(12).
    if (fields.size() < 13)
        return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int window_s = argc > 1 ? atoi(argv[1]) : 10;

    SimProcess board;
    if (!board.start({QStringLiteral("--model"), QStringLiteral("ZVK7H12A"), QStringLiteral("--power-on-delay"),
                      QString::number((window_s + 30) * 1000)})) {
        std::fprintf(stderr, "bench_greeting: cannot start zvkisp-sim (%s)\n", qPrintable(SimProcess::binary()));
        return 1;
    }
    QString cli = qEnvironmentVariable("ZVKISP_CLI");
    if (cli.isEmpty())
        cli = QStringLiteral(ZVKISP_BINARY_DIR "/src/zvkisp-cli");

    QProcess tool;
    tool.start(cli, {QStringLiteral("test-option"), QStringLiteral("--model"), QStringLiteral("ZVK7H12A"),
                     QStringLiteral("--port"), board.port()});
    if (!tool.waitForStarted()) {
        std::fprintf(stderr, "bench_greeting: cannot start %s\n", qPrintable(cli));
        return 1;
    }
    const qint64 pid = tool.processId();
    QThread::msleep(1000);   // start-up and the opening of the port are not part of the figure
    const double cpu0 = cpu_seconds(pid);
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(quint64(window_s) * 1000);
    const double cpu1 = cpu_seconds(pid);
    const double elapsed = wall.nsecsElapsed() / 1e9;

    ::kill(pid_t(pid), SIGINT);
    tool.waitForFinished(10000);
    const QByteArray out = tool.readAllStandardOutput();
    const bool greeted = out.contains("We are trying to connect to your MCU");
    const bool stopped = out.contains("Operation is stop.");

    std::printf("greeting a board that stays off for %.1f s\n", elapsed);
    std::printf("  tool CPU time   : %.3f s\n", cpu1 - cpu0);
    std::printf("  share of a core : %.2f %% (target <= 5 %%)\n", 100.0 * (cpu1 - cpu0) / elapsed);
    std::printf("  greeting seen   : %s, stopped by Ctrl-C: %s, exit %d\n", greeted ? "yes" : "no",
                stopped ? "yes" : "no", tool.exitCode());
    board.stop();
    return 0;
}
