// The Soft ICE monitor image: every address range of the image for both monitor variants, with
// monitor files of the expected length, shorter and longer ones; the folder lookup; missing files
// and a "No" leave the buffer as it was.
#include "device/workbench.h"
#include "softice/monitor_tables.h"
#include "softice/softice_download.h"
#include "support/fake_serial_port.h"
#include "support/image_rig.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Distinct non-0xFF content so a misplaced byte shows.
QByteArray monitor_bytes(int size, int seed)
{
    QByteArray d(size, '\0');
    for (int i = 0; i < size; ++i)
        d[i] = char((i * 31 + seed) % 251);
    return d;
}

QByteArray glue_bytes(bool variant64)
{
    return QByteArray::fromHex(MonitorTables::glue(variant64).join(QString()).toLatin1());
}

QByteArray tail_bytes(bool variant64)
{
    return QByteArray::fromHex(MonitorTables::tail(variant64).join(QString()).toLatin1());
}

QByteArray range(const ImageRig& rig, int first, int last)
{
    return QByteArray(reinterpret_cast<const char*>(rig.image.program_buffer.data()) + first, last - first + 1);
}

// A workbench over a fake port with a program image loader beside it, as the CLI wires them.
struct BenchRig {
    BenchRig()
    {
        bench.select_model(QStringLiteral("ZVK7H64B"));
        bench.image.show_memory_ranges();
        for (int a = 0; a < ProgramImage::kSize; ++a)
            bench.image.program_buffer[size_t(a)] = quint8(a * 3 + 1);
        bench.image.image_start = 0x100;
        bench.image.image_end = 0x1FF;
        bench.image.file_loaded = false;
    }
    bool buffer_untouched() const
    {
        for (int a = 0; a < ProgramImage::kSize; ++a)
            if (bench.image.program_buffer[size_t(a)] != quint8(a * 3 + 1))
                return false;
        return bench.image.image_start == 0x100 && bench.image.image_end == 0x1FF && !bench.image.file_loaded;
    }
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    Workbench bench{&port, &dialogs};
    BufferView view{bench.image, &dialogs};
    SerialNumber serial{bench.image, bench.model, view, nullptr, &dialogs};
    FileLoader loader{bench.image, bench.model, serial, view, nullptr, &dialogs};
    SoftIceDownload softice{bench, loader, &view};
};

} // namespace

