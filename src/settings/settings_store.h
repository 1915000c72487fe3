#pragma once
// The per-user settings store: application "ZVK_ISP", sections "Settings" and "Auto_Increase",
// string values. Every load reads the persistent store and every save writes it (no copy kept).
// On Linux the file is $XDG_CONFIG_HOME/ZVK_ISP/ZVK_ISP.conf.

#include "base/one_shot_timer.h"
#include "settings/stored_settings.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static const QString kApplication;       // "ZVK_ISP"
    static const QString kSettings;          // "Settings"
    static const QString kAutoIncrease;      // "Auto_Increase"
    static const QString kDoubleSpeedKey;    // "安全锁"
    static const QString kLink;              // "Link": what the serial link measured on this machine
    static const QString kStore;             // "Store": where the production store is

    explicit SettingsStore(QObject* parent = nullptr);

    // Raw access: a missing key (or section) gives `fallback`.
    QString value(const QString& section, const QString& key, const QString& fallback) const;
    void set_value(const QString& section, const QString& key, const QString& value);
    // Keeps the values in memory from now on, starting from `values` ("section/key" -> the value
    // as the file gives it back: a text, or a list for a hand-edited text with commas). Nothing
    // is read from or written to the per-user file any more (for fuzzing the readers).
    void keep_in_memory(QMap<QString, QVariant> values) { memory_ = std::move(values); }

    // The folder that holds the program (default of "FilePath").
    static QString program_folder();
    QString file_path() const;                  // "FilePath", default the program's folder
    void set_file_path(const QString& path);

    // ---- The "Settings" section -----------------------------------------------------------------
    // Each load changes a field only for a usable stored value (missing: the listed default).
    void load_geometry(StoredSettings& s) const;
    // Writes the geometry only when the window is in its normal state.
    void save_window_position(const StoredSettings& s, bool normal_state);
    // Fields in the order the window applies them: model, double speed, file folder, fill byte,
    // COM port (no selection falls back to COM1), beep, repeat delay.
    void load_settings(StoredSettings& s) const;
    void save_settings(const StoredSettings& s);
    void load_user_code_settings(StoredSettings& s) const;
    void save_user_code_settings(const StoredSettings& s);
    void load_demo_settings(StoredSettings& s) const;
    void save_demo_settings(const StoredSettings& s);

    // The busy-wait calibration (passes per millisecond) measured on this machine; 0 when none is
    // kept. Shared by the window and zvkisp-cli.
    quint32 loops_per_ms() const;
    void set_loops_per_ms(quint32 loops);

    // The production store's location (section "Store", key "Url"): a postgresql:// URL or an
    // SQLite file; empty for the default file. Kept as given: the caller leaves any password out.
    QString store_url() const;
    void set_store_url(const QString& url);

    // The double-speed code kept under "安全锁": 4 for "YES", 2 for "NO".
    static QString double_speed_code(bool yes) { return yes ? QStringLiteral("4") : QStringLiteral("2"); }

    // ---- Deferred save (Timer3) ----------------------------------------------------------------
    OneShotTimer Timer3{QStringLiteral("Timer3"), 500};
    // Arms Timer3; arming it again before the tick does not move the tick.
    void request_settings_save();
    void save_pending_settings();
    // The tick asks for the current control values ...
    std::function<StoredSettings()> collect;
    // ... and runs the range display between the first keys and the combo formats.
    std::function<void()> show_memory_ranges;

signals:
    void saved();

private:
    std::optional<QMap<QString, QVariant>> memory_;
};
