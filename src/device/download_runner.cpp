#include "device/download_runner.h"

#include "device/board_port.h"
#include "device/work_state.h"
#include "device/erase.h"
#include "device/mcu_status.h"
#include "device/numbered_board.h"
#include "device/option_lock.h"
#include "device/programmer.h"
#include "device/stop_run.h"
#include "image/file_loader.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

#include <QDateTime>

const QString DownloadRunner::kNoFileText = QStringLiteral("    Please open file./请打开文件。    ");

DownloadRunner::DownloadRunner(IspLink& link, MessageLog& log, WorkState& work, StopRun& stop_run,
                               Eraser& eraser, Programmer& programmer, OptionWriter& option_writer, McuStatus& status,
                               LinkResults& results, const SelectedModel& model, ProgramImage& image,
                               UserDialogs& dialogs, QObject* parent)
    : QObject(parent), link_(link), log_(log), work_(work), stop_run_(stop_run), eraser_(eraser),
      programmer_(programmer), option_writer_(option_writer), status_(status), results_(results), model_(model),
      image_(image), dialogs_(dialogs)
{
    connect(&log_, &MessageLog::appended, this, &DownloadRunner::log_line);
    connect(&work_, &WorkState::progress_changed, this, &DownloadRunner::progress_changed);
}

QString DownloadRunner::total_time_text(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const QString minutes = (QStringLiteral("00") + QString::number(seconds / 60)).right(2);
    const QString secs = (QStringLiteral("00") + QString::number(seconds % 60)).right(2);
    return minutes + QLatin1Char(':') + secs;
}

qint64 DownloadRunner::seconds_since(const QDateTime& start)
{
    if (!start.isValid())
        return 0;
    return QDateTime::currentDateTime().toSecsSinceEpoch() - start.toSecsSinceEpoch();
}

int DownloadRunner::pause_seconds(const QString& text)
{
    const QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        ++i;
    int start = i;
    while (i < t.size() && t[i].isDigit())
        ++i;
    if (i == start)
        return 0;
    bool ok = false;
    const int v = t.left(i).toInt(&ok);
    return ok ? v : 0;
}

bool DownloadRunner::prepare_image()
{
    if (!image_.file_loaded) {
        dialogs_.message_box(kNoFileText);
        return false;
    }
    if (choices.reload_file && loader_) {
        loader_->restore_program_file();
        loader_->open_into_buffer();
    }
    return true;
}

BoardResult DownloadRunner::run(Mode mode)
{
    if (!prepare_image())
        return {};
    if (serial_ && !serial_->serial_active)
        serial_->update_active();

    mode_ = mode;
    running_ = true;
    stopped_ = false;
    end_series_ = false;
    resent_before_ = programmer_.frames_resent;
    link_.clear_stop();
    BoardResult result;
    for (;;) {
        result = run_board();
        // A board failed by the resend limit was good on the wire: the series ends as after the
        // last board.
        if (!result.ok() && !result.too_many_resends)
            break;
        if (mode == Mode::Download || end_series_) {
            stop_run_.stop_download();
            break;
        }
        link_.clear_queues();
        link_.close_port();
        link_.release_port();   // the board is done: the next one gets a freshly opened port
        countdown();
        log_.clear();
    }
    stop_run_.stop_download();
    link_.release_port();
    enter(Phase::Idle);
    running_ = false;
    return result;
}

BoardResult DownloadRunner::run_board()
{
    // A Stop pressed during the countdown is noticed by the next cycle's connect, which logs
    // it; that cycle is the end of the series, not another board.
    const bool stopped_before = link_.stop_requested();
    if (numbers_)
        numbers_->begin();
    emit board_started();
    const bool ok = run_cycle();
    if (stopped_before) {
        BoardResult result;
        result.outcome = ok ? BoardResult::Outcome::Ok : BoardResult::Outcome::Stopped;
        return result;
    }
    last_ = board_result(ok);
    emit board_finished(last_);
    return last_;
}

void DownloadRunner::stop()
{
    stopped_ = true;
    stop_run_.stop_download();
}

BoardResult DownloadRunner::board_result(bool ok)
{
    BoardResult result;
    result.board_answered = !board_port_ || !board_port_->no_board_answered();
    // Stopped while waiting for a board that never answered: with Re-Download that is the end of
    // the run, not a failed board.
    if (!ok && mode_ == Mode::ReDownload && stopped_ && !result.board_answered) {
        result.outcome = BoardResult::Outcome::NoBoard;
        if (numbers_)
            numbers_->finish(false);
        return result;
    }
    result.frames_resent = programmer_.frames_resent - resent_before_;
    resent_before_ = programmer_.frames_resent;
    if (ok && max_resends_ >= 0 && qint64(result.frames_resent) > max_resends_) {
        ok = false;
        result.too_many_resends = true;
        end_series_ = true;
    }
    result.outcome = ok ? BoardResult::Outcome::Ok : stopped_ ? BoardResult::Outcome::Stopped : BoardResult::Outcome::Failed;
    if (numbers_)
        result.serial_number = numbers_->finish(ok);
    return result;
}

bool DownloadRunner::run_cycle()
{
    link_.clear_prefix_mode_flags();

    enter(Phase::Connecting);
    if (!eraser_.connect_and_erase())
        return false;

    enter(Phase::Programming);
    if (!programmer_.program_and_verify())
        return false;

    work_.show_progress(Progress::Mode::Hide);

    if (model_.model_family != 1) {
        enter(Phase::Options);
        results_.status_read_ok = false;
        const bool confirmed = option_writer_.write_options();
        if (status_.version_tenths() >= 28) {
            if (!confirmed)
                return false;
            stop_run_.run_user_program();
        }
    }
    stop_run_.run_user_program();

    const qint64 seconds = seconds_since(programmer_.program_start_time);
    log_.append(LogText::program_ok());
    log_.append(LogText::verify_ok() + total_time_text(seconds) + QStringLiteral(" )"));
    log_.append(QStringLiteral("Have already encrypt. / 已加密"));
    if (choices.beep_on_success)
        dialogs_.beep();

    if (serial_ && serial_->checked && serial_->serial_active) {
        serial_->advance_serial_number();
        serial_->write_serial_number();
        serial_->refresh_image();
        serial_->save_serial_settings();
        serial_->serial_active = true;
    }
    return true;
}

void DownloadRunner::countdown()
{
    enter(Phase::Countdown);
    const QString kept = log_.text();
    for (int n = pause_seconds(choices.redownload_delay_text); n >= 1; --n) {
        log_.set_text(kept);
        log_.append(QString());
        log_.append(LogText::program_succeeded());
        log_.append(QString());
        log_.append(LogText::reconnect_countdown() + QString::number(n));
        log_.append(QString());
        log_.append(LogText::reconnect_countdown_zh() + QString::number(n));
        link_.Timer10.restart(1000);
        link_.wait_on(link_.Timer10, [] { return false; });
        // Stop cuts the pause short; the next cycle reports it.
        if (link_.stop_requested()) {
            link_.Timer10.stop();
            return;
        }
    }
}

void DownloadRunner::enter(Phase phase)
{
    if (phase == phase_)
        return;
    phase_ = phase;
    emit phase_changed(phase);
}
