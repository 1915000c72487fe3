// The download road's decisions over a scripted port: erase page counts, block order and chunk
// cutting, resend codes, the gap switch, the top-area cut, the option bytes and the report texts.
#include "device/workbench.h"
#include "isp/frames.h"
#include "isp/user_dialogs.h"
#include "support/fake_serial_port.h"

#include <QtTest>

namespace {

class ScriptDialogs : public UserDialogs {
public:
    void beep() override { ++beeps; }
    void message_box(const QString& text, const QString&, Icon) override { boxes << text; }
    bool ask_yes_no(const QString&, const QString&) override { return false; }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return {}; }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return {}; }
    int beeps = 0;
    QStringList boxes;
};

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
        bench.programmer.chunk_observer = [this](qint32 a, int n, bool, quint32 gap) {
            chunks.append({a, n, 0, gap});
        };
    }

    QByteArray on_frame(const QByteArray& f)
    {
        frames << f;
        if (quint8(f[0]) == Frames::kCustomStart0) {
            // Custom program frame: answer with the plain sum of the data in bytes 5 and 6.
            const int n = quint8(f[9]) * 256 + quint8(f[10]);
            const quint32 sum = Frames::sum_plain(f.mid(11, n));
            custom_addresses << ((quint8(f[7]) << 8) | quint8(f[8]));
            QByteArray echo;
            echo.append(char((sum >> 8) & 0xFF)).append(char(sum & 0xFF));
            return Frames::custom_frame(quint8(f[4]), echo);
        }
        const quint8 code = quint8(f[3]);
        if (code == Frames::Program || code == Frames::ProgramAgain) {
            if (!chunks.isEmpty())
                chunks.last().code = code;
            const int n = quint8(f[8]) * 256 + quint8(f[9]);
            const QByteArray data = f.mid(10, n);
            const qint32 address = (quint8(f[6]) << 8) | quint8(f[7]);
            if (fail_program && fail_program(address))
                return Frames::reply_frame(QByteArray("\x80", 1) + char(Frames::sum8(data) + 1));
            return Frames::reply_frame(QByteArray("\x80", 1) + char(Frames::sum8(data)));
        }
        if (code == Frames::SetOptions) {
            if (!ignore_options)
                chip_options = quint8(f[4]);
            return Frames::reply_frame(QByteArray(1, char(code)));
        }
        if (code == Frames::ReadStatus) {
            QByteArray contents(8, '\0');
            contents[0] = char(Frames::ReadStatus);
            contents.append(char(chip_version)).append('C').append(char(chip_options));
            return Frames::reply_frame(contents);
        }
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
    ScriptDialogs dialogs;
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
    // ---- Erase --------------------------------------------------------------------------------
    void erase_page_count_data();
    void erase_page_count();
    void erase_frame_uses_whole_version_for_the_top_area();

    // ---- Program and verify -------------------------------------------------------------------
    void block_order_data();
    void block_order();
    void retry_marks_only_the_first_frame_of_the_block_data();
    void retry_marks_only_the_first_frame_of_the_block();
    void three_failures_switch_to_the_calibrated_gap();
    void six_failures_in_a_row_end_the_image();
    void short_echo_reply_passes_and_wrong_code_fails();
    void top_area_cut();
    void kbyte_label_data();
    void kbyte_label();
    void frames_carry_buffer_bytes_and_checksum();
    void custom_frames_and_no_top_cut();

    // ---- Options ------------------------------------------------------------------------------
    void family2_option_frame_data();
    void family2_option_frame();
    void family2_nothing_to_write();
    void family2_old_firmware_logs_nothing();
    void family0_lock_byte_data();
    void family0_lock_byte();
    void family1_sends_nothing();

    // ---- Sequencer ----------------------------------------------------------------------------
    void total_time_data();
    void total_time();
    void pause_text_data();
    void pause_text();
};

void TestDownloadSteps::erase_page_count_data()
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

void TestDownloadSteps::erase_page_count()
{
    QFETCH(QString, model);
    QFETCH(int, top);
    QFETCH(QString, variant);
    QFETCH(int, tenths);
    QFETCH(int, image_end);
    QFETCH(int, pages);
    QCOMPARE(Eraser::page_count(model, top, variant, tenths, image_end), pages);
}

void TestDownloadSteps::erase_frame_uses_whole_version_for_the_top_area()
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
    const QList<QByteArray> erases = rig.frames_with(Frames::Erase);
    QCOMPARE(erases.size(), 1);
    QCOMPARE(erases.first(), QByteArray::fromHex("6a0007847c7116"));
    QCOMPARE(rig.bench.log.lines().mid(0, 3),
             QStringList({"Connection is OK... / 握手成功...", "We are erasing application flash...",
                          "正在擦除应用程序区..."}));
}

