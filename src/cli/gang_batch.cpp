#include "cli/gang_batch.h"

#include "cli/cli_session.h"
#include "device/gang_run.h"
#include "base/log_texts.h"

#include <cstdio>
#include <unistd.h>

bool gang_progress_bar(const RunOptions& options, bool quiet)
{
    if (quiet || options.progress == RunOptions::Progress::None || options.progress == RunOptions::Progress::Plain)
        return false;
    return options.progress == RunOptions::Progress::Bar || ::isatty(STDERR_FILENO);
}

GangBatch::GangBatch(GangRun& run, const QStringList& ports, const RunOptions& options, const CliSession& session)
    : run_(run), ports_(ports), options_(options), session_(session), tenths_(size_t(ports.size()), 0),
      answered_(size_t(ports.size()), false)
{
    connect(&run_, &GangRun::board_finished, this, &GangBatch::on_board);
    connect(&run_, &GangRun::line, this, [this](int index, const QString& text) {
        port_failed_ = port_failed_ || text == LogText::port_open_failed();
        // The status display: the port's board has answered, it is in hand until it ends.
        if (text.startsWith(QLatin1String("MCU Firmware Version: ")))
            answered_[size_t(index)] = true;
    });
    const bool plain = !session.quiet && (options.progress == RunOptions::Progress::Plain ||
                                          (options.progress == RunOptions::Progress::Auto && !::isatty(STDERR_FILENO)));
    if (plain)
        connect(&run_, &GangRun::row_changed, this, &GangBatch::on_row);
}

void GangBatch::on_row(int index)
{
    const GangRun::Row& row = run_.rows()[size_t(index)];
    int& tenth = tenths_[size_t(index)];
    if (row.percent < 0) {
        tenth = 0;
        return;
    }
    if (row.percent / 10 > tenth) {
        tenth = row.percent / 10;
        std::fprintf(stderr, "zvkisp-cli download: [%s] programmed %3d%% %s\n", qPrintable(ports_.at(index)),
                     tenth * 10, qPrintable(row.kbyte));
    }
}

void GangBatch::on_board(int index, bool ok)
{
    const GangRun::Row& row = run_.rows()[size_t(index)];
    tenths_[size_t(index)] = 0;
    answered_[size_t(index)] = false;
    if (session_.quiet) {
        const QString serial = ok && !row.serials.isEmpty() ? row.serials.last() : QStringLiteral("-");
        const QByteArray line = QStringLiteral("port=%1 serial=%2 result=%3\n")
                                    .arg(row.device, serial, ok ? QStringLiteral("ok") : QStringLiteral("failed"))
                                    .toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
    if (options_.count > 0 && row.boards_ok >= options_.count)
        run_.stop(index);
}

void GangBatch::on_stop()
{
    for (bool answered : answered_)
        in_hand_ = in_hand_ || answered;
    run_.stop_all();
}

ExitStatus GangBatch::status(bool repeat) const
{
    int programmed = 0, good = 0;
    for (size_t i = 0; i < run_.rows().size(); ++i) {
        const GangRun::Row& row = run_.rows()[i];
        programmed += row.boards_ok + row.boards_failed;
        good += row.boards_ok;
        if (repeat && !session_.quiet)
            print_batch_total(row.boards_ok, row.boards_ok + row.boards_failed, ports_.at(int(i)));
    }
    const bool all_good = programmed > 0 && good == programmed;
    if (session_.interrupted() && (in_hand_ || !repeat || programmed == 0))
        return session_.status_after(false);
    if (all_good)
        return ExitStatus::Ok;
    bool removed = false;
    for (const GangRun::Row& row : run_.rows())
        removed = removed || row.state == QLatin1String("board removed");
    return port_failed_ || removed ? ExitStatus::Port : ExitStatus::BoardFailed;
}
