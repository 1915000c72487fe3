// The settings store: keys, defaults, leading-number parsing, unusable values (the double-speed
// code among them) and the deferred save.

#include "settings/combo_lists.h"
#include "settings/settings_store.h"
#include "support/image_rig.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {
// A struct whose every field differs from the first-run defaults.
StoredSettings sentinel()
{
    StoredSettings s;
    s.main_left = 11;
    s.main_top = 22;
    s.main_width = 333;
    s.main_height = 444;
    s.model_index = 7;
    s.double_speed_yes = true;
    s.file_path = QStringLiteral("sentinel");
    s.fill_ff = true;
    s.com_index = 5;
    s.beep_yes = false;
    s.delay_index = 1;
    s.user_code = {9, 0, 3, 2};
    s.demo = {8, 2, 3, 2, 7, 1, 2, 1};
    return s;
}

StoredSettings load_all(SettingsStore& store, StoredSettings s)
{
    store.load_geometry(s);
    store.load_settings(s);
    store.load_user_code_settings(s);
    store.load_demo_settings(s);
    return s;
}

void wipe()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZVK_ISP"), QStringLiteral("ZVK_ISP"));
    s.clear();
    s.sync();
}

void put(const QString& key, const QString& value)
{
    SettingsStore().set_value(SettingsStore::kSettings, key, value);
}
} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void init() { wipe(); }
    void first_run_defaults()
    {
        SettingsStore store;
        StoredSettings s = load_all(store, sentinel());
        QCOMPARE(s.main_width, 12000.0);
        QCOMPARE(s.main_height, 9045.0);
        QCOMPARE(s.model_index, 0);
        QCOMPARE(s.double_speed_yes, false);
        QCOMPARE(s.file_path, SettingsStore::program_folder());
        QCOMPARE(s.fill_ff, false);
        QCOMPARE(s.beep_yes, true);
        QCOMPARE(s.delay_index, 4);
        QCOMPARE(ComboLists::redownload_delay()[s.delay_index], QStringLiteral("5"));
    }
    void round_trip()
    {
        SettingsStore store;
        StoredSettings s = sentinel();
        s.com_index = 7;
        store.save_settings(s);
        store.save_window_position(s, true);
        store.set_file_path(QStringLiteral("/data/a b, c.hex"));
        // One file per user under the configuration folder.
        const QString file = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("ZVK_ISP/ZVK_ISP.conf"));
        QVERIFY2(QFile::exists(file), qPrintable(file));
        const StoredSettings back = load_all(store, StoredSettings());
        QCOMPARE(back.main_left, 11.0);
        QCOMPARE(back.model_index, 7);
        QCOMPARE(back.double_speed_yes, true);
        QCOMPARE(back.file_path, QStringLiteral("/data/a b, c.hex"));
        QCOMPARE(back.com_index, 7);
        QCOMPARE(back.delay_index, 1);
        QCOMPARE(back.user_code, s.user_code);
        QCOMPARE(back.demo, s.demo);
        QCOMPARE(store.value(QStringLiteral("Settings"), QStringLiteral("fillbyte"), QString()), QStringLiteral("FF"));
        QCOMPARE(store.value(QStringLiteral("Settings"), QStringLiteral("BeepYesNo"), QString()), QStringLiteral("False"));
        QCOMPARE(store.value(QStringLiteral("Settings"), QStringLiteral("DeviceProducts"), QString()), QStringLiteral("7"));
        s.double_speed_yes = false;
        store.save_settings(s);
        QCOMPARE(load_all(store, sentinel()).double_speed_yes, false);
    }
    void single_values_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("expected");
        QTest::newRow("COM 12 falls back to COM1") << "COM_port" << "12" << "com" << 0;
        QTest::newRow("COM leading number") << "COM_port" << "3 (COM4)" << "com" << 3;
        QTest::newRow("fill ff selects FF") << "fillbyte" << "ff" << "fill" << 1;
        QTest::newRow("fill 0 selects FF") << "fillbyte" << "0" << "fill" << 1;
        QTest::newRow("beep true is NO") << "BeepYesNo" << "true" << "beep" << 0;
        QTest::newRow("beep True") << "BeepYesNo" << "True" << "beep" << 1;
        QTest::newRow("model 21 ignored") << "DeviceProducts" << "21" << "model" << 7;
        QTest::newRow("model not whole") << "DeviceProducts" << "3x" << "model" << 7;
        QTest::newRow("delay 7") << "Dalay_ReDownLoad" << "7" << "delay" << 7;
        QTest::newRow("delay 8 ignored") << "Dalay_ReDownLoad" << "8" << "delay" << 1;
        QTest::newRow("demo baud 9 ignored") << "ISP_DEMO_UserCodeBaud" << "9" << "demobaud" << 7;
        // The double-speed code: 2 selects NO, 4 YES, 6 both in turn (NO last), 0 leaves the choice.
        QTest::newRow("double speed 2") << "安全锁" << "2" << "double" << 0;
        QTest::newRow("double speed 4") << "安全锁" << "4" << "double" << 1;
        QTest::newRow("double speed 6") << "安全锁" << "6" << "double" << 0;
        QTest::newRow("double speed 0") << "安全锁" << "0" << "double" << 1;
        QTest::newRow("double speed, leading number 5x") << "安全锁" << "5x" << "double" << 1;
    }
    void single_values()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, field);
        QFETCH(int, expected);
        put(key, stored);
        SettingsStore store;
        StoredSettings s = sentinel();
        s.com_index = -1;   // the design value: no selection
        s = load_all(store, s);
        const QHash<QString, int> got = {
            {"com", s.com_index},        {"fill", s.fill_ff},         {"beep", s.beep_yes},
            {"model", s.model_index},    {"delay", s.delay_index},    {"ucbaud", s.user_code[0]},
            {"demobaud", s.demo[4]},     {"double", s.double_speed_yes}};
        QCOMPARE(got.value(field), expected);
    }
    void unreadable_file_gives_defaults()
    {
        SettingsStore().set_file_path(QStringLiteral("/x"));   // creates the file
        const QString file = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("ZVK_ISP/ZVK_ISP.conf"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(HexText::pattern(4096, 21));
        f.close();
        SettingsStore store;
        StoredSettings s = load_all(store, sentinel());
        QCOMPARE(s.model_index, 0);
        QCOMPARE(s.beep_yes, true);
        QCOMPARE(s.main_width, 12000.0);
    }
    void deferred_save_coalesces()
    {
        SettingsStore store;
        int collected = 0;
        StoredSettings current;
        current.com_index = 6;
        store.collect = [&] {
            ++collected;
            return current;
        };
        QSignalSpy saved(&store, &SettingsStore::saved);
        for (int i = 0; i < 10; ++i)
            store.request_settings_save();
        QVERIFY(store.Timer3.enabled());
        QCOMPARE(store.Timer3.interval(), 500);
        QVERIFY(saved.wait(5000));
        QTest::qWait(800);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(collected, 1);
        QVERIFY(!store.Timer3.enabled());
        QCOMPARE(store.value(SettingsStore::kSettings, QStringLiteral("COM_port"), QString()), QStringLiteral("6"));
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
