#include "device/mcu_status.h"

#include "isp/frames.h"
#include "isp/isp_link.h"
#include "base/message_log.h"
#include "models/model_catalogue.h"

#include <cmath>

namespace {

// The numeric value of a text as a leading decimal number ("2.8" -> 2.8, "3.A" -> 3, "" -> 0).
double leading_number(const QString& text)
{
    const QString t = text.trimmed();
    int end = 0;
    bool seen_point = false;
    if (end < t.size() && (t[end] == QLatin1Char('+') || t[end] == QLatin1Char('-')))
        ++end;
    while (end < t.size()) {
        const QChar c = t[end];
        if (c.isDigit() && c.unicode() < 128) {
            ++end;
        } else if (c == QLatin1Char('.') && !seen_point) {
            seen_point = true;
            ++end;
        } else {
            break;
        }
    }
    bool ok = false;
    const double v = t.left(end).toDouble(&ok);
    return ok ? v : 0.0;
}

QString by_bit(quint8 option, quint8 bit, const char* set, const char* clear)
{
    return QString::fromUtf8((option & bit) ? set : clear);
}
} // namespace

// clang-format off
QString option_text::double_speed(quint8 o) { return by_bit(o, 0x01, "Double speed (6 clock) / 双倍速:       No", "Double speed (6 clock) / 双倍速:       Yes"); }
QString option_text::oscillator(quint8 o) { return by_bit(o, 0x10, "OSCDN (OSC Control) / 振荡器控制:   full gain", "OSCDN (OSC Control) / 振荡器控制:   1/2 gain"); }
QString option_text::p10_p11(quint8 o) { return by_bit(o, 0x04, "下载时 P1.0, P1.1 须短路到地:          No", "下载时 P1.0, P1.1 须短路到地:          Yes"); }
QString option_text::erase_data(quint8 o) { return by_bit(o, 0x08, "擦除 AP 区时一并擦除 data flash 区:    No", "擦除 AP 区时一并擦除 data flash 区:    Yes"); }
QString option_text::aux_ram(quint8 o) { return by_bit(o, 0x40, "允许访问内部扩展RAM(MCU 新版本C版有效)", "禁止访问内部扩展RAM(MCU 新版本C版有效)"); }
// clang-format on

double McuStatus::version_value() const
{
    return leading_number(firmware_version);
}

int McuStatus::version_tenths() const
{
    return int(std::floor(version_value() * 10 + 0.5));
}

StatusReport::StatusReport(McuStatus& status, MessageLog& log, IspLink& link, const SelectedModel& model)
    : status_(status), log_(log), link_(link), model_(model)
{
}

void StatusReport::show_mcu_status(quint8 version, quint8 variant_code, quint8 option)
{
    const QString hex = QStringLiteral("%1").arg(version, 2, 16, QLatin1Char('0')).toUpper();
    QString text = hex.left(1) + QLatin1Char('.') + hex.mid(1, 1);
    if (text == QLatin1String("0.0"))
        text.clear();
    status_.firmware_version = text;
    status_.double_speed = false;

    if (model_.model_family != 0 && !status_.extended_status) {
        status_.block_protect = false;
        link_.clear_prefix_mode_flags();
    }
    if (!status_.mcu_type_name.isEmpty())
        log_.append(QStringLiteral("MCU Type is: ") + status_.mcu_type_name);

    status_.firmware_variant = QString(QChar(ushort(variant_code)));
    log_.append(QStringLiteral("MCU Firmware Version: ") + status_.firmware_version + status_.firmware_variant);
    log_.append(QStringLiteral("Chinese:MCU 固件版本号: ") + status_.firmware_version + status_.firmware_variant);

    const QString& v = status_.firmware_variant;
    if (v == QLatin1String("A")) {
        if (option & 0x08) {
            log_.append(QStringLiteral("Double speed: Yes"));
            status_.double_speed = true;
        } else {
            log_.append(QStringLiteral("Double speed: No"));
        }
    } else if (v == QLatin1String("B")) {
        log_.append(QStringLiteral("Double speed: Unknown"));
    } else if (v == QLatin1String("C")) {
        const QString indent = QStringLiteral("  ");
        log_.append(indent + option_text::double_speed(option));
        if (!(option & 0x01))
            status_.double_speed = true;
        log_.append(indent + option_text::oscillator(option));
        if (status_.version_tenths() >= 28) {
            log_.append(indent + option_text::p10_p11(option));
            log_.append(indent + option_text::erase_data(option));
            log_.append(indent + option_text::aux_ram(option));
            log_.append((option & 0x80)
                            ? QStringLiteral("  用户软件启动看门狗后,复位关看门狗(单片机新版C版有效)")
                            : QStringLiteral("  用户软件启动看门狗后,只有停电关看门狗(MCU新版C版有效)"));
        }
    }
}

void StatusReport::show_status_panel(quint8, quint8, quint8 option, int)
{
    emit status_shown(option);
}

// Asks the MCU for its status (up to three attempts); true when it answered, its status shown.
bool StatusReport::query_status(bool slow)
{
    link_.reopen_port();
    link_.flush_receive();
    link_.clear_reply();
    const int gap = slow ? 1 : 0;
    bool replied = false;
    for (int attempt = 0; attempt < 3 && !replied; ++attempt) {
        if (attempt > 0) {
            link_.clear_queues();
            link_.delay_ms(50);
        }
        link_.set_reply_armed(true);
        link_.delay_ms(50);
        if (link_.prefix_mode()) {
            link_.send_byte(Frames::kPrefix0);
            link_.send_byte(Frames::kPrefix1);
        }
        link_.set_tx_checksum(0);
        link_.send_byte(Frames::kCommandStart, gap);
        link_.send_byte(0x00, gap);
        link_.send_byte(0x06, gap);
        link_.send_byte(Frames::ReadStatus, gap);
        link_.send_checksum();
        link_.send_byte(Frames::kEnd);
        replied = link_.wait_reply(900);
        if (link_.stop_requested())
            break;
    }
    if (replied) {
        const auto& f = link_.rx_frame();
        show_mcu_status(f[11], f[12], f[13]);
        show_status_panel(f[11], f[12], f[13], 0);
    }
    return replied;
}
