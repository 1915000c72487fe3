#include "ui/status_panel.h"

#include "device/mcu_status.h"

StatusPanel::StatusPanel(const McuStatus& status, StatusReport& report, QObject* parent)
    : QObject(parent), status_(status)
{
    connect(&report, &StatusReport::status_shown, this, &StatusPanel::show_status_panel);
    connect(&report, &StatusReport::status_rows_hidden, this, &StatusPanel::hide_status_panel_rows);
}

void StatusPanel::hide_status_panel_rows()
{
    for (int i = 1; i <= 8; ++i) {
        LabLock[i].visible = false;
        LabLock[i].enabled = false;
    }
    emit changed();
}

void StatusPanel::show_status_panel(quint8 option)
{
    auto& rows = LabLock;
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
            rows[3].caption = option_text::double_speed(option);
        else
            rows[3].caption = QStringLiteral("Double speed (6 clock) / 双倍速:     Unknown");
        show(3);
    } else if (is_c) {
        for (int n = 3; n <= 8; ++n) {
            rows[n].top = 1200 + (n - 3) * 230;
            rows[n].width = 4900;
        }
        rows[3].caption = option_text::double_speed(option);
        rows[4].caption = option_text::oscillator(option);
        rows[5].caption = option_text::p10_p11(option);
        rows[6].caption = option_text::erase_data(option);
        rows[7].caption = option_text::aux_ram(option);
        rows[8].caption = (option & 0x80) ? QStringLiteral("用户软件启动看门狗后, 复位关看门狗(MCU 新版C版有效)")
                                          : QStringLiteral("用户软件启动看门狗后,只有停电关看门狗(MCUC新版C版有效)");
        for (int n = 3; n <= 8; ++n)
            show(n);
    }
    emit changed();
}
