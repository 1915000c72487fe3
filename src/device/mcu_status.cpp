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

const QString kDoubleSpeedNo = QStringLiteral("Double speed (6 clock) / 双倍速:       No");
const QString kDoubleSpeedYes = QStringLiteral("Double speed (6 clock) / 双倍速:       Yes");
const QString kOscFull = QStringLiteral("OSCDN (OSC Control) / 振荡器控制:   full gain");
const QString kOscHalf = QStringLiteral("OSCDN (OSC Control) / 振荡器控制:   1/2 gain");
const QString kP10No = QStringLiteral("下载时 P1.0, P1.1 须短路到地:          No");
const QString kP10Yes = QStringLiteral("下载时 P1.0, P1.1 须短路到地:          Yes");
const QString kEraseNo = QStringLiteral("擦除 AP 区时一并擦除 data flash 区:    No");
const QString kEraseYes = QStringLiteral("擦除 AP 区时一并擦除 data flash 区:    Yes");
const QString kAuxForbidden = QStringLiteral("禁止访问内部扩展RAM(MCU 新版本C版有效)");
const QString kAuxAllowed = QStringLiteral("允许访问内部扩展RAM(MCU 新版本C版有效)");

} // namespace

double McuStatus::version_value() const
{
    return leading_number(firmware_version);
}

int McuStatus::version_tenths() const
{
    return int(std::floor(version_value() * 10 + 0.5));
}

void StatusPanel::hide_status_panel_rows()
{
    for (int i = 1; i <= 8; ++i) {
        LabLock[i].visible = false;
        LabLock[i].enabled = false;
    }
    emit changed();
}

StatusReport::StatusReport(McuStatus& status, StatusPanel& panel, MessageLog& log, IspLink& link,
                           const SelectedModel& model)
    : status_(status), panel_(panel), log_(log), link_(link), model_(model)
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
        if (option & 0x01) {
            log_.append(indent + kDoubleSpeedNo);
        } else {
            log_.append(indent + kDoubleSpeedYes);
            status_.double_speed = true;
        }
        log_.append(indent + ((option & 0x10) ? kOscFull : kOscHalf));
        if (status_.version_tenths() >= 28) {
            log_.append(indent + ((option & 0x04) ? kP10No : kP10Yes));
            log_.append(indent + ((option & 0x08) ? kEraseNo : kEraseYes));
            log_.append(indent + ((option & 0x40) ? kAuxAllowed : kAuxForbidden));
            log_.append((option & 0x80)
                            ? QStringLiteral("  用户软件启动看门狗后,复位关看门狗(单片机新版C版有效)")
                            : QStringLiteral("  用户软件启动看门狗后,只有停电关看门狗(MCU新版C版有效)"));
        }
    }
}

void StatusReport::show_status_panel(quint8, quint8, quint8 option, int)
{
    auto& rows = panel_.LabLock;
    for (int i = 1; i <= 8; ++i) {
        rows[i].visible = false;
        rows[i].enabled = false;
    }
    rows[0].caption = QStringLiteral("Only test MCU Option and Firmware Version.");
    rows[0].left = 800;
    rows[0].enabled = true;
    rows[0].visible = true;

    auto show = [&rows](int n) {
        rows[n].left = rows[0].left;
        rows[n].enabled = true;
        rows[n].visible = true;
    };
    const QString& v = status_.firmware_variant;
    const bool is_a = v == QLatin1String("A");
    const bool is_b = v == QLatin1String("B");
    const bool is_c = v == QLatin1String("C");
    if (is_a || is_b || is_c) {
        rows[1].top = is_c ? 600 : 800;
        rows[1].width = is_c ? 4900 : 5000;
        if (!status_.mcu_type_name.isEmpty()) {
            rows[1].caption = QStringLiteral("MCU Type is:") + QString(22, QLatin1Char(' ')) + status_.mcu_type_name;
            show(1);
        }
        rows[2].top = rows[1].top + 230;
        rows[2].width = 4000;
        if (!status_.firmware_version.isEmpty()) {
            rows[2].caption = QStringLiteral("MCU Firmware Version / MCU 固件版本号: ") + status_.firmware_version +
                              status_.firmware_variant;
            show(2);
        }
    }
    if (is_a || is_b) {
        rows[3].top = 1500;
        rows[3].width = 5000;
        if (is_a)
            rows[3].caption = (option & 0x01) ? kDoubleSpeedNo : kDoubleSpeedYes;
        else
            rows[3].caption = QStringLiteral("Double speed (6 clock) / 双倍速:     Unknown");
        show(3);
    } else if (is_c) {
        for (int n = 3; n <= 8; ++n) {
            rows[n].top = 1200 + (n - 3) * 230;
            rows[n].width = 4900;
        }
        rows[3].caption = (option & 0x01) ? kDoubleSpeedNo : kDoubleSpeedYes;
        rows[4].caption = (option & 0x10) ? kOscFull : kOscHalf;
        rows[5].caption = (option & 0x04) ? kP10No : kP10Yes;
        rows[6].caption = (option & 0x08) ? kEraseNo : kEraseYes;
        rows[7].caption = (option & 0x40) ? kAuxAllowed : kAuxForbidden;
        rows[8].caption = (option & 0x80) ? QStringLiteral("用户软件启动看门狗后, 复位关看门狗(MCU 新版C版有效)")
                                          : QStringLiteral("用户软件启动看门狗后,只有停电关看门狗(MCUC新版C版有效)");
        for (int n = 3; n <= 8; ++n)
            show(n);
    }
    emit panel_.changed();
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
