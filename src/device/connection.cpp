#include "device/connection.h"

#include "device/work_state.h"
#include "device/mcu_status.h"
#include "device/stop_run.h"
#include "image/program_image.h"
#include "isp/frames.h"
#include "device/handshake.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

namespace {
const QString kStopLine = LogText::operation_stopped();
}

Connection::Connection(IspLink& link, UserDialogs& dialogs, MessageLog& log, McuStatus& status, LinkResults& results,
                       const SelectedModel& model, StatusReport& report, WorkState& work, StopRun& stop_run,
                       Handshake& handshake, ProgramImage& image)
    : link_(link), dialogs_(dialogs), log_(log), status_(status), results_(results), model_(model), report_(report),
      work_(work), stop_run_(stop_run), handshake_(handshake), image_(image)
{
}

void Connection::stop_line()
{
    dialogs_.beep();
    log_.append(kStopLine);
}

QString Connection::format_mhz(double mhz)
{
    return QString::number(mhz, 'g', 15);
}

QString Connection::wrong_model_box_text()
{
    return QStringLiteral("MCU Type is wrong, please select another MCU and open the file again.\r\n"
                          "         Chinese:MCU 型号错。请重选 MCU、重新打开文件。");
}

QString Connection::wrong_model_detail(const McuStatus& status, const LinkResults& results, const SelectedModel& model)
{
    const QString name = status.mcu_type_name.isEmpty() ? QStringLiteral("?") : status.mcu_type_name;
    const QString code = model.model_code.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(model.model_code);
    return QStringLiteral("Chip found / 找到的芯片: %1, identity/标识 %2%3, firmware/固件 %4%5; "
                          "chosen / 选择的型号: %6%7")
        .arg(name, results.chip_id_hex, results.chip_subid_hex, status.firmware_version, status.firmware_variant,
             model.combo_text, code);
}

bool Connection::model_is_wrong(const McuStatus& status, const LinkResults& results, const SelectedModel& model)
{
    const QString& v = status.firmware_variant;
    if (v == QLatin1String("A") && model.block_size != 128)
        return true;
    if (v == QLatin1String("B")) {
        if (model.model_family != 1)
            return true;
        if (!status.mcu_type_name.isEmpty() && model.combo_text != status.mcu_type_name) {
            const bool either = status.mcu_type_name == QLatin1String("ZVK7L64D/T2") &&
                                (model.combo_text == QLatin1String("ZVK7L64T2") ||
                                 model.combo_text == QLatin1String("ZVK7L64D"));
            if (!either)
                return true;
        }
    }
    if (v == QLatin1String("C")) {
        if (model.model_family != 2)
            return true;
        if (model.model_code != results.chip_id_hex + results.chip_subid_hex)
            return true;
    }
    return false;
}

void Connection::read_status(bool slow)
{
    results_.status_read_ok = report_.query_status(slow);
}

void Connection::send_sync_command()
{
    link_.flush_receive();
    link_.clear_custom_reply();
    link_.clear_custom_stop();
    link_.clear_queues();
    link_.send_short_command(Frames::Synchronise);
    link_.Timer7.restart(200);
    link_.wait_on(link_.Timer7, [this] { return link_.reply_received(); });
}

void Connection::custom_exchange(quint8 code, int timeout_ms)
{
    link_.flush_receive();
    link_.clear_custom_reply();
    link_.clear_custom_stop();
    link_.clear_queues();
    link_.send_custom_command(code);
    link_.Timer7.restart(timeout_ms);
    link_.wait_on(link_.Timer7, [this] { return link_.custom_reply_received() || link_.custom_stop_requested(); });
}

void Connection::send_custom_sync()
{
    custom_exchange(Frames::CustomSync, 200);
}

void Connection::send_custom_erase()
{
    custom_exchange(Frames::CustomErase, 5000);
}

void Connection::send_custom_read_id()
{
    custom_exchange(Frames::CustomReadId, 2000);
}

