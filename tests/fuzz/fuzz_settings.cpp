// libFuzzer target: the settings store reading arbitrary stored values, kept in memory. The input
// is split at newlines into one value per key (in a fixed key order); the first byte chooses
// whether the values are stored through the store itself or come back as a hand-edited file
// gives them (a text with commas as a list), and whether the save-and-load round trip is checked.
// Every load must give usable control values (list indexes inside their lists, finite geometry),
// and saving what was loaded and loading it again must give the same values.

#include "settings/combo_lists.h"
#include "settings/settings_store.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kKeys[] = {
    "MainLeft", "MainTop", "MainWidth", "MainHeight", "DeviceProducts", "安全锁", "FilePath", "fillbyte",
    "COM_port", "BeepYesNo", "Dalay_ReDownLoad", "UserCodeBaud", "UserCodeParity", "UserCodeDataBits",
    "UserCodeStopBits", "ISP_DEMO_DownLoad_Baud", "ISP_DEMO_DownLoad_Parity", "ISP_DEMO_DownLoad_DataBits",
    "ISP_DEMO_DownLoad_StopBits", "ISP_DEMO_UserCodeBaud", "ISP_DEMO_UserCodeParity",
    "ISP_DEMO_UserCodeDataBits", "ISP_DEMO_UserCodeStopBits"};

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_settings: %s\n", what);
        std::abort();
    }
}

void check_usable(const StoredSettings& s)
{
    for (double v : {s.main_left, s.main_top, s.main_width, s.main_height})
        check(std::isfinite(v) && std::fabs(v) <= 3.4e38, "geometry not a usable number");
    check(s.model_index >= 0 && s.model_index < ComboLists::model_count(), "model index outside the list");
    check(s.com_index >= 0 && s.com_index < ComboLists::com_ports().size(), "COM index outside the list");
    check(s.delay_index >= 0 && s.delay_index < ComboLists::redownload_delay().size(), "delay index outside the list");
    const int sizes[4] = {int(ComboLists::user_code_baud().size()), int(ComboLists::parity().size()),
                          int(ComboLists::data_bits().size()), int(ComboLists::stop_bits().size())};
    for (int i = 0; i < 4; ++i)
        check(s.user_code[size_t(i)] >= 0 && s.user_code[size_t(i)] < sizes[i], "user-code format outside its list");
    for (int i = 0; i < 8; ++i) {
        const int size = i % 4 == 0 ? int(ComboLists::demo_baud().size()) : sizes[i % 4];
        check(s.demo[size_t(i)] >= 0 && s.demo[size_t(i)] < size, "demo format outside its list");
    }
}

StoredSettings load_all(const SettingsStore& store)
{
    StoredSettings s;
    store.load_geometry(s);
    store.load_settings(s);
    store.load_user_code_settings(s);
    store.load_demo_settings(s);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz_settings";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    if (size < 1)
        return 0;

    const QList<QByteArray> values = QByteArray(reinterpret_cast<const char*>(data + 1), int(size - 1)).split('\n');
    const int keys = int(sizeof kKeys / sizeof kKeys[0]);
    SettingsStore store;
    store.keep_in_memory({});
    if (data[0] & 1) {
        // A hand-edited file: a value with commas reads back as a list.
        QMap<QString, QVariant> edited;
        for (int i = 0; i < keys && i < values.size(); ++i) {
            const QString text = QString::fromUtf8(values[i]);
            QStringList parts = text.split(QLatin1Char(','));
            for (QString& part : parts)
                part = part.trimmed();
            edited.insert(SettingsStore::kSettings + QLatin1Char('/') + QString::fromUtf8(kKeys[i]),
                          parts.size() > 1 ? QVariant(parts) : QVariant(text));
        }
        store.keep_in_memory(edited);
    } else {
        for (int i = 0; i < keys && i < values.size(); ++i)
            store.set_value(SettingsStore::kSettings, QString::fromUtf8(kKeys[i]), QString::fromUtf8(values[i]));
    }

    const StoredSettings loaded = load_all(store);
    check_usable(loaded);

    if (!(data[0] & 2))
        return 0;
    store.save_window_position(loaded, true);
    store.save_settings(loaded);
    store.save_user_code_settings(loaded);
    store.save_demo_settings(loaded);
    const StoredSettings again = load_all(store);
    // Geometry is written with 15 significant digits.
    const auto close = [](double a, double b) { return std::fabs(a - b) <= 1e-13 * std::max(1.0, std::fabs(b)); };
    check(close(again.main_left, loaded.main_left) && close(again.main_top, loaded.main_top) &&
              close(again.main_width, loaded.main_width) && close(again.main_height, loaded.main_height),
          "geometry changed by a save and load");
    check(again.model_index == loaded.model_index && again.double_speed_yes == loaded.double_speed_yes &&
              again.fill_ff == loaded.fill_ff && again.com_index == loaded.com_index &&
              again.beep_yes == loaded.beep_yes && again.delay_index == loaded.delay_index,
          "a control value changed by a save and load");
    check(again.user_code == loaded.user_code && again.demo == loaded.demo, "a format changed by a save and load");
    return 0;
}
