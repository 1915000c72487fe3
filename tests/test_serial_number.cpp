// The auto-increment serial number: checks, the three storage formats, counting up, the used
// range that covers it, and its settings.

#include "support/image_rig.h"

#include <QtTest>

namespace {
const QString kTooBig = QStringLiteral("自动增量低位地址太大");
const QString kTooSmall = QStringLiteral("自动增量低位地址太小或字节数太长");
const QString kBinaryBytes = QStringLiteral("选择 16进制时，字节数必须小于或等于 4。");
const QString kBinaryValue = QStringLiteral("选择 16进制时，“下一值”必须小于 2147483648。");

void set_fields(ImageRig& rig, const QString& address, const QString& count, const QString& next,
                const QString& step, int format)
{
    rig.serial.texAuto_Increase_Change(0, address);
    rig.serial.texAuto_Increase_Change(1, count);
    rig.serial.texAuto_Increase_Change(2, next);
    rig.serial.texAuto_Increase_Change(3, step);
    rig.serial.optAuto_Increase_Click(format);
}

void load_something(ImageRig& rig, const QTemporaryDir& dir)
{
    QVERIFY(rig.load(HexText::write(dir, QStringLiteral("p.hex"), HexText::file(0, QByteArray(0x40, '\x11')))));
}
} // namespace

