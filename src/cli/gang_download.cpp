#include "cli/gang_download.h"

#include "cli/board_report.h"
#include "cli/cli_session.h"
#include "cli/gang_batch.h"
#include "device/job.h"
#include "device/gang_run.h"
#include "device/serial_pool.h"
#include "isp/port_names.h"

#include <QCommandLineParser>
#include <QSet>
#include <QTimer>

#include <cstdio>

namespace {

const char* const kName = "zvkisp-cli download";

void print_out(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Terminal columns a character takes: two for the wide (CJK and full-width) ones.
int columns(QChar c)
{
    const ushort u = c.unicode();
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
                      (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                      (u >= 0xFFE0 && u <= 0xFFE6);
    return wide ? 2 : 1;
}

// `text` cut (with an ellipsis) so that it takes at most `width` columns.
QString fit_columns(const QString& text, int width)
{
    int total = 0;
    for (QChar c : text)
        total += columns(c);
    if (total <= width)
        return text;
    QString out;
    int used = 0;
    for (QChar c : text) {
        if (used + columns(c) > width - 2)     // room for the ellipsis, which may take two
            break;
        out += c;
        used += columns(c);
    }
    return out + QChar(0x2026);
}

// The block of progress lines on standard error (a terminal): drawn below the log, taken away
// before a log line is printed and drawn again after it, at most ten times a second.
class ProgressBlock {
public:
    ProgressBlock(const GangRun& run, const QStringList& names) : run_(run), names_(names)
    {
        for (const QString& n : names)
            width_ = std::max(width_, int(n.size()));
        timer_.setSingleShot(true);
        timer_.setInterval(100);
        QObject::connect(&timer_, &QTimer::timeout, [this] { draw(); });
    }

    void changed()
    {
        if (!timer_.isActive())
            timer_.start();
    }
    void erase()
    {
        if (drawn_ == 0)
            return;
        std::fprintf(stderr, "\x1b[%dA\x1b[J", drawn_);
        std::fflush(stderr);
        drawn_ = 0;
    }
    void draw()
    {
        erase();
        const std::vector<GangRun::Row>& rows = run_.rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            const GangRun::Row& r = rows[i];
            const int bar = 20;
            const int filled = r.percent < 0 ? 0 : r.percent * bar / 100;
            const QString text = QStringLiteral("%1 [%2%3] %4 %5 ok %6 failed %7  %8")
                                     .arg(names_.at(int(i)), -width_)
                                     .arg(QString(filled, QLatin1Char('#')), QString(bar - filled, QLatin1Char(' ')))
                                     .arg(r.percent < 0 ? QStringLiteral("    ") : QStringLiteral("%1%").arg(r.percent, 3))
                                     .arg(r.state, -11)
                                     .arg(r.boards_ok)
                                     .arg(r.boards_failed)
                                     .arg(QString());
            // One terminal row per port (79 columns), or taking the block away would miss rows.
            const int room = 79 - int(text.size());
            const QString line = room > 1 ? text + fit_columns(r.last_line, room) : fit_columns(text, 78);
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        }
        std::fflush(stderr);
        drawn_ = int(rows.size());
    }

private:
    const GangRun& run_;
    const QStringList names_;
    int width_ = 0;
    int drawn_ = 0;
    QTimer timer_;
};

} // namespace

int run_gang_download(CliSession& session, const SerialNumber* serial, const QStringList& ports, bool repeat,
                      const RunOptions& options, const QCommandLineParser& parser, BoardReport& report)
{
    for (const char* one_port : {"timeout", "trace", "max-resends"})
        if (parser.isSet(QLatin1String(one_port))) {
            std::fprintf(stderr, "%s: --%s is taken with one --port only\n", kName, one_port);
            return 2;
        }
    QStringList devices;
    QSet<QString> seen;
    for (const QString& p : ports) {
        if (p.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
            std::fprintf(stderr, "%s: --port auto picks one adapter; name each port for several boards\n", kName);
            return 2;
        }
        const QString device = resolve_port_device(p);
        if (seen.contains(device)) {
            std::fprintf(stderr, "%s: port %s is given twice\n", kName, qPrintable(p));
            return 2;
        }
        seen.insert(device);
        devices << device;
    }

    // The busy-wait calibration, once for every port, while nothing else runs.
    session.calibrate();
    GangRun run(Job::capture(session.bench, serial), devices, repeat, report.make_pool());
    QObject::connect(&run, &GangRun::board_record, &report, [&report](int, const BoardRecord& r) { report.add(r); });

    const bool terminal = gang_progress_bar(options, session.quiet);
    ProgressBlock block(run, ports);
    QObject::connect(&run, &GangRun::line, [&](int index, const QString& text) {
        if (terminal)
            block.erase();
        if (!session.quiet)
            print_out(QStringLiteral("[%1] %2").arg(ports.at(index), text));
        if (terminal)
            block.changed();
    });
    if (terminal)
        QObject::connect(&run, &GangRun::row_changed, [&block] { block.changed(); });
    QObject::connect(&run, &GangRun::message, [&](int index, const QString& text) {
        if (terminal)
            block.erase();
        std::fprintf(stderr, "%s: [%s] %s\n", kName, qPrintable(ports.at(index)), qPrintable(text));
    });
    GangBatch batch(run, ports, options, session);
    if ((repeat || serial) && !session.quiet) {
        QObject::connect(&run, &GangRun::board_finished, [&](int index, bool ok) {
            const GangRun::Row& row = run.rows()[size_t(index)];
            if (terminal)
                block.erase();
            std::fprintf(stderr, "%s: [%s] board %d %s%s\n", kName, qPrintable(ports.at(index)),
                         row.boards_ok + row.boards_failed, ok ? "programmed" : "failed",
                         qPrintable(BoardReport::number_words(ok && !row.serials.isEmpty() ? row.serials.last()
                                                                                            : QString())));
            if (terminal)
                block.changed();
        });
    }
    QObject::connect(&run, &GangRun::beep, [&session] { session.dialogs.beep(); });

    session.stop_bench_on_interrupt = false;
    QObject::connect(&session, &CliSession::interrupt_received, &batch, &GangBatch::on_stop);
    session.install_stop_on_interrupt();

    run.start();
    run.wait_finished();
    report.store_pending();
    if (terminal) {
        block.draw();
        std::fflush(stderr);
    }
    if (!session.quiet) {
        print_out(QString());
        print_out(QStringLiteral("Gang summary:"));
        for (const QString& l : run.summary())
            print_out(QStringLiteral("  ") + l);
    }
    return exit_code(batch.status(repeat));
}
