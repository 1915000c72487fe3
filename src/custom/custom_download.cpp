#include "custom/custom_download.h"

#include "custom/hex_text.h"
#include "custom/user_code.h"
#include "device/workbench.h"
#include "image/serial_number.h"
#include "isp/frames.h"
#include "base/user_dialogs.h"
#include "base/log_texts.h"

#include <QDateTime>

namespace {

const QString kStopLine = LogText::operation_stopped();

// The leading whole number of a text ("38400" -> 38400, "" -> 0), blanks before it skipped.
qint64 leading_number(const QString& text)
{
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    qint64 value = 0;
    for (; i < text.size() && text.at(i).isDigit(); ++i) {
        value = value * 10 + text.at(i).digitValue();
        if (value > 0x7FFFFFFF)
            break;
    }
    return value;
}

} // namespace

const QString CustomDownload::kWrongTypeBox =
    QStringLiteral("MCU Type is wrong, please select another MCU and open the file again.\r\n"
                   "         Chinese:MCU 型号错。请重选 MCU、重新打开文件。");

CustomDownload::CustomDownload(Workbench& bench) : bench_(bench) {}

QString CustomDownload::download_settings_text() const
{
    return serial_settings_text(download_baud, download_parity, download_data_bits,
                                download_stop_bits);
}

QString CustomDownload::trigger_settings_text() const
{
    return serial_settings_text(trigger_baud, trigger_parity, trigger_data_bits,
                                trigger_stop_bits);
}

QString CustomDownload::identity_text(quint8 high, quint8 low)
{
    return QStringLiteral("%1%2")
        .arg(high, 2, 16, QLatin1Char('0'))
        .arg(low, 2, 16, QLatin1Char('0'))
        .toUpper();
}

bool CustomDownload::identity_matches(const QString& identity, const QString& model_code)
{
    const CustomIdentity id = lookup_custom_identity(identity);
    if (id.model_name.isEmpty())
        return false;
    return id.prefix + id.size_code == model_code;
}

int CustomDownload::poll_interval_ms(const QString& baud_text)
{
    const qint64 baud = leading_number(baud_text);
    if (baud < 2400)
        return 200;
    if (baud < 4800)
        return 100;
    return 50;
}

void CustomDownload::stop_custom()
{
    IspLink& link = bench_.link;
    link.set_custom_frame_mode(false);
    link.request_stop();
    link.request_custom_stop();
}

void CustomDownload::select_watchdog_choice(int index)
{
    const bool pin = index == 1;
    bench_.choices.wdt_pin_enabled = pin;
    bench_.work.select_wdt_pin_option(pin);
}

bool CustomDownload::open_failure()
{
    bench_.link.beep_times(3);
    bench_.log.append(UserCodeCommand::kOpenFailure);
    bench_.log.append(UserCodeCommand::kOpenFailureHint);
    bench_.log.append(UserCodeCommand::kOpenFailureChinese);
    bench_.handshake.append_port_advice();
    bench_.work.set_phase(WorkPhase::Idle);
    return false;
}

void CustomDownload::run_custom_download(bool repeat)
{
    IspLink& link = bench_.link;
    if (move_focus_off_buttons)
        move_focus_off_buttons();
    // Ends any other download loop that is still waiting.
    link.set_custom_frame_mode(false);
    link.request_stop();
    link.request_custom_stop();

    if (!bench_.image.file_loaded) {
        bench_.dialogs->message_box(DownloadRunner::kNoFileText);
        return;
    }
    running = true;

    bool leave = false;   // straight to the end: no stop line
    if (send_trigger) {
        link.clear_custom_reply();
        link.clear_custom_stop();
        link.close_port();
        if (link.port_open() && bench_.port)
            bench_.port->close();
        bool opened = link.set_settings(trigger_settings_text());
        opened = opened && link.open_port() == 0;
        if (!opened) {
            open_failure();
            // The stop flag was just cleared: the end below adds no stop line.
        } else {
            const QByteArray bytes = hex_text_to_bytes(trigger_text);
            if (link.port_open()) {
                wait_transmit_queue_empty(bench_);
                if (!bytes.isEmpty())
                    link.write_bytes(bytes);
            }
            wait_transmit_queue_empty(bench_);
            link.delay_ms(20);
        }
        leave = !opened;
    }

    while (!leave) {
        bench_.stop_run.Timer9.set_enabled(true);
        if (serial_ && !serial_->serial_active)
            serial_->update_active();
        link.clear_stop();
        link.set_custom_frame_mode(true);

        if (!connect_custom()) {
            // Stopped while waiting for the routine: no board was attempted.
            if (!link.custom_stop_requested()) {
                last_board_ok = false;
                ++boards_failed;
                if (board_finished)
                    board_finished(false);
            }
            break;
        }
        bench_.stop_run.Timer9.stop();
        bool ok = read_custom_id() && erase_custom();
        if (ok) {
            link.delay_ms(100);
            ok = bench_.programmer.program_and_verify();
        }
        last_board_ok = ok;
        if (!ok) {
            ++boards_failed;
            if (board_finished)
                board_finished(false);
            break;
        }

        bench_.work.show_progress(Progress::Mode::Hide);
        link.send_custom_command(Frames::CustomFinish);
        link.send_custom_command(Frames::CustomFinish);

        const qint64 seconds = DownloadRunner::seconds_since(bench_.programmer.program_start_time);
        bench_.log.append(LogText::program_ok());
        bench_.log.append(LogText::verify_ok() + DownloadRunner::total_time_text(seconds) +
                          QStringLiteral(" )"));
        if (bench_.runner.choices.beep_on_success)
            bench_.dialogs->beep();
        ++boards_done;
        if (board_finished)
            board_finished(true);

        if (link.custom_stop_requested()) {
            // Stopped while finishing: no stop line.
            leave = true;
            break;
        }
        if (serial_ && serial_->checked) {
            serial_->advance_serial_number();
            serial_->write_serial_number();
            serial_->refresh_image();
            serial_->save_serial_settings();
            serial_->serial_active = true;
        }
        if (!repeat)
            break;
        countdown();
        // A stop during the countdown ends the series (with the stop line below).
        if (link.custom_stop_requested() || link.stop_requested())
            break;
    }

    if (!leave && link.custom_stop_requested()) {
        bench_.dialogs->beep();
        bench_.log.append(kStopLine);
    }
    link.close_port();
    bench_.stop_run.stop_download();
    link.release_port();
    link.set_custom_frame_mode(false);
    running = false;
}