class TestSerialNumber : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void write_formats_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("binary 2 bytes") << "ZVK7H64B" << 0 << "1FFF" << 2 << "258" << "000258" << 0x1FFE
                                        << QByteArray::fromHex("0102");
        QTest::newRow("binary 4 bytes") << "ZVK7H64B" << 0 << "0103" << 4 << "2147483647" << "02147483647" << 0x100
                                        << QByteArray::fromHex("7FFFFFFF");
        QTest::newRow("decimal padded") << "ZVK7H64B" << 1 << "0FFF" << 3 << "42" << "000042" << 0xFFD
                                        << QByteArray::fromHex("000042");
        QTest::newRow("ascii 3 bytes") << "ZVK7H64B" << 2 << "0100" << 3 << "42" << "042" << 0xFE
                                       << QByteArray::fromHex("303432");
        QTest::newRow("ascii non-digit") << "ZVK7H64B" << 2 << "0100" << 3 << "4x2" << "4x2" << 0xFE
                                         << QByteArray::fromHex("343032");
        QTest::newRow("address from last five digits") << "ZVK7H64B" << 1 << "10001F" << 1 << "99" << "99" << 0x1F
                                                       << QByteArray::fromHex("99");
        QTest::newRow("family 2 up to user flash end") << "ZVK7H04A" << 1 << "37FF" << 1 << "7" << "07" << 0x37FF
                                                       << QByteArray::fromHex("07");
    }
    void write_formats()
    {
        QFETCH(QString, model);
        QFETCH(int, format);
        QFETCH(QString, address);
        QFETCH(int, count);
        QFETCH(QString, next);
        QFETCH(QString, shown);
        QFETCH(int, first);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        ImageRig rig(model);
        load_something(rig, dir);
        set_fields(rig, address, QString::number(count), next, QStringLiteral("1"), format);
        rig.serial.set_checked(true);
        QVERIFY2(rig.dialogs.messages.isEmpty(), qPrintable(rig.dialogs.texts().join(QLatin1Char('|'))));
        QVERIFY(rig.serial.serial_active);
        QVERIFY(!rig.serial.fields_enabled);
        QCOMPARE(rig.serial.texts[2], shown);
        QCOMPARE(rig.at(first - 1), quint8(first - 1 < 0x40 ? 0x11 : 0x00));
        for (int i = 0; i < bytes.size(); ++i)
            QCOMPARE(rig.at(first + i), quint8(bytes[i]));
        // The view shows and highlights the number.
        QVERIFY(rig.view.front_selection > 0);
    }
    void refusals_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("active");
        QTest::newRow("binary 5 bytes") << "ZVK7H64B" << 0 << "0100" << "5" << "1" << kBinaryBytes << true;
        QTest::newRow("binary value too big") << "ZVK7H64B" << 0 << "0100" << "4" << "2147483648" << kBinaryValue << true;
        QTest::newRow("address too small") << "ZVK7H64B" << 1 << "0002" << "4" << "1" << kTooSmall << false;
        QTest::newRow("H04A above 37FF") << "ZVK7H04A" << 1 << "3800" << "1" << "1" << kTooBig << false;
        QTest::newRow("L32D above 7FFF") << "ZVK7L32D" << 1 << "8000" << "1" << "1" << kTooBig << false;
    }
    void refusals()
    {
        QFETCH(QString, model);
        QFETCH(int, format);
        QFETCH(QString, address);
        QFETCH(QString, count);
        QFETCH(QString, next);
        QFETCH(QString, message);
        QFETCH(bool, active);
        QTemporaryDir dir;
        ImageRig rig(model);
        load_something(rig, dir);
        const auto before = rig.image.program_buffer;
        set_fields(rig, address, count, next, QStringLiteral("1"), format);
        rig.serial.set_checked(true);
        QCOMPARE(rig.dialogs.texts(), QStringList{message});
        QVERIFY(rig.image.program_buffer == before);
        QCOMPARE(rig.serial.serial_active, active);
        // The box stays checked with the fields locked.
        QVERIFY(rig.serial.checked);
        QVERIFY(!rig.serial.fields_enabled);
    }
    void advance_after_download_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("decimal 0009 + 1") << 1 << 2 << "0009" << "1" << "0010" << QByteArray::fromHex("0010");
        QTest::newRow("binary 255 + 1") << 0 << 2 << "255" << "1" << "000256" << QByteArray::fromHex("0100");
        QTest::newRow("ascii 99 + 5") << 2 << 3 << "99" << "5" << "104" << QByteArray::fromHex("313034");
    }
    void advance_after_download()
    {
        QFETCH(int, format);
        QFETCH(int, count);
        QFETCH(QString, next);
        QFETCH(QString, step);
        QFETCH(QString, shown);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        ImageRig rig;
        load_something(rig, dir);
        set_fields(rig, QStringLiteral("0200"), QString::number(count), next, step, format);
        rig.serial.set_checked(true);
        QVERIFY(rig.serial.serial_active);
        // What the download sequencer does after each good download.
        rig.serial.advance_serial_number();
        rig.serial.write_serial_number();
        rig.view.VScroll1_Change();
        rig.serial.save_serial_settings();
        rig.serial.serial_active = true;
        QCOMPARE(rig.serial.texts[2], shown);
        for (int i = 0; i < bytes.size(); ++i)
            QCOMPARE(rig.at(0x200 - count + 1 + i), quint8(bytes[i]));
        QCOMPARE(rig.settings.value(SettingsStore::kAutoIncrease, QStringLiteral("next_value"), QString()), shown);
    }
    void used_range_covers_number()
    {
        QTemporaryDir dir;
        ImageRig rig;
        rig.image.buffer_start_text = QStringLiteral("1000");
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("p.hex"), HexText::file(0, QByteArray(0x20, '\x11')))));
        QCOMPARE(rig.image.image_start, 0x1000);
        set_fields(rig, QStringLiteral("2003"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("1"), 1);
        rig.serial.set_checked(true);
        QCOMPARE(rig.image.image_end, 0x2003);
        QCOMPARE(rig.image.image_start, 0x1000);
        set_fields(rig, QStringLiteral("0803"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("1"), 1);
        rig.serial.set_checked(false);
        rig.serial.set_checked(true);
        QCOMPARE(rig.image.image_start, 0x7FF);   // from the byte before the number
        rig.view.set_scroll_value(0);
        QVERIFY(rig.view.front_text.contains(QStringLiteral(" 000800   00 00 00 01 ")));
    }
    void settings_round_trip()
    {
        {
            ImageRig rig;
            set_fields(rig, QStringLiteral("1234"), QStringLiteral("3"), QStringLiteral("77"), QStringLiteral("5"), 2);
            rig.serial.save_serial_settings();
        }
        ImageRig rig;
        rig.serial.load_serial_settings();
        QCOMPARE(rig.serial.texts[0], QStringLiteral("1234"));
        QCOMPARE(rig.serial.texts[1], QStringLiteral("3"));
        QCOMPARE(rig.serial.texts[2], QStringLiteral("77"));
        QCOMPARE(rig.serial.texts[3], QStringLiteral("5"));
        QCOMPARE(rig.serial.format, 2);
        QVERIFY(!rig.serial.serial_active);
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestSerialNumber)
#include "test_serial_number.moc"
