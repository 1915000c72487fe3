#include "cli/download_run.h"

#include "cli/board_report.h"
#include "cli/cli_session.h"
#include "cli/download_options.h"
#include "image/serial_number.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

namespace {

const char* const kName = "zvkisp-cli download";

// The programming progress on standard error: a bar redrawn in place on a terminal, or a line per
// 10 % (plain).
class ProgressPrinter {
public:
    ProgressPrinter(WorkState& work, bool bar) : work_(work), bar_(bar) {}

    void draw()
    {
        const Progress& p = work_.progress();
        if (!p.visible || p.maximum <= p.minimum) {
            end_line();
            return;
        }
        const double fraction = qBound(0.0, double(p.value - p.minimum) / double(p.maximum - p.minimum), 1.0);
        const int percent = int(fraction * 100);
        if (!bar_) {
            if (percent / 10 > last_tenth_) {
                last_tenth_ = percent / 10;
                std::fprintf(stderr, "%s: programmed %3d%% %s\n", kName, last_tenth_ * 10,
                             qPrintable(p.kbyte_text));
                std::fflush(stderr);
            }
            return;
        }
        const int width = 40;
        const int filled = int(fraction * width);
        std::fprintf(stderr, "\r[%s%s] %3d%% %s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, ' ').constData(), percent, qPrintable(p.kbyte_text));
        std::fflush(stderr);
        drawn_ = true;
        if (p.value >= p.maximum)
            end_line();
    }
    void end_line()
    {
        last_tenth_ = 0;
        if (drawn_) {
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
        drawn_ = false;
    }
    // A log line is about to be printed on the same terminal: take the bar away, then back.
    void step_aside()
    {
        if (!drawn_)
            return;
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        aside_ = true;
    }
    void step_back()
    {
        if (!aside_)
            return;
        aside_ = false;
        drawn_ = false;
        draw();
    }

private:
    WorkState& work_;
    const bool bar_;
    bool drawn_ = false;
    bool aside_ = false;
    int last_tenth_ = 0;
};

} // namespace

QList<QCommandLineOption> run_options()
{
    return {
        {QStringLiteral("progress"),
         QStringLiteral("Progress on standard error: bar, plain (a line per 10 %) or none (default: bar on a "
                        "terminal, else plain)."),
         QStringLiteral("bar|plain|none")},
        {QStringLiteral("count"), QStringLiteral("With --repeat: end after N good boards (per port)."),
         QStringLiteral("N")},
        {QStringLiteral("max-resends"),
         QStringLiteral("Fail a board (exit status 1) whose download needed more than N frames sent again."),
         QStringLiteral("N")},
    };
}

bool parse_run_options(const QCommandLineParser& parser, bool repeat, RunOptions& out, QString& error)
{
    const QString progress = parser.value(QStringLiteral("progress"));
    if (progress == QLatin1String("bar"))
        out.progress = RunOptions::Progress::Bar;
    else if (progress == QLatin1String("plain"))
        out.progress = RunOptions::Progress::Plain;
    else if (progress == QLatin1String("none"))
        out.progress = RunOptions::Progress::None;
    else if (!progress.isEmpty()) {
        error = QStringLiteral("--progress takes bar, plain or none");
        return false;
    }
    bool ok = true;
    if (parser.isSet(QStringLiteral("count"))) {
        out.count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || out.count < 1) {
            error = QStringLiteral("--count takes a number of boards from 1");
            return false;
        }
        if (!repeat) {
            error = QStringLiteral("--count is taken with --repeat only");
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("max-resends"))) {
        out.max_resends = parser.value(QStringLiteral("max-resends")).toLongLong(&ok);
        if (!ok || out.max_resends < 0) {
            error = QStringLiteral("--max-resends takes a number from 0");
            return false;
        }
    }
    return true;
}

bool check_serial_option(const QStringList& parts, QString& error)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    const QString next = parts.value(2).trimmed();
    const QString fmt = parts.value(4).trimmed().toLower();
    bool ok = false;
    const int bytes = parts.value(1).trimmed().toInt(&ok);
    if (!ok || bytes < 1) {
        error = QStringLiteral("--serial: BYTES must be a number from 1");
        return false;
    }
    if (!digits.match(next).hasMatch() || !digits.match(parts.value(3).trimmed()).hasMatch()) {
        error = QStringLiteral("--serial: NEXT and STEP must be decimal numbers (got '%1', '%2')")
                    .arg(next, parts.value(3).trimmed());
        return false;
    }
    const int room = fmt == QLatin1String("dec") ? 2 * bytes : bytes;
    if (fmt == QLatin1String("bin") ? bytes > 4 || next.toLongLong() > 2147483647LL ||
                                           (bytes < 4 && next.toLongLong() >= (1LL << (8 * bytes)))
                                    : next.size() > room) {
        error = QStringLiteral("--serial: NEXT %1 does not fit %2 byte(s) in the %3 format").arg(next).arg(bytes).arg(fmt);
        return false;
    }
    return true;
}

