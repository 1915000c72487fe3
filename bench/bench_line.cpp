// A whole download over modelled serial lines: zvkisp-cli programs a 63,488-byte image into
// ZVK7H64B+ boards (zvkisp-sim, 11.0592 MHz, negotiated to 115200) behind zvkisp-line, and the
// port shim reports what crossed the port. For each line it prints the download time (first byte
// written to the last) against the physical limit, and the tool's CPU time:
//
//   limit = every byte each side sent, at the baud it was sent at (the greeting as one 0x7F pair:
//           the status frame overlaps the rest), plus the waits the protocol prescribes: the
//           tool's fixed delays before commands (20 ms before the baud test, 1 ms before the
//           switch, 50 + 5 x 1 ms before and 100 ms after the erase, 50 + 7 x 1 ms before the
//           options, 50 ms before a status read) and the board's own times (30 ms per baud test
//           and switch, the 50 ms erase, 0.2 ms per program frame).
//
// Also the handshake from the first reply byte to "connected" (the "Now baud is" line) against
// its own wire time, and four boards at once on four modelled adapters against one.
//
// Usage: bench_line [IMAGE_BYTES] (default 63488)
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/line_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");

struct PortFigures {
    double first_write = 0, last_write = 0, first_read = 0;   // seconds, CLOCK_MONOTONIC
    double wire = 0;                                          // seconds
    long pairs = 0;
    long pairs_before_reply = 0;
};

struct Run {
    bool ok = false;
    std::vector<PortFigures> ports;
    double cpu = 0;
    double connected_at = 0;      // CLOCK_MONOTONIC seconds of the first "Now baud is" line
    double delays = 0;            // the prescribed waits of the first board, seconds
    double handshake_wire = 0;    // the handshake's bytes after the greeting and its waits, seconds
};

// The shim's report: "port P opens N greeting-pairs G first-write T last-write T first-read T
// pairs-before-reply B",
// "port P wrote|read BAUD COUNT BITS", "cpu SECONDS".
void read_report(const QString& path, const QStringList& ports, Run& run)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    run.ports.assign(size_t(ports.size()), PortFigures{});
    double greeting_bits = 10;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QList<QByteArray> w = raw.split(' ');
        if (w.size() >= 2 && w[0] == "cpu") {
            run.cpu = w[1].toDouble();
            continue;
        }
        const int i = w.size() >= 3 && w[0] == "port" ? int(ports.indexOf(QString::fromUtf8(w[1]))) : -1;
        if (i < 0)
            continue;
        PortFigures& p = run.ports[size_t(i)];
        if (w[2] == "opens" && w.size() >= 14) {
            p.pairs = w[5].toLong();
            p.pairs_before_reply = w[13].toLong();
            p.first_write = w[7].toDouble() / 1e9;
            p.last_write = w[9].toDouble() / 1e9;
            p.first_read = w[11].toDouble() / 1e9;
        } else if ((w[2] == "wrote" || w[2] == "read") && w.size() >= 6) {
            const double baud = w[3].toDouble();
            const double bits = w[5].toDouble();
            p.wire += w[4].toDouble() * bits / baud;
            if (baud == 1200)
                greeting_bits = bits;
        }
    }
    for (PortFigures& p : run.ports)
        p.wire -= double(qMax(0L, p.pairs - 1)) * 2 * greeting_bits / 1200;
}

// The prescribed waits, from the board's trace.
double prescribed_delays(const QStringList& trace)
{
    double ms = 0;
    for (const QString& l : trace) {
        if (l.startsWith(QLatin1String("test-baud")))
            ms += 20 + 30;
        else if (l.startsWith(QLatin1String("switch-baud")))
            ms += 1 + 30;
        else if (l.startsWith(QLatin1String("wdt")))
            ms += 20;
        else if (l.startsWith(QLatin1String("erase")))
            ms += 50 + 5 + 50 + 100;
        else if (l.startsWith(QLatin1String("options")))
            ms += 50 + 7;
        else if (l.startsWith(QLatin1String("status")))
            ms += 50;
        else if (l.startsWith(QLatin1String("program")))
            ms += 0.2;
    }
    return ms / 1000;
}

