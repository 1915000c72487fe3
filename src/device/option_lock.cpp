#include "device/option_lock.h"

#include "device/work_state.h"
#include "device/mcu_status.h"
#include "device/option_choices.h"
#include "device/stop_run.h"
#include "device/connection.h"
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

namespace {
constexpr int kAttempts = 3;
}

OptionWriter::OptionWriter(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results,
                           const SelectedModel& model, const OptionChoices& options, WorkState& work,
                           StopRun& stop_run, Connection& connection)
    : link_(link), log_(log), status_(status), results_(results), model_(model), options_(options),
      work_(work), stop_run_(stop_run), connection_(connection)
{
}

quint8 OptionWriter::lock_byte(bool double_speed)
{
    return double_speed ? 0x48 : 0x40;
}

quint8 OptionWriter::current_option_byte(quint8 option_byte)
{
    quint8 current = 0xFF;
    for (int bit : {0, 2, 3, 4, 6, 7})
        if (!(option_byte & (1u << bit)))
            current &= quint8(~(1u << bit));
    return current;
}

bool OptionWriter::options_already_set(quint8 option_byte, quint8 desired)
{
    return !(option_byte & 0x02) && current_option_byte(option_byte) == desired;
}

QByteArray OptionWriter::family0_frame(quint8 v)
{
    return Frames::command_frame(Frames::SetOptions, QByteArray(1, char(v)));
}

QByteArray OptionWriter::family2_frame(quint8 o, quint8 reload_hi, quint8 reload_lo)
{
    QByteArray data;
    data.append(char(o));
    data.append(char(reload_hi));
    data.append(char(reload_lo));
    return Frames::command_frame(Frames::SetOptions, data);
}

bool OptionWriter::write_options()
{
    results_.status_read_ok = false;
    work_.set_phase(WorkPhase::Manual);

    if (model_.model_family == 0) {
        const quint8 v = lock_byte(options_.double_speed_yes());
        link_.flush_receive();
        link_.reopen_port();
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            link_.set_reply_armed(true);
            link_.delay_ms(50);
            if (link_.prefix_mode()) {
                link_.send_byte(Frames::kPrefix0, 0);
                link_.send_byte(Frames::kPrefix1, 0);
            }
            link_.set_tx_checksum(0);
            for (quint8 b : {Frames::kCommandStart, quint8(0x00), quint8(0x07), quint8(Frames::SetOptions), v})
                link_.send_byte(b, 1);
            link_.send_checksum();
            link_.send_byte(Frames::kEnd);
            link_.Timer7.restart(50);
            link_.wait_on(link_.Timer7, [this] { return link_.reply_received(); });
            if (link_.reply_received())
                break;
        }
        if (!link_.reply_received()) {
            log_.append(LogText::options_error());
            return false;
        }
        connection_.read_status(false);
        const QString message = options_.double_speed_yes() ? QStringLiteral("Lock Chip, set 6 Clock OK/设置加密位,双倍速成功")
                                                            : QStringLiteral("Lock Chip OK/设置加密位成功");
        results_.status_read_ok = true;
        log_.append(message + QStringLiteral(" (End: ") + MessageLog::time_of_day() + QStringLiteral(")"));
        return link_.reply_received();   // the status read's answer
    }

    if (model_.model_family != 2)
        return false;

    quint8 o = options_.desired_option_byte();
    if (options_already_set(status_.option_byte, o)) {
        results_.status_read_ok = true;
        stop_run_.run_user_program();
        return true;
    }
    o &= quint8(~0x02);
    const bool double_speed = options_.double_speed_yes();
    const quint8 r_hi = double_speed ? results_.alt_reload_hi : results_.baud_reload_hi;
    const quint8 r_lo = double_speed ? results_.alt_reload_lo : results_.baud_reload_lo;
    link_.flush_receive();
    link_.reopen_port();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        link_.set_reply_armed(true);
        link_.delay_ms(50);
        if (link_.prefix_mode()) {
            link_.send_byte(Frames::kPrefix0, 1);
            link_.send_byte(Frames::kPrefix1, 1);
        }
        link_.set_tx_checksum(0);
        for (quint8 b : {Frames::kCommandStart, quint8(0x00), quint8(0x09), quint8(Frames::SetOptions), o, r_hi, r_lo})
            link_.send_byte(b, 1);
        link_.send_checksum();
        link_.send_byte(Frames::kEnd);
        link_.Timer7.restart(500);
        link_.wait_on(link_.Timer7, [this] { return link_.reply_received(); });
        if (link_.reply_received())
            break;
    }
    if (!link_.reply_received()) {
        log_.append(LogText::options_error());
        return false;
    }
    connection_.read_status(false);
    if (status_.version_tenths() < 28) {
        QString message;
        if (double_speed)
            message = QStringLiteral("Set 6 Clock OK/设置双倍速 OK") + QStringLiteral("\r\n");
        if (options_.half_gain())
            message += QStringLiteral("Set OSC Control OK") + QStringLiteral("\r\n");
        results_.status_read_ok = true;
        if (!message.isEmpty())
            log_.append(message + QStringLiteral(" (End: ") + MessageLog::time_of_day() + QStringLiteral(")"));
        return link_.reply_received();
    }
    if (link_.rx_frame()[13] != o) {
        log_.append(QStringLiteral("Config option are error! / 设置选项失败!"));
        return false;
    }
    log_.append(QStringLiteral("Config option OK. / 设置选项成功。"));
    return link_.reply_received();
}