bool reload_for_picked_model(CliSession& session, BenchImageTools& tools, const BufferOptions& buffer,
                             const QString& file, const QString& family_refusal)
{
    if (!family_refusal.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", kName, qPrintable(family_refusal));
        session.refuse(ExitStatus::Usage);
        return false;
    }
    if (load_into_bench(kName, session.bench, tools, buffer, file) != 0) {
        session.refuse(ExitStatus::BadInput);
        return false;
    }
    if (tools.serial.checked) {
        if (tools.serial.check_serial_settings() != 0) {
            session.refuse(ExitStatus::Usage);
            return false;
        }
        tools.serial.write_serial_number();
        tools.serial.refresh_image();
    }
    return true;
}

QStringList resent_lines(quint64 resent)
{
    return {QStringLiteral("%1 frames resent: the line is noisy, check the wiring").arg(resent),
            QStringLiteral("Chinese:重发了 %1 帧: 线路有干扰, 请检查接线。").arg(resent)};
}

void print_batch_total(int good, int programmed, const QString& port)
{
    const QString where = port.isEmpty() ? QString() : QStringLiteral("[%1] ").arg(port);
    std::fprintf(stderr, "%s: %s%d of %d boards programmed / %d 块板下载成功 (共 %d 块)\n", kName, qPrintable(where),
                 good, programmed, good, programmed);
}

ExitStatus run_download(CliSession& session, const SerialNumber* serial, bool repeat, const RunOptions& options,
                        const BoardEnded& ended)
{
    Workbench& bench = session.bench;
    RunOptions::Progress mode = options.progress;
    if (mode == RunOptions::Progress::Auto)
        mode = ::isatty(STDERR_FILENO) ? RunOptions::Progress::Bar : RunOptions::Progress::Plain;
    if (session.quiet)
        mode = RunOptions::Progress::None;
    ProgressPrinter printer(bench.work, mode == RunOptions::Progress::Bar);
    if (mode != RunOptions::Progress::None)
        QObject::connect(&bench.work, &WorkState::progress_changed, [&printer] { printer.draw(); });
    if (mode == RunOptions::Progress::Bar) {
        session.before_log_line = [&printer] { printer.step_aside(); };
        session.after_log_line = [&printer] { printer.step_back(); };
    }

    // The number written into the board in hand: the counter's value when its greeting starts.
    QString serial_text;
    auto greeting = session.port.greeting_started;
    session.port.greeting_started = [&, greeting] {
        if (serial && serial->checked)
            serial_text = serial->texts[2];
        if (greeting)
            greeting();
    };

    DownloadRunner& runner = bench.runner;
    runner.set_board_port(&session.port);
    runner.set_resend_limit(options.max_resends);
    const bool numbered = runner.numbers() != nullptr;
    int programmed = 0, good = 0;
    QObject context;
    QObject::connect(&runner, &DownloadRunner::board_finished, &context, [&](const BoardResult& board) {
        printer.end_line();
        if (board.outcome == BoardResult::Outcome::NoBoard)
            return;
        if (board.frames_resent > 0)
            for (const QString& line : resent_lines(board.frames_resent))
                bench.log.append(line);
        if (board.too_many_resends)
            std::fprintf(stderr, "%s: board failed: %llu frames resent, more than --max-resends %lld / 重发帧数超过上限\n",
                         kName, static_cast<unsigned long long>(board.frames_resent),
                         static_cast<long long>(options.max_resends));
        const bool ok = board.ok();
        ++programmed;
        good += ok ? 1 : 0;
        if (ended)
            ended(board);
        const QString number = numbered ? board.serial_number : serial_text;
        if (session.quiet)
            session.print_verdict(ok, number);
        else if (repeat || numbered)
            std::fprintf(stderr, "%s: board %d %s%s\n", kName, programmed, ok ? "programmed" : "failed",
                         qPrintable(BoardReport::number_words(numbered ? number : QString())));
        if (options.count > 0 && good >= options.count)
            runner.end_series();
    });

    session.calibrate();
    session.install_stop_on_interrupt();
    runner.run(repeat ? DownloadRunner::Mode::ReDownload : DownloadRunner::Mode::Download);
    printer.end_line();
    if (good < programmed)
        session.report_port_error();

    const bool all_good = programmed > 0 && good == programmed;
    if (!repeat)
        return session.status_after(all_good);
    // A batch: a stop or time-out while waiting for the next board ends it normally.
    if (programmed > 0 && !session.quiet)
        print_batch_total(good, programmed);
    const bool ended_between_boards = !session.stopped_with_board_in_hand() && programmed > 0;
    if ((session.interrupted() || session.timed_out()) && ended_between_boards)
        return all_good ? ExitStatus::Ok : ExitStatus::BoardFailed;
    return session.status_after(all_good);
}