void CustomDownload::countdown()
{
    IspLink& link = bench_.link;
    const QString kept = bench_.log.text();
    for (int k = DownloadRunner::pause_seconds(bench_.runner.choices.redownload_delay_text); k >= 1; --k) {
        bench_.log.set_text(kept);
        bench_.log.append(QString());
        bench_.log.append(LogText::program_succeeded());
        bench_.log.append(QString());
        bench_.log.append(LogText::reconnect_countdown() + QString::number(k));
        bench_.log.append(QString());
        bench_.log.append(LogText::reconnect_countdown_zh() + QString::number(k));
        link.Timer10.restart(1000);
        link.wait_on(link.Timer10, [&link] { return link.stop_requested() || link.custom_stop_requested(); });
        if (link.stop_requested() || link.custom_stop_requested()) {
            link.Timer10.stop();
            return;
        }
    }
}

bool CustomDownload::connect_custom()
{
    IspLink& link = bench_.link;
    link.clear_custom_reply();
    link.clear_custom_stop();
    bench_.log.clear();

    bench_.work.set_phase(WorkPhase::Busy);
    bench_.status_report.hide_status_panel_rows();
    link.close_port();
    if (link.port_open() && bench_.port)
        bench_.port->close();

    if (!link.set_settings(download_settings_text()) || link.open_port() != 0)
        return open_failure();

    bench_.log.append(LogText::connecting());
    bench_.log.append(LogText::connecting_zh());

    // The application may take any time to enter its routine: ask until it answers or Stop.
    const int interval = poll_interval_ms(download_baud);
    const auto answered_or_stopped = [&link] { return link.custom_reply_received() || link.custom_stop_requested(); };
    while (!answered_or_stopped()) {
        link.send_custom_command(Frames::CustomSync);
        link.Timer7.stop();
        link.Timer7.set_interval(interval);
        link.Timer7.start();
        link.wait_on(link.Timer7, answered_or_stopped);
    }
    if (link.custom_stop_requested())
        return false;

    for (int i = 0; i < 3; ++i)
        bench_.connection.send_custom_sync();

    if (link.custom_reply_received()) {
        bench_.log.append(LogText::connection_ok());
        return true;
    }
    link.beep_times(3);
    bench_.log.append(LogText::handshake_failed() + MessageLog::time_of_day() +
                      QLatin1Char(')'));
    bench_.stop_run.stop_download();
    return false;
}

bool CustomDownload::read_custom_id()
{
    IspLink& link = bench_.link;
    link.clear_custom_reply();
    link.clear_custom_stop();
    bench_.log.append(QStringLiteral("We are read MCU Firmware Version ..."));
    bench_.status_report.hide_status_panel_rows();

    for (int attempt = 0; attempt < 3; ++attempt) {
        bench_.connection.send_custom_read_id();
        if (link.custom_stop_requested())
            return false;
        if (link.custom_reply_received())
            break;
    }
    if (!link.custom_reply_received()) {
        link.beep_times(3);
        bench_.log.append(QStringLiteral("Read MCU Option is failed. / 读 Option (End: ") + MessageLog::time_of_day() +
                          QLatin1Char(')'));
        bench_.stop_run.stop_download();
        return false;
    }

    const QString identity = identity_text(link.rx_frame()[6], link.rx_frame()[7]);
    const CustomIdentity id = lookup_custom_identity(identity);
    bench_.status.mcu_type_name = id.model_name;
    bench_.results.chip_id_hex = id.prefix;
    bench_.results.chip_subid_hex = id.size_code;
    if (!identity_matches(identity, bench_.model.model_code)) {
        link.beep_times(3);
        bench_.log.append(LogText::wrong_model());
        bench_.log.append(Connection::wrong_model_detail(bench_.status, bench_.results, bench_.model));
        bench_.work.set_phase(WorkPhase::Idle);
        // As for the boot loader's connect: the file is to be opened again for the right model.
        bench_.image.file_loaded = false;
        bench_.dialogs->message_box(kWrongTypeBox);
        return false;
    }
    bench_.status.option_byte = link.rx_frame()[8];
    return true;
}

bool CustomDownload::erase_custom()
{
    IspLink& link = bench_.link;
    link.clear_custom_reply();
    link.clear_custom_stop();
    bench_.log.append(LogText::erasing());
    bench_.log.append(LogText::erasing_zh());

    for (int attempt = 0; attempt < 3; ++attempt) {
        bench_.connection.send_custom_erase();
        if (link.custom_stop_requested())
            return false;
        if (link.custom_reply_received())
            break;
    }
    if (!link.custom_reply_received()) {
        link.beep_times(3);
        bench_.log.append(LogText::erase_failed() +
                          MessageLog::time_of_day() + QLatin1Char(')'));
        bench_.stop_run.stop_download();
        return false;
    }
    return true;
}
