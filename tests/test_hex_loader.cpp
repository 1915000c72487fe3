// Loading HEX and binary files into the program buffer: format detection, records, the model's
// ranges and their messages, clearing and merging, damaged files.

#include "support/image_rig.h"

#include <QtTest>

namespace {
const QString kOver = QStringLiteral("    File over the valid scope.\r\n文件超出有效空间, 超出的部分已丢失。");
const QString kHexData = QStringLiteral(" Data Memory contain procedure or datas.\r\n      Data Memory 空间有数据。");
const QString kBinData = QStringLiteral(" Data Memory contain datas.\r\n  Data Memory 空间有数据。");
const QString kBinTail = QStringLiteral("\r\n\r\n            按确定继续。");
const QString kSep = QStringLiteral("\r\n\r\n");
} // namespace

class TestHexLoader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void clear_keeps_top_byte()
    {
        ImageRig rig;
        rig.image.program_buffer[0x10000] = 0x5A;
        rig.image.clear_program_buffer(0xFF);
        QCOMPARE(rig.at(0xFFFF), quint8(0xFF));
        QCOMPARE(rig.at(0x10000), quint8(0x5A));
        rig.image.fill_ff = true;
        rig.image.clear_before_load();
        QCOMPARE(rig.at(0x10000), quint8(0x5A));
    }

    void detection_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("binary");
        const QByteArray r1 = HexText::record(0, QByteArray::fromHex("A1A2"));
        const QByteArray r2 = HexText::record(2, QByteArray::fromHex("B1B2"));
        QTest::newRow("three records") << (r1 + "\r\n" + r2 + "\r\n" + HexText::end_record() + "\r\n") << false;
        QTest::newRow("third line text") << (r1 + "\r\n" + r2 + "\r\nhello\r\n") << true;
        QTest::newRow("first byte not colon") << QByteArray("\x02\x00\x10:abc", 8) << true;
        QTest::newRow("two lines only") << (r1 + "\r\n" + HexText::end_record()) << false;
        QTest::newRow("fourth line not looked at")
            << (r1 + "\r\n" + r2 + "\r\n" + HexText::end_record() + "\r\nrubbish\r\n") << false;
    }
    void detection()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, binary);
        QTemporaryDir dir;
        ImageRig rig;
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("f.hex"), content)));
        if (binary) {
            // Byte for byte, line ends included.
            for (int i = 0; i < content.size(); ++i)
                QCOMPARE(rig.at(i), quint8(content[i]));
            QCOMPARE(rig.image.file_end, content.size() - 1);
        } else {
            QCOMPARE(rig.at(0), quint8(0xA1));
            QCOMPARE(rig.at(1), quint8(0xA2));
        }
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void one_record_loads()
    {
        QTemporaryDir dir;
        ImageRig rig(QStringLiteral("ZVK7H32B+"));
        const QByteArray data = HexText::pattern(16);
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("a.hex"), HexText::file(0x0120, data))));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(rig.at(0x120 + i), quint8(data[i]));
        QCOMPARE(rig.at(0x11F), quint8(0));
        QCOMPARE(rig.image.file_start, 0);
        QCOMPARE(rig.image.file_end, 0x12F);
        QCOMPARE(rig.image.image_start, 0);
        QCOMPARE(rig.image.image_end, 0x12F);
        QVERIFY(rig.image.file_loaded);
        QVERIFY(rig.dialogs.messages.isEmpty());
    }
    void checksum_mismatch_keeps_record()
    {
        QTemporaryDir dir;
        ImageRig rig;
        QByteArray bad = HexText::record(0x10, QByteArray::fromHex("11223344"));
        bad.chop(2);
        bad += "00";
        const QString path =
            HexText::write(dir, QStringLiteral("c.hex"), bad + "\r\n" + HexText::end_record() + "\r\n");
        QVERIFY(rig.load(path));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages[0].text, QStringLiteral("Checksum\r\n\r\n") + QString::fromLatin1(bad));
        QCOMPARE(rig.dialogs.messages[0].title, path);
        QCOMPARE(rig.at(0x10), quint8(0x11));
        QCOMPARE(rig.at(0x13), quint8(0x44));
    }
    void line_ends_data()
    {
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
        QTest::newRow("LF CR") << QByteArray("\n\r");
    }
    void line_ends()
    {
        QFETCH(QByteArray, eol);
        QTemporaryDir dir;
        ImageRig rig;
        const QByteArray data = HexText::pattern(100, 7);
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("e.hex"), HexText::file(0x40, data, 16, eol.constData()))));
        QVERIFY2(rig.dialogs.messages.isEmpty(), qPrintable(rig.dialogs.texts().join(QLatin1Char('|'))));
        for (int i = 0; i < data.size(); ++i)
            QCOMPARE(rig.at(0x40 + i), quint8(data[i]));
        QCOMPARE(rig.image.file_end, 0x40 + 99);
    }
    void record_length_limit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("46") << 46 << true;
        QTest::newRow("47") << 47 << false;
    }
    void record_length_limit()
    {
        QFETCH(int, size);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        ImageRig rig;
        const QByteArray first = HexText::record(0x00, QByteArray::fromHex("C0C1"));
        const QByteArray data = HexText::pattern(size, 3);
        const QByteArray content =
            first + "\n" + HexText::record(0x100, data) + "\n" + HexText::end_record() + "\n";
        const bool ok = rig.load(HexText::write(dir, QStringLiteral("l.hex"), content));
        QCOMPARE(ok, accepted);
        QCOMPARE(rig.at(0), quint8(0xC0));   // the record before stays in every case
        if (accepted) {
            QVERIFY(rig.dialogs.messages.isEmpty());
            QCOMPARE(rig.at(0x100 + size - 1), quint8(data[size - 1]));
        } else {
            QCOMPARE(rig.dialogs.texts(), (QStringList{QStringLiteral("HEX file is error."), QStringLiteral("File is error.")}));
            QCOMPARE(rig.at(0x100), quint8(0));
            QVERIFY(!rig.image.file_loaded);
        }
    }
    void address_records_are_skipped()
    {
        QTemporaryDir dir;
        ImageRig rig;
        const QByteArray content = HexText::record(0, QByteArray::fromHex("0001"), 4) + "\n" +
            HexText::record(0x20, QByteArray::fromHex("EE"), 2) + "\n" + HexText::record(0x30, QByteArray::fromHex("1234")) +
            "\n" + HexText::record(0, QByteArray::fromHex("00000100"), 5) + "\n" + HexText::end_record() + "\n";
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("t.hex"), content)));
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.at(0), quint8(0));
        QCOMPARE(rig.at(1), quint8(0));
        QCOMPARE(rig.at(0x20), quint8(0));
        QCOMPARE(rig.at(0x30), quint8(0x12));
        QCOMPARE(rig.image.file_end, 0x31);
    }
    void malformed_line_keeps_partial_content()
    {
        QTemporaryDir dir;
        ImageRig rig;
        const QByteArray content = HexText::record(0x200, QByteArray::fromHex("ABCD")) + "\r\n" +
            HexText::record(0x202, QByteArray::fromHex("EF")) + "\r\n" + HexText::record(0x203, QByteArray::fromHex("01")) +
            "\r\n garbage\r\n" + HexText::record(0x300, QByteArray::fromHex("77")) + "\r\n" + HexText::end_record();
        QVERIFY(!rig.load(HexText::write(dir, QStringLiteral("m.hex"), content)));
        QCOMPARE(rig.dialogs.texts(), (QStringList{QStringLiteral("HEX file is error."), QStringLiteral("File is error.")}));
        QCOMPARE(rig.at(0x200), quint8(0xAB));
        QCOMPARE(rig.at(0x203), quint8(0x01));
        QCOMPARE(rig.at(0x300), quint8(0));
        // The file's range was not taken over and the buffer counts as not loaded.
        QVERIFY(!rig.image.file_loaded);
        QCOMPARE(rig.image.file_start, 0x10FFFF);
        QCOMPARE(rig.image.file_end, 0);
    }
    void empty_or_missing_file()
    {
        QTemporaryDir dir;
        ImageRig rig;
        QVERIFY(!rig.load(HexText::write(dir, QStringLiteral("empty.hex"), QByteArray())));
        QCOMPARE(rig.dialogs.texts(), QStringList{QStringLiteral("File is error.")});
        // A missing binary file is refused without a message.
        ImageRig missing;
        QVERIFY(!missing.load(dir.filePath(QStringLiteral("nothing.bin"))));
        QVERIFY(missing.dialogs.messages.isEmpty());
        QVERIFY(!missing.image.file_loaded);
    }

    void model_ranges_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("file_end");
        QTest::addColumn<QString>("message");   // empty: none
        QTest::addColumn<int>("stored_to");     // last address that holds file data (-1: none)

        QTest::newRow("H04A hex in data flash") << "ZVK7H04A" << true << 0x1000 << 0x100 << 0x10FF << kHexData << 0x10FF;
        QTest::newRow("H04A hex at top block") << "ZVK7H04A" << true << 0x3800 << 0x10 << 0x37FF
                                               << (kOver + kSep + kHexData) << -1;
        QTest::newRow("H12A hex up to top block") << "ZVK7H12A" << true << 0x3000 << 0x800 << 0x37FF << QString() << 0x37FF;
        QTest::newRow("H12A binary into top block") << "ZVK7H12A" << false << 0 << 0x3900 << 0x37FF
                                                    << (kOver + kBinTail) << 0x38FF;
        QTest::newRow("H32B+ binary into data flash") << "ZVK7H32B+" << false << 0 << 0x9000 << 0x8FFF
                                                      << (kBinData + kBinTail) << 0x8FFF;
        QTest::newRow("H32B+ binary into top block") << "ZVK7H32B+" << false << 0 << 0xF900 << 0xF7FF
                                                     << (kOver + kSep + kBinData + kBinTail) << 0xF8FF;
        QTest::newRow("L32D hex beyond AP") << "ZVK7L32D" << true << 0x9000 << 0x10 << 0x7FFF << kOver << 0x900F;
        QTest::newRow("L64D hex at top block") << "ZVK7L64D" << true << 0xFB00 << 0x200 << 0xFBFF << kOver << 0xFBFF;
        QTest::newRow("H64B hex whole flash") << "ZVK7H64B" << true << 0 << 0x10000 << 0xFFFF << QString() << 0xFFFF;
    }
    void model_ranges()
    {
        QFETCH(QString, model);
        QFETCH(bool, hex);
        QFETCH(int, address);
        QFETCH(int, size);
        QFETCH(int, file_end);
        QFETCH(QString, message);
        QFETCH(int, stored_to);
        QTemporaryDir dir;
        ImageRig rig(model);
        QByteArray data = HexText::pattern(size, 11);
        data.replace('\0', '\x01');   // every file byte differs from the fill byte
        const QString path = hex ? HexText::write(dir, QStringLiteral("r.hex"), HexText::file(address, data))
                                 : HexText::write(dir, QStringLiteral("r.bin"), QByteArray(1, '\xA5') + data.mid(1));
        if (!hex)
            data[0] = '\xA5';
        QVERIFY(rig.load(path));
        QCOMPARE(rig.image.file_end, file_end);
        if (message.isEmpty()) {
            QVERIFY2(rig.dialogs.messages.isEmpty(), qPrintable(rig.dialogs.texts().join(QLatin1Char('|'))));
        } else {
            QCOMPARE(rig.dialogs.texts(), QStringList{message});
            QCOMPARE(rig.dialogs.messages[0].title, QStringLiteral("Open HEX file"));
        }
        if (stored_to >= 0) {
            QCOMPARE(rig.at(address), quint8(data[0]));
            QCOMPARE(rig.at(stored_to), quint8(data[stored_to - address]));
        } else {
            for (int i = 0; i < size; ++i)
                QCOMPARE(rig.at(address + i), quint8(0));
        }
        if (stored_to >= 0 && stored_to + 1 < address + size && stored_to + 1 <= 0xFFFF)
            QCOMPARE(rig.at(stored_to + 1), quint8(0));
    }

    void binary_fill_ff_used_range()
    {
        QTemporaryDir dir;
        ImageRig rig;
        rig.image.fill_ff = true;
        const QByteArray data = HexText::pattern(100, 5);
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("b.bin"), QByteArray(1, 'B') + data.mid(1))));
        for (int a = 100; a <= 0xFFFF; ++a)
            QCOMPARE(rig.at(a), quint8(0xFF));
        QCOMPARE(rig.image.image_start, 0);
        QCOMPARE(rig.image.image_end, 99);
    }
    void binary_reaching_past_buffer_end()
    {
        QTemporaryDir dir;
        ImageRig rig;
        rig.image.buffer_start_text = QStringLiteral("F000");
        const QByteArray data = HexText::pattern(0x2000, 9);
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("p.bin"), data)));
        QCOMPARE(rig.at(0xF000), quint8(data[0]));
        QCOMPARE(rig.at(0xFFFF), quint8(data[0xFFF]));
        QCOMPARE(rig.at(0x10000), quint8(data[0x1000]));   // the last byte stored
        QCOMPARE(rig.image.file_start, 0xF000);
        QCOMPARE(rig.image.file_end, 0xFFFF);
    }
    void start_address_outrun_leaves_buffer()
    {
        QTemporaryDir dir;
        ImageRig rig(QStringLiteral("ZVK7H04A"));
        const QString path = HexText::write(dir, QStringLiteral("a.hex"), HexText::file(0, QByteArray::fromHex("0102")));
        QVERIFY(rig.load(path));
        const auto before = rig.image.program_buffer;
        rig.image.buffer_start_text = QStringLiteral("3800");   // above 37FF
        rig.dialogs.clear();
        QVERIFY(!rig.load(path));
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{QStringLiteral("Buffer Start Address Outrun the valid scope. \r\n   缓冲区起始地址超出有效空间。")});
        QVERIFY(rig.image.program_buffer == before);
        QCOMPARE(rig.image.file_end, 1);
        // Only the last five digits are checked: 1037FF reads as 37FF and passes.
        rig.image.buffer_start_text = QStringLiteral("1037FF");
        rig.dialogs.clear();
        rig.load(path);
        QVERIFY(!rig.dialogs.texts().contains(QStringLiteral("Buffer Start Address Outrun the valid scope. \r\n   缓冲区起始地址超出有效空间。")));
    }
    void merge_without_clear()
    {
        QTemporaryDir dir;
        ImageRig rig;
        const QString a = HexText::write(dir, QStringLiteral("a.hex"), HexText::file(0x10, QByteArray::fromHex("A0A1A2")));
        const QString b = HexText::write(dir, QStringLiteral("b.hex"), HexText::file(0x20, QByteArray::fromHex("B0B1")));
        QVERIFY(rig.load(a));
        rig.image.clear_buffer_on_load = false;
        rig.image.buffer_start_text = QStringLiteral(" 8000 ");   // blanks around the digits are fine
        QVERIFY(rig.load(b));
        QCOMPARE(rig.at(0x10), quint8(0xA0));
        QCOMPARE(rig.at(0x12), quint8(0xA2));
        QCOMPARE(rig.at(0x8020), quint8(0xB0));
        QCOMPARE(rig.image.image_start, 0);
        QCOMPARE(rig.image.image_end, 0x8021);
        QCOMPARE(rig.image.file_start, 0x8000);
        QCOMPARE(rig.image.file_end, 0x8021);
        // A checked "Clear Buffer" drops the first file again.
        rig.image.clear_buffer_on_load = true;
        QVERIFY(rig.load(b));
        QCOMPARE(rig.at(0x10), quint8(0));
        QCOMPARE(rig.image.image_start, 0x8000);
    }
    void merge_then_scan_clears_stale_area()
    {
        // ZVK7L32D: AP ends at 7FFF, the top block starts at F800. Bytes beyond the AP end that a
        // previous file left are wiped by the next load that stays inside the AP area.
        QTemporaryDir dir;
        ImageRig rig(QStringLiteral("ZVK7L32D"));
        rig.image.fill_ff = true;
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("hi.hex"), HexText::file(0x9000, QByteArray::fromHex("1122")))));
        QCOMPARE(rig.at(0x9000), quint8(0x11));
        rig.image.clear_buffer_on_load = false;
        rig.dialogs.clear();
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("lo.hex"), HexText::file(0x0, QByteArray::fromHex("33")))));
        QCOMPARE(rig.dialogs.texts(), QStringList{kOver});
        QCOMPARE(rig.at(0x9000), quint8(0xFF));
        QCOMPARE(rig.at(0x9001), quint8(0xFF));
        QCOMPARE(rig.at(0x0), quint8(0x33));
    }
    void serial_box_unchecked_after_load()
    {
        QTemporaryDir dir;
        ImageRig rig;
        rig.serial.texts = {QStringLiteral("0100"), QStringLiteral("2"), QStringLiteral("7"), QStringLiteral("1")};
        rig.serial.set_checked(true);
        QVERIFY(rig.serial.serial_active);
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("a.hex"), HexText::file(0, QByteArray::fromHex("01")))));
        QVERIFY(!rig.serial.checked);
        QVERIFY(!rig.serial.serial_active);
        QVERIFY(rig.serial.fields_enabled);
    }
    void choose_and_restore_file()
    {
        QTemporaryDir dir;
        ImageRig rig;
        const QString path = HexText::write(dir, QStringLiteral("pick.hex"), HexText::file(0, QByteArray::fromHex("42")));
        rig.dialogs.open_answers.enqueue(path);
        rig.loader.load_file();
        QCOMPARE(rig.dialogs.open_requests.size(), 1);
        QCOMPARE(rig.dialogs.open_requests[0].title, QStringLiteral("Open .hex or .bin file"));
        QCOMPARE(rig.image.frame_caption, QStringLiteral("File: ") + path);
        QCOMPARE(rig.settings.file_path(), path);
        QCOMPARE(rig.at(0), quint8(0x42));

        // Cancelling the next dialog keeps the remembered file as the preset.
        rig.image.file_path.clear();
        rig.loader.choose_program_file();
        QCOMPARE(rig.dialogs.open_requests[1].initial, path);
        QCOMPARE(rig.image.file_path, path);

        // Restoring a file that went away says so and keeps the path.
        QFile::remove(path);
        rig.image.file_path = QStringLiteral("keep");
        rig.loader.restore_program_file();
        QCOMPARE(rig.dialogs.texts().last(), QStringLiteral("Can not find the file./找不到文件"));
        QCOMPARE(rig.image.file_path, QStringLiteral("keep"));
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestHexLoader)
#include "test_hex_loader.moc"