void TestDownloadSteps::block_order_data()
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

void TestDownloadSteps::block_order()
{
    QFETCH(QString, model);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, chunks);
    Rig rig(model);
    rig.set_image(start, end);
    int result = -1;
    rig.bench.programmer.program_image(rig.bench.model.block_size > 128, result);
    QCOMPARE(result, 0);
    QCOMPARE(rig.chunk_list(), chunks);
    for (const Chunk& c : rig.chunks)
        QCOMPARE(c.code, quint8(Frames::Program));
}

void TestDownloadSteps::retry_marks_only_the_first_frame_of_the_block_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("failing");
    QTest::addColumn<QString>("codes");   // address:code of every frame sent
    QTest::newRow("one block") << "ZVK7H64B+" << 1024 << 1100 << 1024 << "1024:00,1024:30";
    QTest::newRow("last block's first chunk")
        << "ZVK7H64B+" << 0 << 1000 << 512
        << "512:00,512:30,640:00,768:00,896:00,0:00,128:00,256:00,384:00";
    QTest::newRow("second chunk of a block")
        << "ZVK7H64B+" << 0 << 1000 << 640
        << "512:00,640:00,512:30,640:00,768:00,896:00,0:00,128:00,256:00,384:00";
    QTest::newRow("family 0 middle block")
        << "ZVK7H32B" << 0 << 300 << 128 << "0:00,128:00,128:30,256:00,384:00,512:00";
}

void TestDownloadSteps::retry_marks_only_the_first_frame_of_the_block()
{
    QFETCH(QString, model);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, failing);
    QFETCH(QString, codes);
    Rig rig(model);
    rig.set_image(start, end);
    int failures_left = 1;
    rig.fail_program = [&](qint32 a) { return a == failing && failures_left-- > 0; };
    int result = -1;
    rig.bench.programmer.program_image(rig.bench.model.block_size > 128, result);
    QCOMPARE(result, 0);
    QStringList seen;
    for (const QByteArray& f : rig.frames)
        seen << QStringLiteral("%1:%2")
                    .arg((quint8(f[6]) << 8) | quint8(f[7]))
                    .arg(quint8(f[3]), 2, 16, QLatin1Char('0'));
    QCOMPARE(seen.join(QLatin1Char(',')), codes);
}

void TestDownloadSteps::three_failures_switch_to_the_calibrated_gap()
{
    Rig rig(QStringLiteral("ZVK7H64B+"));
    rig.bench.link.byte_gap_loops = 777;
    rig.set_image(0, 2047);
    int failures_left = 3;
    rig.fail_program = [&](qint32 a) { return a == 0 && failures_left-- > 0; };
    int result = -1;
    rig.bench.programmer.program_image(true, result);
    QCOMPARE(result, 0);
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

void TestDownloadSteps::six_failures_in_a_row_end_the_image()
{
    Rig rig(QStringLiteral("ZVK7H64B+"));
    rig.set_image(0, 2047);
    int failures_left = 2;
    // Two failures of block 0, success, then block 1 fails for good: the counter started again.
    rig.fail_program = [&](qint32 a) { return (a == 0 && failures_left-- > 0) || a == 512; };
    int result = 0;
    rig.bench.programmer.program_image(true, result);
    QCOMPARE(result, -1);
    int at_512 = 0;
    for (const Chunk& c : rig.chunks)
        at_512 += c.address == 512;
    QCOMPARE(at_512, 6);
}

void TestDownloadSteps::short_echo_reply_passes_and_wrong_code_fails()
{
    const QByteArray data = QByteArray::fromHex("0102030405");
    const QByteArray short_ok = Frames::reply_frame(QByteArray("\x80", 1));
    const QByteArray short_bad = Frames::reply_frame(QByteArray("\x81", 1));
    const QByteArray echo_ok = Frames::reply_frame(QByteArray("\x80\x0f", 2));
    const QByteArray echo_bad = Frames::reply_frame(QByteArray("\x80\x10", 2));
    auto check = [&](const QByteArray& reply) {
        return Programmer::acknowledges(reinterpret_cast<const quint8*>(reply.constData()), reply.size(), data,
                                        false);
    };
    QVERIFY(check(short_ok));
    QVERIFY(!check(short_bad));
    QVERIFY(check(echo_ok));
    QVERIFY(!check(echo_bad));
    QByteArray custom = QByteArray::fromHex("5aa50009b3000f0000");
    QVERIFY(Programmer::acknowledges(reinterpret_cast<const quint8*>(custom.constData()), custom.size(), data, true));
    custom[6] = 0x0e;
    QVERIFY(!Programmer::acknowledges(reinterpret_cast<const quint8*>(custom.constData()), custom.size(), data, true));
}

void TestDownloadSteps::top_area_cut()
{
    Rig rig(QStringLiteral("ZVK7H64B+"));
    rig.bench.status.extended_status = true;
    rig.bench.status.reserved_top_size = 2048;
    rig.set_image(0, 0xFFFF);
    int result = -1;
    rig.bench.programmer.program_image(true, result);
    QCOMPARE(result, 0);
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

void TestDownloadSteps::kbyte_label_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << qint64(512) << ".500K";
    QTest::newRow("one") << qint64(1024) << "1.000K";
    QTest::newRow("tie rounds up") << qint64(64) << ".063K";
    QTest::newRow("62K") << qint64(63488) << "62.000K";
    QTest::newRow("1001") << qint64(1001) << ".978K";
}

void TestDownloadSteps::kbyte_label()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(Programmer::kbyte_text(bytes), text);
}

