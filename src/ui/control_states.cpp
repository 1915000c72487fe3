#include "ui/control_states.h"

#include "ui/option_panel.h"

#include <QStringList>

namespace {
QStringList indexed(const QString& name, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QStringLiteral("%1(%2)").arg(name).arg(i);
    return out;
}
} // namespace

ControlStates::ControlStates(WorkState& work, OptionPanel& options, QObject* parent)
    : QObject(parent), work_(work), options_(options)
{
    for (const QString& c : action_buttons())
        enabled.insert(c, true);
    for (const QString& c : input_controls())
        enabled.insert(c, true);
    connect(&work, &WorkState::phase_changed, this, &ControlStates::apply_phase);
    connect(&work, &WorkState::options_lock_changed, this, [this](bool locked) {
        if (locked)
            disable_option_controls();
        else
            enable_option_controls();
    });
    connect(&work, &WorkState::soft_ice_offered, this,
            [this](bool on) { set_enabled(QStringLiteral("comDownSoft_ICE"), on); });
    connect(&work, &WorkState::wdt_pin_list_offered, this, [this](bool on) { set_enabled(QStringLiteral("comb_WDT"), on); });
    connect(&work, &WorkState::changed, this, &ControlStates::changed);
}

const QStringList& ControlStates::action_buttons()
{
    static const QStringList names = QStringList{}
        << QStringLiteral("comDownload(0)") << QStringLiteral("comDownload(1)")
        << QStringLiteral("comStop_Download") << QStringLiteral("comSendUserCode")
        << QStringLiteral("comWrite") << QStringLiteral("comLock") << QStringLiteral("comRun")
        << QStringLiteral("comReadChipLock") << QStringLiteral("com_Demo_DownLoad")
        << QStringLiteral("com_Demo_Re_DownLoad") << QStringLiteral("com_Demo_Stop");
    return names;
}

const QStringList& ControlStates::input_controls()
{
    static const QStringList names = QStringList{}
        << QStringLiteral("combMcuModel") << QStringLiteral("comLoadFile") << indexed(QStringLiteral("optFillbyte"), 2)
        << QStringLiteral("combCommPort") << QStringLiteral("comDownSoft_ICE")
        << indexed(QStringLiteral("texAuto_Increase"), 4) << indexed(QStringLiteral("optAuto_Increase"), 3)
        << QStringLiteral("cheAuto_Increase") << indexed(QStringLiteral("optShot_P10_P11_to_GND"), 2)
        << indexed(QStringLiteral("opt_erase_data"), 2) << indexed(QStringLiteral("opt_ISP_DEMO_WDT"), 2)
        << QStringLiteral("comb_WDT") << QStringLiteral("optAUX_RAM_NO") << QStringLiteral("optAUX_RAM_YES")
        << QStringLiteral("optRST_CLOSE_WDT_NO") << QStringLiteral("optRST_CLOSE_WDT_YES")
        << QStringLiteral("cob_PowerCycle");
    return names;
}

void ControlStates::set_enabled(const QString& control, bool on)
{
    enabled.insert(control, on);
    emit changed();
}

void ControlStates::apply_phase(WorkPhase phase)
{
    auto set = [this](const char* name, bool on) { enabled.insert(QString::fromLatin1(name), on); };
    switch (phase) {
    case WorkPhase::Busy:
        set("comDownload(0)", false);
        set("comDownload(1)", false);
        set("comSendUserCode", false);
        set("comStop_Download", true);
        set("com_Demo_DownLoad", false);
        set("com_Demo_Re_DownLoad", false);
        set("com_Demo_Stop", true);
        set("comWrite", false);
        set("comLock", false);
        set("comRun", false);
        set("comReadChipLock", false);
        break;
    case WorkPhase::Idle:
        enable_option_controls();
        set("comDownload(0)", true);
        set("comDownload(1)", true);
        set("comSendUserCode", true);
        set("comStop_Download", false);
        set("com_Demo_DownLoad", true);
        set("com_Demo_Re_DownLoad", true);
        set("com_Demo_Stop", false);
        set("comWrite", false);
        set("comLock", false);
        set("comRun", false);
        set("comReadChipLock", true);
        break;
    case WorkPhase::Programming:
    case WorkPhase::Manual:
        disable_option_controls();
        set_working(true);
        break;
    case WorkPhase::Connected:
        set_working(false);
        break;
    case WorkPhase::Start:
        return;
    }
    emit changed();
}

// On the MCU: Stop and the manual steps usable, the downloads not; Re-Download left as it was.
void ControlStates::set_working(bool run_usable)
{
    for (const char* c : {"comDownload(0)", "comSendUserCode", "com_Demo_DownLoad", "com_Demo_Re_DownLoad"})
        enabled.insert(QString::fromLatin1(c), false);
    for (const char* c : {"comStop_Download", "com_Demo_Stop", "comWrite", "comLock"})
        enabled.insert(QString::fromLatin1(c), true);
    enabled.insert(QStringLiteral("comRun"), run_usable);
}

void ControlStates::enable_option_controls()
{
    for (const char* c : {"combMcuModel", "comLoadFile", "optFillbyte(0)", "optFillbyte(1)", "combCommPort"})
        enabled.insert(QString::fromLatin1(c), true);
    if (work_.softice_page_offered())
        enabled.insert(QStringLiteral("comDownSoft_ICE"), true);
    enabled.insert(QStringLiteral("comReadChipLock"), true);
    options_.set_buttons_enabled(true);
    for (const char* c : {"cheAuto_Increase", "optShot_P10_P11_to_GND(0)", "optShot_P10_P11_to_GND(1)",
                          "opt_erase_data(0)", "opt_erase_data(1)", "opt_ISP_DEMO_WDT(0)", "opt_ISP_DEMO_WDT(1)",
                          "comb_WDT", "optAUX_RAM_NO", "optAUX_RAM_YES", "optRST_CLOSE_WDT_NO",
                          "optRST_CLOSE_WDT_YES", "cob_PowerCycle"})
        enabled.insert(QString::fromLatin1(c), true);
    if (!work_.wdt_pin_option_selected())
        enabled.insert(QStringLiteral("comb_WDT"), false);
    emit options_.changed();
    emit changed();
}

void ControlStates::disable_option_controls()
{
    for (const QString& c : input_controls())
        enabled.insert(c, false);
    enabled.insert(QStringLiteral("comReadChipLock"), false);
    options_.set_buttons_enabled(false);
    emit options_.changed();
    emit changed();
}

void ControlStates::disable_action_buttons()
{
    for (const char* c : {"comDownload(0)", "comSendUserCode", "comStop_Download", "comWrite", "comLock", "comRun"})
        enabled.insert(QString::fromLatin1(c), false);
    emit changed();
}
