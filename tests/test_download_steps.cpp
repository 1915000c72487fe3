// The download road's decisions over a scripted port: erase page counts, block order and chunk
// cutting, resend codes, the gap switch, the top-area cut, the option bytes and the report texts.
#include "device/workbench.h"
#include "isp/frames.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QtTest>

namespace {

struct Chunk {
    qint32 address;
    int length;
    quint8 code;
    quint32 gap;
};

// A workbench over a fake port whose far end answers like a willing boot loader unless a test
// says otherwise.
struct Rig {
    explicit Rig(const QString& model_name)
    {
        bench.select_model(model_name);
        bench.link.set_port_device(QStringLiteral("fake"));
        bench.link.set_settings(QStringLiteral("115200,n,8,1"));
        bench.link.open_port();
        bench.results.clock_hz = 11059200;
        bench.link.reply_armed = true;   // as the erase before programming leaves it
        port.responder = FakeSerialPort::frame_responder([this](const QByteArray& f) {
            const QByteArray answer = on_frame(f);
            return answer.isEmpty() || !bench.link.prefix_mode ? answer : QByteArray::fromHex("46b9") + answer;
        });
        bench.programmer.chunk_observer = [this](qint32 a, int n, bool, quint32 gap) { chunks.append({a, n, 0, gap}); };
    }

    QByteArray on_frame(const QByteArray& f)
    {
        frames << f;
        if (quint8(f[0]) == Frames::kCustomStart0) {
            // Custom program frame: answer with the plain sum of the data in bytes 5 and 6.
            const int n = quint8(f[9]) * 256 + quint8(f[10]);
            const quint32 sum = Frames::sum_plain(f.mid(11, n));
            custom_addresses << ((quint8(f[7]) << 8) | quint8(f[8]));
            return Frames::custom_frame(quint8(f[4]), QByteArray(1, char(sum >> 8)) + char(sum & 0xFF));
        }
        const quint8 code = quint8(f[3]);
        if (code == Frames::Program || code == Frames::ProgramAgain) {
            if (!chunks.isEmpty())
                chunks.last().code = code;
            const QByteArray data = f.mid(10, quint8(f[8]) * 256 + quint8(f[9]));
            const bool fail = fail_program && fail_program((quint8(f[6]) << 8) | quint8(f[7]));
            return Frames::reply_frame(QByteArray("\x80", 1) + char(Frames::sum8(data) + (fail ? 1 : 0)));
        }
        if (code == Frames::SetOptions) {
            if (!ignore_options)
                chip_options = quint8(f[4]);
            return Frames::reply_frame(QByteArray(1, char(code)));
        }
        if (code == Frames::ReadStatus)
            return Frames::reply_frame(QByteArray(1, char(code)) + QByteArray(7, '\0') + char(chip_version) + 'C' +
                                       char(chip_options));
        if (code == Frames::Erase)
            return Frames::reply_frame(QByteArray(1, char(code)));
        return {};
    }

    void set_image(qint32 start, qint32 end)
    {
        for (int a = 0; a < ProgramImage::kSize; ++a)
            bench.image.program_buffer[size_t(a)] = quint8(a * 7 + 3);
        bench.image.image_start = start;
        bench.image.image_end = end;
        bench.image.file_loaded = true;
    }
    int program(bool fast)
    {
        int result = -1;
        bench.programmer.program_image(fast, result);
        return result;
    }
    QList<QByteArray> frames_with(quint8 code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : frames)
            if (quint8(f[3]) == code)
                out << f;
        return out;
    }
    QString chunk_list() const
    {
        QStringList parts;
        for (const Chunk& c : chunks)
            parts << QStringLiteral("%1+%2").arg(c.address).arg(c.length);
        return parts.join(QLatin1Char(','));
    }

    FakeSerialPort port;
    ScriptedDialogs dialogs;
    Workbench bench{&port, &dialogs};
    QList<QByteArray> frames;
    QList<Chunk> chunks;
    QList<qint32> custom_addresses;
    std::function<bool(qint32)> fail_program;
    quint8 chip_options = 0xFF;
    quint8 chip_version = 0x28;
    bool ignore_options = false;
};

} // namespace