void TestDownloadSteps::frames_carry_buffer_bytes_and_checksum()
{
    Rig rig(QStringLiteral("ZVK7H64B"));
    rig.bench.link.prefix_mode = true;
    rig.set_image(0x1000, 0x107F);
    int result = -1;
    rig.bench.programmer.program_image(false, result);
    QCOMPARE(result, 0);
    // Prefix first, then the frame with its data from the buffer, sum and end byte.
    const QByteArray wire = rig.port.written();
    QVERIFY(wire.startsWith(QByteArray::fromHex("46b9")));
    const QByteArray data(reinterpret_cast<const char*>(rig.bench.image.program_buffer.data()) + 0x1000, 128);
    QCOMPARE(wire.mid(2), Programmer::program_frame(0x1000, data, false));
    QCOMPARE(wire.mid(2, 10), QByteArray::fromHex("6a008c0000001000 0080"));
}

void TestDownloadSteps::custom_frames_and_no_top_cut()
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
    int result = -1;
    rig.bench.programmer.program_image(true, result);
    QCOMPARE(result, 0);
    QCOMPARE(rig.custom_addresses.first(), 0xF600);
    QCOMPARE(rig.custom_addresses.last(), 0xF580);
    QCOMPARE(rig.custom_addresses.size(), 16);
    QVERIFY(!rig.bench.log.text().contains(QLatin1String("Enable")));
}

void TestDownloadSteps::family2_option_frame_data()
{
    QTest::addColumn<bool>("double_speed");
    QTest::addColumn<bool>("half_gain");
    QTest::addColumn<bool>("erase_data");
    QTest::addColumn<bool>("p10");
    QTest::addColumn<bool>("aux_no");
    QTest::addColumn<bool>("wdt_no");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("double + half: alternate reload") << true << true << false << false << false << false
                                                    << QByteArray::fromHex("ecaabb");
    QTest::newRow("defaults") << false << true << false << false << false << false << QByteArray::fromHex("ed1122");
    QTest::newRow("everything cleared") << true << true << true << true << true << true
                                        << QByteArray::fromHex("20aabb");
    QTest::newRow("erase data, P1.0/P1.1") << false << false << true << true << false << false
                                           << QByteArray::fromHex("f11122");
}

void TestDownloadSteps::family2_option_frame()
{
    QFETCH(bool, double_speed);
    QFETCH(bool, half_gain);
    QFETCH(bool, erase_data);
    QFETCH(bool, p10);
    QFETCH(bool, aux_no);
    QFETCH(bool, wdt_no);
    QFETCH(QByteArray, data);
    Rig rig(QStringLiteral("ZVK7H32B+"));
    rig.bench.status.firmware_version = QStringLiteral("2.8");
    rig.bench.status.option_byte = 0xFF;
    rig.bench.results.baud_reload_hi = 0x11;
    rig.bench.results.baud_reload_lo = 0x22;
    rig.bench.results.alt_reload_hi = 0xAA;
    rig.bench.results.alt_reload_lo = 0xBB;
    rig.bench.options.set_double_speed(double_speed);
    rig.bench.options.set_half_gain(half_gain);
    rig.bench.options.erase_data_yes = erase_data;
    rig.bench.options.p10_p11_to_gnd_yes = p10;
    rig.bench.options.aux_ram_no = aux_no;
    rig.bench.options.rst_close_wdt_no = wdt_no;
    rig.bench.option_writer.comLock_Click();
    const QList<QByteArray> sets = rig.frames_with(Frames::SetOptions);
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets.first(), Frames::command_frame(Frames::SetOptions, data));
    QVERIFY(rig.bench.link.reply_received);
    QCOMPARE(rig.bench.log.lines().last(), QStringLiteral("Config option OK. / 设置选项成功。"));
}