void Connection::report_clock()
{
    const double clock = results_.clock_hz;
    const QString x = format_mhz(clock / 1000000.0);
    auto internal = [this](const QString& v) {
        log_.append(QStringLiteral("Internal clock:") + v + QStringLiteral("MHz./内部时钟频率:") + v + QStringLiteral("M."));
    };
    auto external = [this](const QString& v) {
        log_.append(QStringLiteral("External clock:") + v + QStringLiteral("MHz./外部时钟频率:") + v + QStringLiteral("M."));
    };
    internal(x);
    if (status_.firmware_variant == QLatin1String("B"))
        return;
    if (status_.double_speed)
        external(format_mhz(clock / 2000000.0));
    else
        external(x);
}

ConnectOutcome Connection::connect_to_mcu(bool read_only)
{
    // 1.
    work_.set_phase(WorkPhase::Busy);
    work_.set_program_button(WorkState::ProgramButton::Ready);
    report_.hide_status_panel_rows();

    // 2.
    log_.append(LogText::connecting());
    log_.append(LogText::connecting_zh());

    // 3.
    const std::optional<qint32> baud = handshake_.handshake(read_only);
    if (!baud) {
        work_.set_phase(WorkPhase::Idle);
        return link_.stop_requested() ? ConnectOutcome::Stopped : ConnectOutcome::Failed;
    }
    results_.baud = *baud;

    // 4.
    for (int i = 0; i < 5; ++i)
        send_sync_command();

    // 5.
    if (read_only) {
        work_.set_phase(WorkPhase::Idle);
        results_.connected = true;
        return ConnectOutcome::Connected;
    }

    // 6.
    if (link_.stop_requested()) {
        stop_line();
        return ConnectOutcome::Stopped;
    }

    // 7.
    if (!results_.chip_id_known) {
        for (int i = 0; i < 4; ++i) {
            read_status(false);
            if (link_.reply_received() || link_.stop_requested())
                break;
        }
        if (link_.stop_requested()) {
            stop_line();
            return ConnectOutcome::Stopped;
        }
        if (!results_.status_read_ok) {
            link_.beep_times(3);
            stop_run_.stop_download();
            log_.append(LogText::handshake_failed() + MessageLog::time_of_day() +
                        QStringLiteral(")"));
            return ConnectOutcome::Failed;
        }
    }

    // 8.
    report_clock();
    log_.append(QStringLiteral("Now baud is: / 当前波特率为: ") + QString::number(*baud) + QStringLiteral(" bps."));
    link_.compute_byte_gap(QString::number(*baud) + QStringLiteral(",n,8,1"));

    // 9. / 10.
    if (model_is_wrong(status_, results_, model_)) {
        link_.beep_times(3);
        log_.append(LogText::wrong_model());
        log_.append(wrong_model_detail(status_, results_, model_));
        work_.set_phase(WorkPhase::Idle);
        image_.file_loaded = false;
        dialogs_.message_box(wrong_model_box_text());
        return ConnectOutcome::WrongModel;
    }

    // 11.
    work_.set_phase(WorkPhase::Connected);
    results_.connected = true;
    return ConnectOutcome::Connected;
}

void Connection::test_option()
{
    work_.set_phase(WorkPhase::Manual);
    link_.clear_stop();

    if (!results_.connected) {
        log_.clear();
        connect_to_mcu(true);
    }
    if (results_.connected) {
        report_clock();
        if (results_.status_read_ok) {
            stop_run_.run_user_program();
            if (!status_.firmware_variant.endsWith(QLatin1Char('B')))
                log_.append(LogText::chip_lock_read_ok());
            else
                log_.append(LogText::firmware_read_ok());
        } else {
            log_.append(QStringLiteral("Failed to read Chip Lock. / 读加密位、双倍速失败."));
        }
    }
    stop_run_.stop_download();
    link_.release_port();
}
