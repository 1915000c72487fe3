// The auto-increment serial number: the checks and their messages, and counting up after a
// download. (The number written in each format, on the wire: test_e2e_frames.)

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
    rig.serial.set_field_text(0, address);
    rig.serial.set_field_text(1, count);
    rig.serial.set_field_text(2, next);
    rig.serial.set_field_text(3, step);
    rig.serial.select_format(format);
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
        rig.serial.refresh_image();
        rig.serial.save_serial_settings();
        rig.serial.serial_active = true;
        QCOMPARE(rig.serial.texts[2], shown);
        for (int i = 0; i < bytes.size(); ++i)
            QCOMPARE(rig.at(0x200 - count + 1 + i), quint8(bytes[i]));
        QCOMPARE(rig.settings.value(SettingsStore::kAutoIncrease, QStringLiteral("next_value"), QString()), shown);
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestSerialNumber)
#include "test_serial_number.moc"
