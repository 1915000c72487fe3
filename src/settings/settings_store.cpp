#include "settings/settings_store.h"

#include "base/number_text.h"
#include "settings/combo_lists.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cmath>

const QString SettingsStore::kApplication = QStringLiteral("ZVK_ISP");
const QString SettingsStore::kSettings = QStringLiteral("Settings");
const QString SettingsStore::kAutoIncrease = QStringLiteral("Auto_Increase");
const QString SettingsStore::kDoubleSpeedKey = QStringLiteral("安全锁");
const QString SettingsStore::kLink = QStringLiteral("Link");
const QString SettingsStore::kStore = QStringLiteral("Store");

namespace {

QSettings open_store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, SettingsStore::kApplication,
                     SettingsStore::kApplication);
}

// A list index stored as text: usable when it is a whole number the list has.
bool list_index(const QString& text, int count, int& out)
{
    const auto v = NumberText::integer_value(text);
    if (!v || *v < 0 || *v >= count)
        return false;
    out = static_cast<int>(*v);
    return true;
}

bool single_value(const QString& text, double& out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 3.4e38)
        return false;
    out = v;
    return true;
}

QString single_text(double v)
{
    return NumberText::decimal_text(v);
}

} // namespace

SettingsStore::SettingsStore(QObject* parent) : QObject(parent)
{
    connect(&Timer3, &OneShotTimer::tick, this, &SettingsStore::save_pending_settings);
}

quint32 SettingsStore::loops_per_ms() const
{
    bool ok = false;
    const uint v = value(kLink, QStringLiteral("LoopsPerMs"), QString()).toUInt(&ok);
    return ok ? quint32(v) : 0;
}

void SettingsStore::set_loops_per_ms(quint32 loops)
{
    set_value(kLink, QStringLiteral("LoopsPerMs"), QString::number(loops));
}

QString SettingsStore::store_url() const
{
    return value(kStore, QStringLiteral("Url"), QString()).trimmed();
}

void SettingsStore::set_store_url(const QString& url)
{
    set_value(kStore, QStringLiteral("Url"), url.trimmed());
}

QString SettingsStore::value(const QString& section, const QString& key, const QString& fallback) const
{
    QVariant v;
    if (memory_) {
        const auto it = memory_->constFind(section + QLatin1Char('/') + key);
        if (it == memory_->cend())
            return fallback;
        v = *it;
    } else {
        QSettings s = open_store();
        s.beginGroup(section);
        if (!s.contains(key))
            return fallback;
        v = s.value(key);
    }
    // A hand-edited value with commas comes back as a list; take the text as written.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void SettingsStore::set_value(const QString& section, const QString& key, const QString& value)
{
    if (memory_) {
        memory_->insert(section + QLatin1Char('/') + key, value);
        return;
    }
    QSettings s = open_store();
    s.beginGroup(section);
    s.setValue(key, value);
    s.endGroup();
    s.sync();
}

QString SettingsStore::program_folder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QString();
}

QString SettingsStore::file_path() const
{
    return value(kSettings, QStringLiteral("FilePath"), program_folder());
}

void SettingsStore::set_file_path(const QString& path)
{
    set_value(kSettings, QStringLiteral("FilePath"), path);
}

void SettingsStore::load_geometry(StoredSettings& s) const
{
    double v = 0;
    if (single_value(value(kSettings, QStringLiteral("MainLeft"), QStringLiteral("0")), v))
        s.main_left = v;
    if (single_value(value(kSettings, QStringLiteral("MainTop"), QStringLiteral("0")), v))
        s.main_top = v;
    if (single_value(value(kSettings, QStringLiteral("MainWidth"), QStringLiteral("12000")), v))
        s.main_width = v;
    if (single_value(value(kSettings, QStringLiteral("MainHeight"), QStringLiteral("9045")), v))
        s.main_height = v;
}

void SettingsStore::save_window_position(const StoredSettings& s, bool normal_state)
{
    if (!normal_state)
        return;
    set_value(kSettings, QStringLiteral("MainLeft"), single_text(s.main_left));
    set_value(kSettings, QStringLiteral("MainTop"), single_text(s.main_top));
    set_value(kSettings, QStringLiteral("MainWidth"), single_text(s.main_width));
    set_value(kSettings, QStringLiteral("MainHeight"), single_text(s.main_height));
}

