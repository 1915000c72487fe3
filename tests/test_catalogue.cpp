// Model selection: the selection rules (resets, exact names, unknown names, typed B2 names) and
// the values derived from a row. (The rows' ranges are exercised by the loader tests and on the wire.)
#include "models/model_catalogue.h"

#include <QtTest>

#include <tuple>

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void list_and_derived_values()
    {
        const QStringList names = McuModelTable::list_names();
        QCOMPARE(names.size(), 21);
        QCOMPARE(names.first(), QStringLiteral("ZVK7H04A"));
        QVERIFY(!names.contains(QStringLiteral("ZVK7V32B2")));   // typed only
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(McuModelTable::find(names[i])->list_index, i);
        SelectedModel m;
        for (const auto& [name, isp_start] : {std::pair{"ZVK7H04A", 0x3800}, {"ZVK7L64D", 0xFC00}, {"ZVK7H64B", 0x10000},
                                              {"ZVK7V32B", 0xE000}}) {
            m.select(QString::fromLatin1(name));
            QCOMPARE(int(m.isp_start()), isp_start);
        }
        m.select(QStringLiteral("ZVK7L16B+"));
        QCOMPARE(m.model_code, QStringLiteral("F104"));
        QCOMPARE(m.block_size, 512);
        QCOMPARE(m.range_end, 0xFBFF);
    }

    void typed_b2_equals_listed()
    {
        SelectedModel typed, listed, b2;
        typed.select(QStringLiteral("ZVK7V32B2"));
        listed.select(QStringLiteral("ZVK7H32B"));
        const auto values = [](const SelectedModel& m) {
            return std::make_tuple(m.model_family, m.ap_end, m.user_flash_end, m.data_flash_start, m.range_end,
                                   m.block_size, m.soft_ice_capable, m.soft_ice_rom_name, m.isp_start());
        };
        QCOMPARE(typed.list_index, -1);
        QVERIFY(values(typed) == values(listed));
        QVERIFY(typed.soft_ice_capable);
        // A typed B2 name without its own row has no Soft ICE monitor.
        b2.select(QStringLiteral("ZVK7H16B2"));
        QCOMPARE(b2.model_family, 0);
        QCOMPARE(b2.ap_end, 0x3FFF);
        QCOMPARE(b2.data_flash_start, 0xE000);
        QVERIFY(!b2.soft_ice_capable && b2.soft_ice_rom_name.isEmpty());
    }

    void unknown_after_known()
    {
        SelectedModel m;
        m.select(QStringLiteral("ZVK7H08A"));
        QCOMPARE(m.block_size, 512);
        m.select(QStringLiteral("ZVK7X99Z"));
        QCOMPARE(m.model_family, 2);
        QCOMPARE(m.ap_end, 0x1FFF);
        QCOMPARE(m.user_flash_end, 0x37FF);
        QCOMPARE(m.data_flash_start, 0x2C00);
        QCOMPARE(m.range_end, 0x3BFF);
        QCOMPARE(m.model_code, QStringLiteral("F002"));
        QCOMPARE(m.block_size, 128);
        QVERIFY(!m.soft_ice_capable && !m.ap_to_isp);
        QCOMPARE(m.list_index, -1);
        // Names are matched exactly: a lower-case name is unknown too, the ROM name of a Soft ICE row is kept.
        m.select(QStringLiteral("ZVK7H64B"));
        m.select(QStringLiteral("zvk7h12a"));
        QCOMPARE(m.model_family, 0);
        QVERIFY(!m.soft_ice_capable);
        QCOMPARE(m.soft_ice_rom_name, QStringLiteral("ZVK64_2003.ROM"));
    }

    void model_code_kept_by_non_family_2()
    {
        // Only family-2 rows write the model code; a D or B row leaves the previous one.
        SelectedModel m;
        m.select(QStringLiteral("ZVK7H64B+"));
        m.select(QStringLiteral("ZVK7L32D"));
        QCOMPARE(m.model_code, QStringLiteral("F110"));
        QCOMPARE(m.model_family, 1);
        // And ap_to_isp is reset by every selection.
        m.select(QStringLiteral("ZVK7L64D"));
        QVERIFY(m.ap_to_isp);
        m.select(QStringLiteral("ZVK7L32D"));
        QVERIFY(!m.ap_to_isp);
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