class TestSoftIceImage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        settings_ = use_throwaway_settings();
    }
    void image_ranges_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("common_size");
        QTest::addColumn<int>("model_size");
        QTest::addColumn<bool>("fill_ff");
        QTest::newRow("ZVK7H64B exact") << "ZVK7H64B" << 384 << 4096 << false;
        QTest::newRow("ZVK7H64B longer") << "ZVK7H64B" << 500 << 5000 << false;
        QTest::newRow("ZVK7H32B shorter, fill FF") << "ZVK7H32B" << 1 << 4095 << true;
        QTest::newRow("ZVK7H32B shorter") << "ZVK7H32B" << 100 << 1000 << false;
    }
    void image_ranges()
    {
        QFETCH(QString, model);
        QFETCH(int, common_size);
        QFETCH(int, model_size);
        QFETCH(bool, fill_ff);
        ImageRig rig(model);
        rig.image.fill_ff = fill_ff;
        QTemporaryDir dir;
        const QByteArray common = monitor_bytes(common_size, 7);
        const QByteArray monitor = monitor_bytes(model_size, 101);
        const QString common_path = HexText::write(dir, QStringLiteral("ZVK2000.rom"), common);
        const QString model_path = HexText::write(dir, rig.model.soft_ice_rom_name, monitor);
        const bool variant64 = MonitorTables::is_64k_variant(rig.model.soft_ice_rom_name);
        QCOMPARE(variant64, model == QLatin1String("ZVK7H64B"));

        SoftIceDownload::build_monitor_image(rig.image, rig.loader, &rig.view, common_path, model_path, variant64);

        // 0x0000..0x0002: the long jump to 0x2200.
        QCOMPARE(range(rig, 0, 2), QByteArray::fromHex("022200"));
        // 0x0003..0x1FFF: 0xFF, except what a longer model file left beyond its 4096 bytes.
        QByteArray low(0x1FFD, char(0xFF));
        if (model_size > 4096)
            low.replace(0x1000 - 3, model_size - 4096, monitor.mid(4096));
        QCOMPARE(range(rig, 3, 0x1FFF), low);
        // 0x2000..0x217F: the first 384 bytes of ZVK2000.rom, 0xFF where it is shorter.
        QByteArray body = common.left(384);
        body.append(QByteArray(384 - body.size(), char(0xFF)));
        QCOMPARE(range(rig, 0x2000, 0x217F), body);
        // 0x2180..0x22EF: the glue code; 0x22F0..0x22FF: 0xFF.
        QCOMPARE(range(rig, 0x2180, 0x22EF), glue_bytes(variant64));
        QCOMPARE(range(rig, 0x22F0, 0x22FF), QByteArray(16, char(0xFF)));
        // 0x2300..0x32FF: the first 4096 bytes of the model's monitor, 0xFF where it is shorter.
        QByteArray monitor_body = monitor.left(4096);
        monitor_body.append(QByteArray(4096 - monitor_body.size(), char(0xFF)));
        QCOMPARE(range(rig, 0x2300, 0x32FF), monitor_body);
        // 0x3300..0x335F: the tail code; 0x3360..0x3400: 0xFF.
        QCOMPARE(range(rig, 0x3300, 0x335F), tail_bytes(variant64));
        QCOMPARE(range(rig, 0x3360, 0x3400), QByteArray(0xA1, char(0xFF)));
        // Above 0x3400: 0x00; the binary load fills between the AP end and the data flash with the
        // fill byte (ZVK7H32B: 0x8000..0xDFFF).
        QByteArray high(0xFFFF - 0x3400, '\0');
        if (model == QLatin1String("ZVK7H32B") && fill_ff)
            high.replace(0x8000 - 0x3401, 0x6000, QByteArray(0x6000, char(0xFF)));
        QCOMPARE(range(rig, 0x3401, 0xFFFF), high);
        QVERIFY(rig.image.file_loaded);
        QCOMPARE(rig.image.frame_caption, QStringLiteral("File: "));
    }
    void folders_searched_in_order()
    {
        QTemporaryDir data;
        qputenv("ZVKISP_DATA_DIR", data.path().toLocal8Bit());
        const QStringList folders = SoftIceDownload::monitor_folders();
        QVERIFY(folders.size() >= 3);
        QCOMPARE(folders.at(0), QDir::cleanPath(data.path()));
        QCOMPARE(folders.at(1), QDir::cleanPath(QCoreApplication::applicationDirPath()));
        QCOMPARE(folders.at(2), QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zvkisp")));
        QVERIFY(SoftIceDownload::find_monitor_folder(QStringLiteral("ZVK2000.rom")).isEmpty());
        HexText::write(data, QStringLiteral("ZVK2000.rom"), "x");
        QCOMPARE(SoftIceDownload::find_monitor_folder(QStringLiteral("ZVK2000.rom")), QDir::cleanPath(data.path()));
        QCOMPARE(SoftIceDownload::program_folder(), QDir::cleanPath(data.path()));
        qunsetenv("ZVKISP_DATA_DIR");
    }
    void missing_file_leaves_buffer_data()
    {
        QTest::addColumn<bool>("common_present");
        QTest::addColumn<QString>("missing");   // the file named in the message, after the folder (if any)
        QTest::newRow("no ZVK2000.rom") << false << "ZVK2000.rom.";
        QTest::newRow("no model monitor: its full path") << true << "/ZVK64_2003.ROM";
    }
    void missing_file_leaves_buffer()
    {
        QFETCH(bool, common_present);
        QFETCH(QString, missing);
        QTemporaryDir data;
        qputenv("ZVKISP_DATA_DIR", data.path().toLocal8Bit());
        if (common_present) {
            HexText::write(data, QStringLiteral("ZVK2000.rom"), monitor_bytes(384, 1));
            HexText::write(data, QStringLiteral("ZVK32_2003.ROM"), monitor_bytes(4096, 1));   // the other variant
        } else {
            HexText::write(data, QStringLiteral("ZVK64_2003.ROM"), monitor_bytes(4096, 1));
        }
        BenchRig rig;
        rig.dialogs.yes_no_answers.clear();
        for (bool answer : {true, true})
            rig.dialogs.yes_no_answers.enqueue(answer);
        rig.softice.comDownSoft_ICE_Click();
        const QString path = common_present ? QDir::toNativeSeparators(QDir::cleanPath(data.path()) + missing) : missing;
        QCOMPARE(rig.dialogs.texts(), QStringList{QStringLiteral("找不到文件 ") + path});
        QVERIFY(rig.dialogs.questions.isEmpty());
        QVERIFY(rig.buffer_untouched());
        QVERIFY(rig.port.writes.isEmpty());
        QVERIFY(!rig.softice.succeeded);
        qunsetenv("ZVKISP_DATA_DIR");
    }
    void no_to_either_question_leaves_buffer_data()
    {
        QTest::addColumn<bool>("first");
        QTest::addColumn<int>("questions");
        QTest::newRow("no to the first") << false << 1;
        QTest::newRow("no to the second") << true << 2;
    }
    void no_to_either_question_leaves_buffer()
    {
        QFETCH(bool, first);
        QFETCH(int, questions);
        QTemporaryDir data;
        qputenv("ZVKISP_DATA_DIR", data.path().toLocal8Bit());
        HexText::write(data, QStringLiteral("ZVK2000.rom"), monitor_bytes(384, 1));
        HexText::write(data, QStringLiteral("ZVK64_2003.ROM"), monitor_bytes(4096, 1));
        BenchRig rig;
        rig.dialogs.yes_no_answers.clear();
        for (bool answer : {first, false})
            rig.dialogs.yes_no_answers.enqueue(answer);
        rig.softice.comDownSoft_ICE_Click();
        QCOMPARE(rig.dialogs.questions.size(), questions);
        QCOMPARE(rig.dialogs.questions.at(0),
                 QStringLiteral("Write SoftICE program, the DownLoad Code will be erased!\r\n"
                                " Chinese: 烧录 SoftICE 程序, 将会删除下载引导码。\r\n\r\n"
                                "          Continue?/ 继续吗?  (Y/N)"));
        if (questions == 2)
            QCOMPARE(rig.dialogs.questions.at(1), QStringLiteral("Please check MCU type / 请确认 MCU 型号是否正确\r\n\r\n"
                                                                 "        Continue?/ 继续吗?  (Y/N)"));
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(rig.buffer_untouched());
        QVERIFY(rig.port.writes.isEmpty());
        qunsetenv("ZVKISP_DATA_DIR");
    }

private:
    std::unique_ptr<QTemporaryDir> settings_;
};

QTEST_GUILESS_MAIN(TestSoftIceImage)
#include "test_softice_image.moc"