class TestDownloadSteps : public QObject {
    Q_OBJECT
private slots:
    // ---- Erase -----------------------------------------------------------------------------------
    void erase_page_count_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("tenths");
        QTest::addColumn<int>("image_end");
        QTest::addColumn<int>("pages");
        QTest::newRow("64B+ top 2560") << "ZVK7H64B+" << 2560 << "B" << 28 << 0xFFFF << 121;
        QTest::newRow("C 2.8 end 511") << "ZVK7H64B+" << 1024 << "C" << 28 << 511 << 1;
        QTest::newRow("C 2.8 end 512") << "ZVK7H64B+" << 1024 << "C" << 28 << 512 << 2;
        QTest::newRow("C 2.8 capped by table") << "ZVK7H04A" << 1024 << "C" << 28 << 0xFFFF << 28;
        QTest::newRow("C 2.7 ignores end") << "ZVK7H64B+" << 1024 << "C" << 27 << 2999 << 124;
        QTest::newRow("B 2.8 ignores end") << "ZVK7H64B+" << 1024 << "B" << 28 << 2999 << 124;
        QTest::newRow("64D") << "ZVK7L64D" << 1024 << "B" << 28 << 0 << 126;
        QTest::newRow("32D") << "ZVK7L32D" << 2048 << "B" << 28 << 0 << 64;
        QTest::newRow("04A top 2048") << "ZVK7H04A" << 2048 << "A" << 28 << 0 << 26;
        QTest::newRow("family 0 model") << "ZVK7H64B" << 1024 << "B" << 28 << 0 << 255;
        QTest::newRow("typed B2 model") << "ZVK7H08B2" << 1024 << "C" << 28 << 100 << 1;
    }
    void erase_page_count()
    {
        QFETCH(QString, model);
        QFETCH(int, top);
        QFETCH(QString, variant);
        QFETCH(int, tenths);
        QFETCH(int, image_end);
        QTEST(Eraser::page_count(model, top, variant, tenths, image_end), "pages");
    }

    void erase_frame_uses_whole_version_for_the_top_area()
    {
        // Family 2 without the extended status byte: the erase looks the top area up by the
        // whole-number part of the version ("2"), which gives 1024 bytes, so 124 pages.
        Rig rig(QStringLiteral("ZVK7H64B+"));
        rig.bench.status.firmware_version = QStringLiteral("2.8");
        rig.bench.status.firmware_variant = QStringLiteral("B");
        rig.bench.status.extended_status = false;
        rig.bench.status.reserved_top_size = 2048;
        rig.set_image(0, 1000);
        rig.bench.eraser.erase_application();
        QVERIFY(rig.bench.link.reply_received);
        QCOMPARE(rig.frames_with(Frames::Erase), QList<QByteArray>{QByteArray::fromHex("6a0007847c7116")});
        QCOMPARE(rig.bench.log.lines().mid(0, 3),
                 QStringList({"Connection is OK... / 握手成功...", "We are erasing application flash...",
                              "正在擦除应用程序区..."}));
    }

    // ---- Program and verify ----------------------------------------------------------------------
    void block_order_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("chunks");
        QTest::newRow("family 2, last block first")
            << "ZVK7H64B+" << 0 << 1000 << "512+128,640+128,768+128,896+105,0+128,128+128,256+128,384+128";
        QTest::newRow("family 0, ascending")
            << "ZVK7H64B" << 0 << 1000 << "0+128,128+128,256+128,384+128,512+128,640+128,768+128,896+105";
        QTest::newRow("unaligned start overlaps")
            << "ZVK7H64B+" << 16 << 1000 << "512+128,640+128,768+128,896+105,16+128,128+128,256+128,384+128";
        QTest::newRow("short image up to 639") << "ZVK7H64B+" << 0 << 99 << "512+128,0+128,128+128,256+128,384+128";
        QTest::newRow("one block") << "ZVK7H64B+" << 1024 << 1100 << "1024+77";
        QTest::newRow("one block family 1") << "ZVK7L32D" << 1030 << 1535 << "1030+128,1152+128,1280+128,1408+128";
    }
    void block_order()
    {
        QFETCH(QString, model);
        QFETCH(int, start);
        QFETCH(int, end);
        Rig rig(model);
        rig.set_image(start, end);
        QCOMPARE(rig.program(rig.bench.model.block_size > 128), 0);
        QTEST(rig.chunk_list(), "chunks");
        for (const Chunk& c : rig.chunks)
            QCOMPARE(c.code, quint8(Frames::Program));
    }

    void retry_marks_only_the_first_frame_of_the_block_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("failing");
        QTest::addColumn<QString>("codes");   // address:code of every frame sent
        QTest::newRow("one block") << "ZVK7H64B+" << 1024 << 1100 << 1024 << "1024:00,1024:30";
        QTest::newRow("last block's first chunk")
            << "ZVK7H64B+" << 0 << 1000 << 512 << "512:00,512:30,640:00,768:00,896:00,0:00,128:00,256:00,384:00";
        QTest::newRow("second chunk of a block")
            << "ZVK7H64B+" << 0 << 1000 << 640
            << "512:00,640:00,512:30,640:00,768:00,896:00,0:00,128:00,256:00,384:00";
        QTest::newRow("family 0 middle block")
            << "ZVK7H32B" << 0 << 300 << 128 << "0:00,128:00,128:30,256:00,384:00,512:00";
    }
    void retry_marks_only_the_first_frame_of_the_block()
    {
        QFETCH(QString, model);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, failing);
        Rig rig(model);
        rig.set_image(start, end);
        int failures_left = 1;
        rig.fail_program = [&](qint32 a) { return a == failing && failures_left-- > 0; };
        QCOMPARE(rig.program(rig.bench.model.block_size > 128), 0);
        QStringList seen;
        for (const QByteArray& f : rig.frames)
            seen << QStringLiteral("%1:%2").arg((quint8(f[6]) << 8) | quint8(f[7])).arg(quint8(f[3]), 2, 16, QLatin1Char('0'));
        QTEST(seen.join(QLatin1Char(',')), "codes");
    }

    void three_failures_switch_to_the_calibrated_gap()
    {
        Rig rig(QStringLiteral("ZVK7H64B+"));
        rig.bench.link.byte_gap_loops = 777;
        rig.set_image(0, 2047);
        int failures_left = 3;
        rig.fail_program = [&](qint32 a) { return a == 0 && failures_left-- > 0; };
        QCOMPARE(rig.program(true), 0);
        QStringList gaps;
        for (const Chunk& c : rig.chunks)
            gaps << QStringLiteral("%1:%2").arg(c.address).arg(c.gap);
        // The last block goes first with the calibrated gap; the middle blocks start fast; three
        // failures of block 0 switch every later frame to the calibrated gap.
        QCOMPARE(gaps.mid(0, 4).join(QLatin1Char(',')), QStringLiteral("1536:777,1664:777,1792:777,1920:777"));
        QCOMPARE(gaps.mid(4, 3).join(QLatin1Char(',')), QStringLiteral("0:1,0:1,0:1"));
        for (int i = 7; i < gaps.size(); ++i)
            QVERIFY2(gaps[i].endsWith(QLatin1String(":777")), qPrintable(gaps[i]));
        QCOMPARE(rig.chunks.size(), 4 + 3 + 12);
    }

    void six_failures_in_a_row_end_the_image()
    {
        Rig rig(QStringLiteral("ZVK7H64B+"));
        rig.set_image(0, 2047);
        int failures_left = 2;
        // Two failures of block 0, success, then block 1 fails for good: the counter started again.
        rig.fail_program = [&](qint32 a) { return (a == 0 && failures_left-- > 0) || a == 512; };
        QCOMPARE(rig.program(true), -1);
        int at_512 = 0;
        for (const Chunk& c : rig.chunks)
            at_512 += c.address == 512;
        QCOMPARE(at_512, 6);
    }

    void short_echo_reply_passes_and_wrong_code_fails()
    {
        const QByteArray data = QByteArray::fromHex("0102030405");
        auto check = [&](const char* reply_hex, bool custom) {
            const QByteArray reply = custom ? QByteArray::fromHex(reply_hex) : Frames::reply_frame(QByteArray::fromHex(reply_hex));
            return Programmer::acknowledges(reinterpret_cast<const quint8*>(reply.constData()), reply.size(), data, custom);
        };
        QVERIFY(check("80", false));
        QVERIFY(!check("81", false));
        QVERIFY(check("800f", false));
        QVERIFY(!check("8010", false));
        QVERIFY(check("5aa50009b3000f0000", true));
        QVERIFY(!check("5aa50009b3000e0000", true));
    }

    void top_area_cut()
    {
        Rig rig(QStringLiteral("ZVK7H64B+"));
        rig.bench.status.extended_status = true;
        rig.bench.status.reserved_top_size = 2048;
        rig.set_image(0, 0xFFFF);
        QCOMPARE(rig.program(true), 0);
        QVERIFY(rig.bench.log.lines().contains(QStringLiteral("Enable 61K file size for this Version firmware.")));
        QVERIFY(rig.bench.log.lines().contains(QStringLiteral("Chinese:此版本固件最多可编程 61K, 文件超长部分不下载。")));
        QCOMPARE(rig.dialogs.beeps, 2);
        qint32 highest = 0;
        for (const Chunk& c : rig.chunks)
            highest = qMax(highest, c.address + c.length - 1);
        QCOMPARE(highest, 62463);
        QCOMPARE(rig.chunks.first().address, 62464 - 512);
        QCOMPARE(rig.bench.controls.progress.kbyte_label, QStringLiteral("61.000K"));
    }

    void frames_carry_buffer_bytes_and_checksum()
    {
        Rig rig(QStringLiteral("ZVK7H64B"));
        rig.bench.link.prefix_mode = true;
        rig.set_image(0x1000, 0x107F);
        QCOMPARE(rig.program(false), 0);
        // Prefix first, then the frame with its data from the buffer, sum and end byte.
        const QByteArray wire = rig.port.written();
        QVERIFY(wire.startsWith(QByteArray::fromHex("46b9")));
        const QByteArray data(reinterpret_cast<const char*>(rig.bench.image.program_buffer.data()) + 0x1000, 128);
        QCOMPARE(wire.mid(2), Programmer::program_frame(0x1000, data, false));
        QCOMPARE(wire.mid(2, 10), QByteArray::fromHex("6a008c0000001000 0080"));
    }

    void custom_frames_and_no_top_cut()
    {
        QCOMPARE(Programmer::custom_program_frame(0x0100, QByteArray::fromHex("010203"), false).toHex(),
                 QByteArray("5aa50011b30000010000030102030" "1cd16"));
        QCOMPARE(Programmer::custom_program_frame(0x0100, QByteArray::fromHex("010203"), true).toHex(),
                 QByteArray("5aa50011b40000010000030102030" "1ce16"));
        // The custom download programs past the top area the boot loader keeps.
        Rig rig(QStringLiteral("ZVK7H64B+"));
        rig.bench.link.custom_frame_mode = true;
        rig.bench.status.extended_status = true;
        rig.bench.status.reserved_top_size = 2048;
        rig.set_image(0xF000, 0xF7FF);
        QCOMPARE(rig.program(true), 0);
        QCOMPARE(rig.custom_addresses.first(), 0xF600);
        QCOMPARE(rig.custom_addresses.last(), 0xF580);
        QCOMPARE(rig.custom_addresses.size(), 16);
        QVERIFY(!rig.bench.log.text().contains(QLatin1String("Enable")));
    }

    // ---- Options ---------------------------------------------------------------------------------
    void family2_options_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("chip_byte");     // the option byte the chip reported
        QTest::addColumn<QString>("choices");   // D double speed, H half gain, E erase data, P P1.0/P1.1,
                                                // A no aux RAM, W no watchdog close on reset
        QTest::addColumn<QByteArray>("data");   // of the option frame; empty: none sent
        QTest::newRow("double + half: alternate reload") << "2.8" << 0xFF << "DH" << QByteArray::fromHex("ecaabb");
        QTest::newRow("defaults") << "2.8" << 0xFF << "H" << QByteArray::fromHex("ed1122");
        QTest::newRow("everything cleared") << "2.8" << 0xFF << "DHEPAW" << QByteArray::fromHex("20aabb");
        QTest::newRow("erase data, P1.0/P1.1") << "2.8" << 0xFF << "EP" << QByteArray::fromHex("f11122");
        QTest::newRow("chip already right: nothing to write") << "2.8" << 0xEC << "DH" << QByteArray();
        QTest::newRow("bit 1 still set: written") << "2.8" << 0xEE << "DH" << QByteArray::fromHex("ecaabb");
        QTest::newRow("old firmware logs nothing") << "2.7" << 0xFF << "" << QByteArray::fromHex("fd1122");
    }
    void family2_options()
    {
        QFETCH(QString, version);
        QFETCH(int, chip_byte);
        QFETCH(QString, choices);
        QFETCH(QByteArray, data);
        Rig rig(QStringLiteral("ZVK7H32B+"));
        rig.bench.status.firmware_version = version;
        rig.chip_version = version == QLatin1String("2.7") ? 0x27 : 0x28;
        rig.bench.status.option_byte = quint8(chip_byte);
        rig.bench.results.baud_reload_hi = 0x11;
        rig.bench.results.baud_reload_lo = 0x22;
        rig.bench.results.alt_reload_hi = 0xAA;
        rig.bench.results.alt_reload_lo = 0xBB;
        rig.bench.options.set_double_speed(choices.contains(QLatin1Char('D')));
        rig.bench.options.set_half_gain(choices.contains(QLatin1Char('H')));
        rig.bench.options.erase_data_yes = choices.contains(QLatin1Char('E'));
        rig.bench.options.p10_p11_to_gnd_yes = choices.contains(QLatin1Char('P'));
        rig.bench.options.aux_ram_no = choices.contains(QLatin1Char('A'));
        rig.bench.options.rst_close_wdt_no = choices.contains(QLatin1Char('W'));
        rig.bench.link.reply_received = false;
        rig.bench.option_writer.comLock_Click();
        QVERIFY(rig.bench.link.reply_received);
        const QList<QByteArray> sets = rig.frames_with(Frames::SetOptions);
        if (data.isEmpty()) {
            QVERIFY(sets.isEmpty());
            QVERIFY(rig.port.written().contains(QByteArray::fromHex("6a000682f216")));
            QVERIFY(rig.bench.results.status_read_ok);
            QVERIFY(!rig.bench.link.port_open());
            return;
        }
        QCOMPARE(sets, QList<QByteArray>{Frames::command_frame(Frames::SetOptions, data)});
        if (version == QLatin1String("2.8")) {
            QCOMPARE(rig.bench.log.lines().last(), QStringLiteral("Config option OK. / 设置选项成功。"));
        } else {
            for (const QString& line : rig.bench.log.lines())
                QVERIFY2(!line.contains(QLatin1String("OK")) && !line.contains(QLatin1String("error")), qPrintable(line));
        }
    }

    void lock_byte_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("double_speed");
        QTest::addColumn<QString>("frame");     // empty: nothing sent, nothing logged
        QTest::addColumn<QString>("message");
        QTest::newRow("family 0, double speed") << "ZVK7H64B" << true << "6a00078d484616"
                                                << "Lock Chip, set 6 Clock OK/设置加密位,双倍速成功";
        QTest::newRow("family 0, single speed") << "ZVK7H64B" << false << "6a00078d403e16" << "Lock Chip OK/设置加密位成功";
        QTest::newRow("family 1 sends nothing") << "ZVK7L64D" << true << "" << "";
    }
    void lock_byte()
    {
        QFETCH(QString, model);
        QFETCH(bool, double_speed);
        QFETCH(QString, frame);
        QFETCH(QString, message);
        Rig rig(model);
        rig.bench.options.set_double_speed(double_speed);
        rig.port.clear_record();
        rig.bench.option_writer.comLock_Click();
        if (frame.isEmpty()) {
            QVERIFY(rig.port.written().isEmpty());
            QVERIFY(rig.bench.log.text().isEmpty());
            return;
        }
        QCOMPARE(rig.frames_with(Frames::SetOptions), QList<QByteArray>{QByteArray::fromHex(frame.toLatin1())});
        const QString last = rig.bench.log.lines().last();
        QVERIFY2(last.startsWith(message + QStringLiteral(" (End: ")) && last.endsWith(QLatin1Char(')')), qPrintable(last));
        QVERIFY(rig.bench.results.status_read_ok);
    }

    // ---- Texts -----------------------------------------------------------------------------------
    void texts_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::newRow("K: half") << "kbyte" << "512" << ".500K";
        QTest::newRow("K: one") << "kbyte" << "1024" << "1.000K";
        QTest::newRow("K: tie rounds up") << "kbyte" << "64" << ".063K";
        QTest::newRow("K: 62K") << "kbyte" << "63488" << "62.000K";
        QTest::newRow("K: 1001") << "kbyte" << "1001" << ".978K";
        QTest::newRow("time 75") << "time" << "75" << "01:15";
        QTest::newRow("time 6125 keeps two minute digits") << "time" << "6125" << "02:05";
        QTest::newRow("time 3600") << "time" << "3600" << "60:00";
        QTest::newRow("pause 5") << "pause" << "5" << "5";
        QTest::newRow("pause negative") << "pause" << "-3" << "-3";
        QTest::newRow("pause trailing text") << "pause" << "7 s" << "7";
    }
    void texts()
    {
        QFETCH(QString, what);
        QFETCH(QString, input);
        const QString got = what == QLatin1String("kbyte") ? Programmer::kbyte_text(input.toLongLong())
                            : what == QLatin1String("time") ? Sequencer::total_time_text(input.toLongLong())
                                                            : QString::number(Sequencer::pause_seconds(input));
        QTEST(got, "text");
    }
};

QTEST_GUILESS_MAIN(TestDownloadSteps)
#include "test_download_steps.moc"
