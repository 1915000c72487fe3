// Model selection: the rows and the selection rules (resets, exact names, unknown names).
#include "models/model_catalogue.h"

#include <QtTest>

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void row_counts();
    void select_data();
    void select();
    void typed_b2_equals_listed();
    void unknown_after_known();
    void model_code_kept_by_non_family_2();
    void isp_start_data();
    void isp_start();
};

void TestCatalogue::row_counts()
{
    QCOMPARE(McuModelTable::rows().size(), 27);
    const QStringList names = McuModelTable::list_names();
    QCOMPARE(names.size(), 21);
    QCOMPARE(names.first(), QStringLiteral("ZVK7H04A"));
    QVERIFY(!names.contains(QStringLiteral("ZVK7V32B2")));
    QVERIFY(McuModelTable::find(QStringLiteral("ZVK7V08B2")) != nullptr);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(McuModelTable::find(names[i])->list_index, i);
}

void TestCatalogue::select_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("ap_end");
    QTest::addColumn<int>("user_flash_end");
    QTest::addColumn<int>("data_flash_start");
    QTest::addColumn<int>("range_end");
    QTest::addColumn<bool>("ap_to_isp");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("soft_ice");
    QTest::addColumn<QString>("rom");
    QTest::newRow("ZVK7H64B") << "ZVK7H64B" << 0 << 0xFFFF << 0xFFFF << 0x10000 << 0x11FFF << false << 128 << ""
                              << true << "ZVK64_2003.ROM";
    QTest::newRow("ZVK7L16B+") << "ZVK7L16B+" << 2 << 0x3FFF << 0xF7FF << 0xEC00 << 0xFBFF << false << 512
                               << "F104" << false << "";
    QTest::newRow("ZVK7H16B2 (typed, no ROM)") << "ZVK7H16B2" << 0 << 0x3FFF << 0x3FFF << 0xE000 << 0xFFFF << false
                                               << 128 << "" << false << "";
}

void TestCatalogue::select()
{
    QFETCH(QString, name);
    SelectedModel m;
    m.select(name);
    QTEST(m.model_family, "family");
    QCOMPARE(m.ap_start, 0);
    QTEST(int(m.ap_end), "ap_end");
    QTEST(int(m.user_flash_end), "user_flash_end");
    QTEST(int(m.data_flash_start), "data_flash_start");
    QTEST(int(m.range_end), "range_end");
    QTEST(m.ap_to_isp, "ap_to_isp");
    QTEST(m.block_size, "block");
    QTEST(m.model_code, "code");
    QTEST(m.soft_ice_capable, "soft_ice");
    QTEST(m.soft_ice_rom_name, "rom");
}

void TestCatalogue::typed_b2_equals_listed()
{
    SelectedModel typed;
    typed.select(QStringLiteral("ZVK7V32B2"));
    SelectedModel listed;
    listed.select(QStringLiteral("ZVK7H32B"));
    QCOMPARE(typed.list_index, -1);
    QCOMPARE(typed.model_family, listed.model_family);
    QCOMPARE(typed.ap_end, listed.ap_end);
    QCOMPARE(typed.user_flash_end, listed.user_flash_end);
    QCOMPARE(typed.data_flash_start, listed.data_flash_start);
    QCOMPARE(typed.range_end, listed.range_end);
    QCOMPARE(typed.block_size, listed.block_size);
    QCOMPARE(typed.soft_ice_capable, true);
    QCOMPARE(typed.soft_ice_rom_name, listed.soft_ice_rom_name);
    QCOMPARE(typed.isp_start(), listed.isp_start());
}

void TestCatalogue::unknown_after_known()
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
    QCOMPARE(m.soft_ice_capable, false);
    QCOMPARE(m.ap_to_isp, false);
    QCOMPARE(m.list_index, -1);
    // Names are matched exactly: a lower-case name is unknown too, the ROM name of a Soft ICE row is kept.
    m.select(QStringLiteral("ZVK7H64B"));
    m.select(QStringLiteral("zvk7h12a"));
    QCOMPARE(m.model_family, 0);
    QCOMPARE(m.soft_ice_capable, false);
    QCOMPARE(m.soft_ice_rom_name, QStringLiteral("ZVK64_2003.ROM"));
}

void TestCatalogue::model_code_kept_by_non_family_2()
{
    // Only family-2 rows write the model code; a D or B row leaves the previous one.
    SelectedModel m;
    m.select(QStringLiteral("ZVK7H64B+"));
    m.select(QStringLiteral("ZVK7L32D"));
    QCOMPARE(m.model_code, QStringLiteral("F110"));
    QCOMPARE(m.model_family, 1);
    // And ap_to_isp is reset by every selection.
    m.select(QStringLiteral("ZVK7L64D"));
    QCOMPARE(m.ap_to_isp, true);
    m.select(QStringLiteral("ZVK7L32D"));
    QCOMPARE(m.ap_to_isp, false);
}

void TestCatalogue::isp_start_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("isp_start");
    QTest::newRow("ZVK7H04A") << "ZVK7H04A" << 0x3800;
    QTest::newRow("ZVK7L64D") << "ZVK7L64D" << 0xFC00;
    QTest::newRow("ZVK7H64B") << "ZVK7H64B" << 0x10000;
    QTest::newRow("ZVK7V32B") << "ZVK7V32B" << 0xE000;
}

void TestCatalogue::isp_start()
{
    QFETCH(QString, name);
    SelectedModel m;
    m.select(name);
    QTEST(int(m.isp_start()), "isp_start");
}

QTEST_APPLESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