void TestDownloadSteps::family2_nothing_to_write()
{
    Rig rig(QStringLiteral("ZVK7H64B+"));
    rig.bench.status.firmware_version = QStringLiteral("2.8");
    rig.bench.status.option_byte = 0xEC;
    rig.bench.options.set_double_speed(true);
    rig.bench.options.set_half_gain(true);
    rig.bench.link.reply_received = false;
    rig.bench.option_writer.comLock_Click();
    QVERIFY(rig.frames_with(Frames::SetOptions).isEmpty());
    QVERIFY(rig.port.written().contains(QByteArray::fromHex("6a000682f216")));
    QVERIFY(rig.bench.link.reply_received);
    QVERIFY(rig.bench.results.status_read_ok);
    QVERIFY(!rig.bench.link.port_open());

    // Bit 1 still set: the byte is written even when the other bits match.
    Rig again(QStringLiteral("ZVK7H64B+"));
    again.bench.status.firmware_version = QStringLiteral("2.8");
    again.bench.status.option_byte = 0xEE;
    again.bench.options.set_double_speed(true);
    again.bench.options.set_half_gain(true);
    again.bench.option_writer.comLock_Click();
    QCOMPARE(again.frames_with(Frames::SetOptions).size(), 1);
}

void TestDownloadSteps::family2_old_firmware_logs_nothing()
{
    Rig rig(QStringLiteral("ZVK7H64B+"));
    rig.bench.status.firmware_version = QStringLiteral("2.7");
    rig.chip_version = 0x27;
    rig.bench.status.option_byte = 0xFF;
    rig.bench.options.set_double_speed(false);
    rig.bench.options.set_half_gain(false);
    rig.bench.option_writer.comLock_Click();
    QCOMPARE(rig.frames_with(Frames::SetOptions).size(), 1);
    QVERIFY(rig.bench.link.reply_received);
    for (const QString& line : rig.bench.log.lines())
        QVERIFY2(!line.contains(QLatin1String("OK")) && !line.contains(QLatin1String("error")), qPrintable(line));
}

void TestDownloadSteps::family0_lock_byte_data()
{
    QTest::addColumn<bool>("double_speed");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("message");
    QTest::newRow("double speed") << true << "6a00078d484616" << "Lock Chip, set 6 Clock OK/设置加密位,双倍速成功";
    QTest::newRow("single speed") << false << "6a00078d403e16" << "Lock Chip OK/设置加密位成功";
}

void TestDownloadSteps::family0_lock_byte()
{
    QFETCH(bool, double_speed);
    QFETCH(QString, frame);
    QFETCH(QString, message);
    Rig rig(QStringLiteral("ZVK7H64B"));
    rig.bench.options.set_double_speed(double_speed);
    rig.bench.option_writer.comLock_Click();
    const QList<QByteArray> sets = rig.frames_with(Frames::SetOptions);
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets.first(), QByteArray::fromHex(frame.toLatin1()));
    const QString last = rig.bench.log.lines().last();
    QVERIFY2(last.startsWith(message + QStringLiteral(" (End: ")) && last.endsWith(QLatin1Char(')')),
             qPrintable(last));
    QVERIFY(rig.bench.results.status_read_ok);
}

void TestDownloadSteps::family1_sends_nothing()
{
    Rig rig(QStringLiteral("ZVK7L64D"));
    rig.port.clear_record();
    rig.bench.option_writer.comLock_Click();
    QVERIFY(rig.port.written().isEmpty());
    QVERIFY(rig.bench.log.text().isEmpty());
}

void TestDownloadSteps::total_time_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("75") << qint64(75) << "01:15";
    QTest::newRow("6125 keeps two minute digits") << qint64(6125) << "02:05";
    QTest::newRow("3600") << qint64(3600) << "60:00";
}

void TestDownloadSteps::total_time()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(Sequencer::total_time_text(seconds), text);
}

void TestDownloadSteps::pause_text_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("5") << "5" << 5;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("trailing text") << "7 s" << 7;
}

void TestDownloadSteps::pause_text()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(Sequencer::pause_seconds(text), seconds);
}

QTEST_GUILESS_MAIN(TestDownloadSteps)
#include "test_download_steps.moc"
