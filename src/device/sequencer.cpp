#include "device/sequencer.h"

#include "device/busy_state.h"
#include "device/erase.h"
#include "device/mcu_status.h"
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

#include <QDateTime>

const QString Sequencer::kNoFileText = QStringLiteral("    Please open file./请打开文件。    ");

Sequencer::Sequencer(IspLink& link, MessageLog& log, ControlStates& controls, StopRun& stop_run, Eraser& eraser,
                     Programmer& programmer, OptionWriter& option_writer, McuStatus& status, LinkResults& results,
                     const SelectedModel& model, ProgramImage& image, UserDialogs& dialogs)
    : link_(link), log_(log), controls_(controls), stop_run_(stop_run), eraser_(eraser), programmer_(programmer),
      option_writer_(option_writer), status_(status), results_(results), model_(model), image_(image),
      dialogs_(dialogs)
{
}

QString Sequencer::total_time_text(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const QString minutes = (QStringLiteral("00") + QString::number(seconds / 60)).right(2);
    const QString secs = (QStringLiteral("00") + QString::number(seconds % 60)).right(2);
    return minutes + QLatin1Char(':') + secs;
}

qint64 Sequencer::seconds_since(const QDateTime& start)
{
    if (!start.isValid())
        return 0;
    return QDateTime::currentDateTime().toSecsSinceEpoch() - start.toSecsSinceEpoch();
}

int Sequencer::pause_seconds(const QString& text)
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

void Sequencer::start_download(int index)
{
    if (!image_.file_loaded) {
        dialogs_.message_box(kNoFileText);
        return;
    }
    if (choices.reload_file && loader_) {
        loader_->restore_program_file();
        loader_->open_into_buffer();
    }
    if (serial_ && !serial_->serial_active)
        serial_->auto_increase_toggled();

    running = true;
    end_series = false;
    link_.clear_stop();
    for (;;) {
        // A Stop pressed during the countdown is noticed by the next cycle's connect, which logs
        // it; that cycle is the end of the series, not another board.
        const bool stopped_before = link_.stop_requested();
        if (board_started)
            board_started();
        const bool ok = run_cycle();
        if (!stopped_before) {
            last_board_ok = ok;
            ++boards_done;
            if (board_finished)
                board_finished(ok);
        }
        if (!ok)
            break;
        if (index == 0 || end_series) {
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
    running = false;
}

bool Sequencer::run_cycle()
{
    link_.clear_prefix_mode_flags();

    if (!eraser_.connect_and_erase())
        return false;

    if (!programmer_.program_and_verify())
        return false;

    controls_.show_progress(ControlStates::ProgressMode::Hide);

    if (model_.model_family != 1) {
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
    log_.append(QStringLiteral("Program OK / 下载 OK "));
    log_.append(QStringLiteral("Verify  OK / 校验 OK  ( Total: ") + total_time_text(seconds) + QStringLiteral(" )"));
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

void Sequencer::countdown()
{
    const QString kept = log_.text();
    for (int n = pause_seconds(choices.redownload_delay_text); n >= 1; --n) {
        log_.set_text(kept);
        log_.append(QString());
        log_.append(QStringLiteral("Program succeed. / 下载成功."));
        log_.append(QString());
        log_.append(QStringLiteral("After a few seconds re-connect will continue.  ") + QString::number(n));
        log_.append(QString());
        log_.append(QStringLiteral("Chinese:几秒钟后将继续下载下一个 MCU...  ") + QString::number(n));
        link_.Timer10.restart(1000);
        link_.wait_on(link_.Timer10, [] { return false; });
        // Stop cuts the pause short; the next cycle reports it.
        if (link_.stop_requested()) {
            link_.Timer10.stop();
            return;
        }
    }
}