void SettingsStore::load_settings(StoredSettings& s) const
{
    // 1. Model.
    list_index(value(kSettings, QStringLiteral("DeviceProducts"), QStringLiteral("0")), ComboLists::model_count(),
               s.model_index);

    // 2. Double speed: bit 2 selects "YES", then bit 1 selects "NO"; nothing is deselected.
    {
        const double v = NumberText::leading_number(value(kSettings, kDoubleSpeedKey, QStringLiteral("2")));
        if (v > 3)
            s.double_speed_yes = true;
        if (std::fabs(v) < 2147483647.0) {
            const qint64 bits = NumberText::round_half_even(v) & 3;
            if (bits > 1)
                s.double_speed_yes = false;
        }
    }

    // 3. Folder of the file dialog.
    s.file_path = file_path();

    // 4. Fill byte: anything but exactly "00" selects "FF".
    s.fill_ff = value(kSettings, QStringLiteral("fillbyte"), QStringLiteral("00")) != QLatin1String("00");

    // 5. COM port, leading-number parsing; no selection falls back to COM1.
    {
        const double v = NumberText::leading_number(value(kSettings, QStringLiteral("COM_port"), QStringLiteral("0")));
        if (std::fabs(v) < 2147483647.0) {
            const qint64 i = NumberText::round_half_even(v);
            if (i >= -1 && i < ComboLists::com_ports().size())
                s.com_index = static_cast<int>(i);
        }
        if (s.com_index < 0)
            s.com_index = 0;
    }

    // 6. Beep, exact and case-sensitive.
    s.beep_yes = value(kSettings, QStringLiteral("BeepYesNo"), QStringLiteral("True")) == QLatin1String("True");

    // 7. Repeat-download delay.
    list_index(value(kSettings, QStringLiteral("Dalay_ReDownLoad"), QStringLiteral("4")),
               ComboLists::redownload_delay().size(), s.delay_index);
}

void SettingsStore::save_settings(const StoredSettings& s)
{
    set_value(kSettings, QStringLiteral("DeviceProducts"), QString::number(s.model_index));
    set_value(kSettings, kDoubleSpeedKey, double_speed_code(s.double_speed_yes));
    set_value(kSettings, QStringLiteral("fillbyte"), s.fill_ff ? QStringLiteral("FF") : QStringLiteral("00"));
    set_value(kSettings, QStringLiteral("COM_port"), QString::number(s.com_index));
    if (show_memory_ranges)
        show_memory_ranges();
    save_user_code_settings(s);
    save_demo_settings(s);
    set_value(kSettings, QStringLiteral("BeepYesNo"), s.beep_yes ? QStringLiteral("True") : QStringLiteral("False"));
    set_value(kSettings, QStringLiteral("Dalay_ReDownLoad"), QString::number(s.delay_index));
}

namespace {
const char* const kUserCodeKeys[4] = {"UserCodeBaud", "UserCodeParity", "UserCodeDataBits", "UserCodeStopBits"};
const char* const kDemoKeys[8] = {"ISP_DEMO_DownLoad_Baud",   "ISP_DEMO_DownLoad_Parity",
                                  "ISP_DEMO_DownLoad_DataBits", "ISP_DEMO_DownLoad_StopBits",
                                  "ISP_DEMO_UserCodeBaud",    "ISP_DEMO_UserCodeParity",
                                  "ISP_DEMO_UserCodeDataBits", "ISP_DEMO_UserCodeStopBits"};
const int kUserCodeDefaults[4] = {2, 2, 0, 0};
const int kDemoDefaults[8] = {2, 0, 0, 0, 2, 0, 0, 0};

int format_list_size(int position, bool demo)
{
    switch (position % 4) {
    case 0: return demo ? ComboLists::demo_baud().size() : ComboLists::user_code_baud().size();
    case 1: return ComboLists::parity().size();
    case 2: return ComboLists::data_bits().size();
    default: return ComboLists::stop_bits().size();
    }
}
} // namespace

void SettingsStore::load_user_code_settings(StoredSettings& s) const
{
    for (int i = 0; i < 4; ++i)
        list_index(value(kSettings, QString::fromLatin1(kUserCodeKeys[i]), QString::number(kUserCodeDefaults[i])),
                   format_list_size(i, false), s.user_code[i]);
}

void SettingsStore::save_user_code_settings(const StoredSettings& s)
{
    for (int i = 0; i < 4; ++i)
        set_value(kSettings, QString::fromLatin1(kUserCodeKeys[i]), QString::number(s.user_code[i]));
}

void SettingsStore::load_demo_settings(StoredSettings& s) const
{
    for (int i = 0; i < 8; ++i)
        list_index(value(kSettings, QString::fromLatin1(kDemoKeys[i]), QString::number(kDemoDefaults[i])),
                   format_list_size(i, true), s.demo[i]);
}

void SettingsStore::save_demo_settings(const StoredSettings& s)
{
    for (int i = 0; i < 8; ++i)
        set_value(kSettings, QString::fromLatin1(kDemoKeys[i]), QString::number(s.demo[i]));
}

void SettingsStore::request_settings_save()
{
    Timer3.set_enabled(true);
}

void SettingsStore::save_pending_settings()
{
    Timer3.set_enabled(false);
    if (collect)
        save_settings(collect());
    emit saved();
}