double monotonic_now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// One download of `image` on `boards` boards at once, each behind a relay with `latency_ms` ticks.
Run run_download(const QString& image, int boards, int latency_ms, const QString& usb)
{
    Run run;
    QTemporaryDir dir;
    std::vector<std::unique_ptr<LineRig>> lines;
    QStringList ports;
    for (int i = 0; i < boards; ++i) {
        auto line = std::make_unique<LineRig>();
        if (!line->start({QStringLiteral("--model"), kModel, QStringLiteral("--flash-out"),
                          dir.filePath(QStringLiteral("flash%1.bin").arg(i)), QStringLiteral("--trace"),
                          dir.filePath(QStringLiteral("trace%1.txt").arg(i))},
                         latency_ms, true)) {
            std::fprintf(stderr, "bench_line: cannot start the board or the line\n");
            return run;
        }
        ports << line->port();
        lines.push_back(std::move(line));
    }
    const QString report = dir.filePath(QStringLiteral("report.txt"));
    CliProcess cli;
    cli.process().setProcessEnvironment(LineRig::cli_environment(ports, usb, report));
    QStringList args{QStringLiteral("download"), image, QStringLiteral("--model"), kModel};
    for (const QString& p : ports)
        args << QStringLiteral("--port") << p;
    if (!cli.start(args))
        return run;
    QElapsedTimer limit;
    limit.start();
    while (cli.process().state() != QProcess::NotRunning && limit.elapsed() < 600000) {
        cli.process().waitForReadyRead(2);
        if (run.connected_at == 0 && cli.out().contains(QStringLiteral("Now baud is")))
            run.connected_at = monotonic_now();
    }
    run.ok = cli.finish(1000) && cli.exit_code() == 0;
    if (!run.ok)
        std::fprintf(stderr, "bench_line: the download failed\n%s\n%s\n", qPrintable(cli.out().right(1500)),
                     qPrintable(cli.err()));
    for (auto& line : lines)
        line->sim.process().waitForFinished(3000);
    for (int i = 0; i < boards && !run.ok; ++i) {
        const QStringList trace = e2e::read_lines(dir.filePath(QStringLiteral("trace%1.txt").arg(i)));
        std::fprintf(stderr, "board %d (%s) said:\n%s\n", i, qPrintable(ports.at(i)),
                     qPrintable(trace.filter(QRegularExpression(QStringLiteral("^(?!program)"))).join('\n')));
    }
    read_report(report, ports, run);
    const QStringList trace = e2e::read_lines(dir.filePath(QStringLiteral("trace0.txt")));
    run.delays = prescribed_delays(trace);
    const QStringList tests = trace.filter(QRegularExpression(QStringLiteral("^(test|switch)-baud")));
    if (tests.size() > 2)
        std::fprintf(stderr, "bench_line: baud negotiation took more than one try: %s\n", qPrintable(tests.join(", ")));
    // The handshake's own wire after the greeting: the status frame (28 bytes), the baud test and
    // switch frames (12 and 11 bytes) at 1200 baud, their two 7-byte answers and five
    // synchronisations (6 bytes each way) at 115200, and the waits around the test and switch.
    run.handshake_wire = (28 + 12 + 11) * 10.0 / 1200 + (2 * 7 + 5 * 12) * 10.0 / 115200 + (20 + 30 + 1 + 30) / 1000.0;
    return run;
}

void print(const char* name, const Run& run)
{
    if (!run.ok || run.ports.empty()) {
        std::printf("  %-34s FAILED\n", name);
        return;
    }
    const PortFigures& p = run.ports.front();
    const double time = p.last_write - p.first_write;
    const double limit = p.wire + run.delays;
    std::printf("  %-34s %7.3f s  limit %7.3f s  = %5.3f x   CPU %6.3f s   (greeting: %ld pairs, %ld before the "
                "first reply)\n",
                name, time, limit, time / limit, run.cpu, p.pairs, p.pairs_before_reply);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int size = argc > 1 ? qMax(1, atoi(argv[1])) : 63488;
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("image.bin"));
    e2e::write_file(image, e2e::pattern(size, 3));
    std::printf("download of %d bytes into %s, negotiated 115200 baud, over modelled lines\n", size,
                qPrintable(kModel));
    std::printf("  time = first byte written to the last; limit = wire time of every byte + prescribed waits\n");

    const Run ideal = run_download(image, 1, 0, QString());
    print("ideal line", ideal);
    print("16 ms ticks", run_download(image, 1, 16, QString()));
    print("USB model, 16 ms ticks (refused)", run_download(image, 1, 16, QStringLiteral("refuse")));
    const Run usb1 = run_download(image, 1, 1, QStringLiteral("accept"));
    print("USB model, 1 ms ticks", usb1);

    if (ideal.ok && !ideal.ports.empty() && ideal.connected_at > 0) {
        const double handshake = ideal.connected_at - ideal.ports.front().first_read;
        std::printf("  handshake, first reply to \"connected\": %.3f s, its wire time %.3f s (%+.3f s)\n", handshake,
                    ideal.handshake_wire, handshake - ideal.handshake_wire);
    }

    const Run gang = run_download(image, 4, 1, QStringLiteral("accept"));
    if (gang.ok && gang.ports.size() == 4 && usb1.ok && !usb1.ports.empty()) {
        double first = gang.ports.front().first_write;
        double last = gang.ports.front().last_write;
        for (const PortFigures& p : gang.ports) {
            first = qMin(first, p.first_write);
            last = qMax(last, p.last_write);
        }
        const double one = usb1.ports.front().last_write - usb1.ports.front().first_write;
        const double limit = gang.ports.front().wire + gang.delays;
        std::printf("  gang of 4, USB model, 1 ms ticks   %7.3f s  limit %7.3f s  = %5.3f x   CPU %6.3f s   "
                    "(%.3f x one board)\n",
                    last - first, limit, (last - first) / limit, gang.cpu, (last - first) / one);
    } else {
        std::printf("  gang of 4: FAILED\n");
    }
    return 0;
}
