// The handshake's decisions (baud choice, clock, identity, frames) and its procedures driven over
// an in-memory port whose far end answers as the boot loader is documented to.

#include "device/workbench.h"
#include "isp/frames.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// Status frame of the boot loader: counts all equal to `count`, then version, variant, option,
// identity, sub-identity and the extended byte, cut to `length` bytes in all.
QByteArray status_frame(quint16 count, quint8 version, char variant, quint8 option, int length = 28,
                        quint8 id = 0xF0, quint8 sub = 0x04)
{
    QByteArray c(1, '\0');
    for (int i = 0; i < 8; ++i)
        c.append(char(count >> 8)).append(char(count & 0xFF));
    c.append(char(version)).append(variant).append(char(option)).append(char(id)).append(char(sub)).append('\0');
    return Frames::reply_frame(c.left(length - 5));
}

QByteArray status_reply(quint8 version, char variant, quint8 option)
{
    return Frames::reply_frame(QByteArray(8, '\0') + char(version) + variant + char(option));
}

// A far end that answers the second greeting byte with `status` and every command frame but Run
// with a short reply (the status query with `query_reply`).
struct BootLoader {
    QByteArray status;
    QByteArray query_reply;
    bool greeted = false;
    int greeting_bytes = 0;
    QList<QByteArray> frames;

    FakeSerialPort::Responder responder()
    {
        return FakeSerialPort::frame_responder(
            [this](const QByteArray& frame) {
                frames << frame;
                const quint8 code = quint8(frame[3]);
                if (code == Frames::Run)
                    return QByteArray();
                return code == Frames::ReadStatus ? query_reply : Frames::reply_frame(QByteArray(1, char(code)));
            },
            [this](quint8 b) {
                if (b != 0x7F || greeted || ++greeting_bytes < 2 || status.isEmpty())
                    return QByteArray();
                greeted = true;
                return status;
            });
    }
};

struct Rig {
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    Workbench bench{&port, &dialogs};
    BootLoader loader;

    explicit Rig(const QString& model = QStringLiteral("ZVK7H12A"))
    {
        bench.link.set_port_device(QStringLiteral("/dev/fake0"));
        bench.select_model(model);
        port.responder = loader.responder();
        port.reply_delay_ms = 1;
    }
    QStringList lines() const { return bench.log.lines(); }
};

} // namespace

class TestHandshake : public QObject {
    Q_OBJECT
private slots:
    void calculate_baud_data()
    {
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("index_in");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("index_out");

        QTest::newRow("11.0592 MHz -> 115200, count 3") << 11059200 << 115200 << 100 << 3 << 115200 << 11;
        QTest::newRow("12 MHz: +8.5 % and -7 % rejected -> 38400") << 12000000 << 115200 << 100 << 10 << 38400 << 9;
        QTest::newRow("below 115200 -> 57600") << 11059200 << 115200 << 11 << 6 << 57600 << 10;
        QTest::newRow("limit 9600 caps") << 11059200 << 9600 << 100 << 36 << 9600 << 3;
        QTest::newRow("error exactly +4.5 % rejected") << 3210240 << 9600 << 100 << 21 << 4800 << 2;
        QTest::newRow("error exactly -3.5 % rejected") << 2964480 << 9600 << 100 << 19 << 4800 << 2;
        QTest::newRow("count exactly 2 rejected") << 7372800 << 115200 << 100 << 4 << 57600 << 10;
        QTest::newRow("index above 12 clamps") << 11059200 << 115200 << 13 << 3 << 115200 << 11;
        QTest::newRow("100 kHz: nothing") << 100000 << 115200 << 100 << -1 << -7 << 12;
        QTest::newRow("index 0: nothing") << 11059200 << 115200 << 0 << -1 << -7 << 0;
    }
    void calculate_baud()
    {
        QFETCH(int, clock);
        QFETCH(int, limit);
        QFETCH(int, index_in);
        QFETCH(int, count);
        QFETCH(int, baud);
        QFETCH(int, index_out);
        qint16 index = qint16(index_in);
        qint32 out_baud = -7;
        float error = 9.25f;
        qint16 out_count = 0;
        Handshake::calculate_baud(clock, index, out_baud, error, out_count, limit);
        QCOMPARE(int(out_count), count);
        QCOMPARE(int(out_baud), baud);
        QCOMPARE(int(index), index_out);
        if (count > 0)
            QVERIFY(error > -3.5f && error < 4.5f);
        else
            QCOMPARE(error, 9.25f);   // no usable row: the outputs are left as they were
    }
    void clock_rounding_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("extra");   // added to one count: the sum is 8 x base + extra
        QTest::addColumn<int>("clock");
        QTest::newRow("half rounds to even (down)") << 5360 << 4 << (5360 + 6) * 2061;
        QTest::newRow("half rounds to even (up)") << 5361 << 4 << (5362 + 6) * 2061;
        QTest::newRow("above half") << 5360 << 5 << (5361 + 6) * 2061;
        QTest::newRow("large counts stay 32-bit") << 65000 << 7 << (65001 + 6) * 2061;
    }
    void clock_rounding()
    {
        QFETCH(int, base);
        QFETCH(int, extra);
        QFETCH(int, clock);
        quint16 counts[8];
        for (auto& c : counts)
            c = quint16(base);
        counts[3] = quint16(base + extra);
        QCOMPARE(Handshake::clock_from_counts(counts), clock);
    }
    void identity_table_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("sub");
        QTest::addColumn<QString>("name");
        QTest::newRow("56") << "56" << "77" << "ZVK7L64D/T2";
        QTest::newRow("F0 04") << "F0" << "04" << "ZVK7H/L12A";
        QTest::newRow("F1 10") << "F1" << "10" << "ZVK7H/L64B+";
        QTest::newRow("F0 08 unknown") << "F0" << "08" << "";
        QTest::newRow("other id") << "57" << "04" << "";
    }
    void identity_table()
    {
        QFETCH(QString, id);
        QFETCH(QString, sub);
        QFETCH(QString, name);
        QCOMPARE(Handshake::model_name_for(id, sub), name);
    }
    void command_frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("watchdog P1.7") << Handshake::wdt_frame(true, "P1.7") << hex("6A 00 07 86 71 68 16");
        QTest::newRow("watchdog odd text") << Handshake::wdt_frame(true, "P1.17").mid(4, 1) << hex("FF");
        QTest::newRow("watchdog off") << Handshake::wdt_frame(false, "P1.7").mid(4, 1) << hex("FF");
        QTest::newRow("test 57600 family 2 at 11 MHz")
            << Handshake::test_baud_frame(57600, 0xFF, 0xFA, 11000000, 2) << hex("6A 00 0C 8F FF FA 00 0C 17 81 A2 16");
        QTest::newRow("switch 57600") << Handshake::switch_baud_frame(57600, 0xFF, 0xFA, 11000000)
                                      << hex("6A 00 0B 8E FF FA 00 0C 17 1F 16");
        // X is capped at 254 in the test and 255 in the switch command.
        QTest::newRow("test X cap") << Handshake::test_baud_frame(1200, 0xFE, 0x00, 11000000, 2).mid(7, 1) << hex("FE");
        QTest::newRow("switch X cap") << Handshake::switch_baud_frame(1200, 0xFE, 0x00, 11000000).mid(7, 1) << hex("FF");
        // Y: 40 - 0.002 x baud, halves to even, at least 23, doubled above 68 MHz.
        QTest::newRow("Y at 4800") << Handshake::test_baud_frame(4800, 0xFF, 0x70, 11000000, 2).mid(8, 1) << hex("1E");
        QTest::newRow("Y at 2250 (35.5 -> 36)") << Handshake::test_baud_frame(2250, 0xFF, 0x70, 11000000, 2).mid(8, 1)
                                                << hex("24");
        QTest::newRow("Y at 2750 (34.5 -> 34)") << Handshake::test_baud_frame(2750, 0xFF, 0x70, 11000000, 2).mid(8, 1)
                                                << hex("22");
        QTest::newRow("Y doubled above 68 MHz") << Handshake::test_baud_frame(115200, 0xFF, 0xE2, 70000000, 2).mid(8, 1)
                                                << hex("2E");
        QTest::newRow("Z family 1, 4 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 4000000, 1).mid(9, 1) << hex("83");
        QTest::newRow("Z family 1, 14 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 14000000, 1).mid(9, 1) << hex("82");
        QTest::newRow("Z family 1, 29 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 29000000, 1).mid(9, 1) << hex("81");
        QTest::newRow("Z family 1, 30 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 30000000, 1).mid(9, 1) << hex("80");
        QTest::newRow("Z family 2, 5 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 5000000, 2).mid(9, 1) << hex("83");
        QTest::newRow("Z family 2, 10 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 10000000, 2).mid(9, 1) << hex("82");
        QTest::newRow("Z family 2, 20 MHz") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 20000000, 2).mid(9, 1) << hex("80");
        QTest::newRow("Z family 0") << Handshake::test_baud_frame(9600, 0xFF, 0xF3, 11000000, 0).mid(9, 1) << hex("00");
    }
    void command_frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }
    void reserved_top_size_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("size");
        QTest::newRow("0.9") << "0.9" << 2048;
        QTest::newRow("1.8") << "1.8" << 2048;
        QTest::newRow("1.9") << "1.9" << 1024;
        QTest::newRow("2.4") << "2.4" << 1024;
        QTest::newRow("2.5") << "2.5" << 2048;
        QTest::newRow("2.6") << "2.6" << 1024;
        QTest::newRow("2.8") << "2.8" << 2048;
        QTest::newRow("3.9") << "3.9" << 2048;
    }
    void reserved_top_size()
    {
        QFETCH(QString, version);
        QFETCH(int, size);
        QCOMPARE(int(Handshake::reserved_top_size_for(version)), size);
        Rig rig;
        rig.bench.status.reserved_top_size = 1536;
        rig.bench.handshake.lookup_reserved_top_size(version);
        QCOMPARE(int(rig.bench.status.reserved_top_size), size);
    }
    void alternate_reload_data()
    {
        QTest::addColumn<bool>("double_speed");
        QTest::addColumn<int>("reload");
        QTest::addColumn<int>("new_reload");
        QTest::addColumn<int>("alt_reload");
        QTest::newRow("normal: alt for twice the count") << false << 0xFFFA << 0xFFFA << 0xFFF4;
        QTest::newRow("double speed: half the count") << true << 0xFFFA << 0xFFFD << 0xFFFA;
        QTest::newRow("double speed: 5/2 rounds to even") << true << 0xFFFB << 0xFFFE << 0xFFFB;
    }
    void alternate_reload()
    {
        QFETCH(bool, double_speed);
        QFETCH(int, reload);
        QFETCH(int, new_reload);
        QFETCH(int, alt_reload);
        Rig rig;
        rig.bench.status.double_speed = double_speed;
        rig.bench.results.baud_reload_hi = quint8(reload >> 8);
        rig.bench.results.baud_reload_lo = quint8(reload & 0xFF);
        rig.bench.handshake.derive_alternate_reload();
        QCOMPARE(rig.bench.results.baud_reload_hi * 256 + rig.bench.results.baud_reload_lo, new_reload);
        QCOMPARE(rig.bench.results.alt_reload_hi * 256 + rig.bench.results.alt_reload_lo, alt_reload);
    }

    void negotiates_fastest_baud()
    {
        Rig rig;
        // counts 5360: (5360 + 6) x 2061 = 11 059 326 Hz; option bit 0 set = no double speed.
        rig.loader.status = status_frame(5360, 0x28, 'C', 0xFF);
        rig.bench.choices.wdt_pin_enabled = true;
        rig.bench.choices.wdt_pin = QStringLiteral("P1.7");
        qint32 baud = 0;
        bool failed = true;
        rig.bench.handshake.handshake(baud, false, failed);
        QVERIFY(!failed);
        QCOMPARE(baud, 115200);
        QCOMPARE(double(rig.bench.results.clock_hz), 11059326.0);
        QCOMPARE(rig.bench.status.mcu_type_name, QStringLiteral("ZVK7H/L12A"));
        QCOMPARE(rig.bench.results.chip_id_hex + rig.bench.results.chip_subid_hex, QStringLiteral("F004"));
        QCOMPARE(rig.bench.results.baud_reload_hi, quint8(0xFF));
        QCOMPARE(rig.bench.results.baud_reload_lo, quint8(0xFD));
        QCOMPARE(rig.bench.results.alt_reload_hi * 256 + rig.bench.results.alt_reload_lo, 0xFFFA);
        QCOMPARE(rig.bench.link.current_baud(), 115200);

        // The watchdog pin (with the prefix), then test and switch, all with the documented bytes;
        // the test goes out at 1200 baud.
        QVERIFY(rig.port.written().contains(hex("46 B9 6A 00 07 86 71 68 16")));
        QCOMPARE(rig.loader.frames.value(0), hex("6A 00 07 86 71 68 16"));
        QCOMPARE(rig.loader.frames.size(), 3);
        QCOMPARE(rig.loader.frames[1].toHex(' '), hex("6A 00 0C 8F FF FD 00 06 17 81 9F 16").toHex(' '));
        QCOMPARE(rig.loader.frames[2].toHex(' '), hex("6A 00 0B 8E FF FD 00 06 17 1C 16").toHex(' '));
        bool saw_test_at_1200 = false;
        for (const auto& w : rig.port.writes)
            if (w.bytes.contains(char(0x8F)) && w.format.baud == 1200)
                saw_test_at_1200 = true;
        QVERIFY(saw_test_at_1200);
        QVERIFY(rig.lines().contains(QStringLiteral("We are trying to run more rapid ...")));
        QVERIFY(rig.lines().contains(QStringLiteral("Chinese:正在尝试用更高的波特率连接 ...")));
        QCOMPARE(rig.dialogs.beeps, 0);
    }
    void short_status_read_only_queries_status()
    {
        Rig rig;
        rig.loader.status = status_frame(5360, 0x28, 'C', 0xFF, 24);
        rig.loader.query_reply = status_reply(0x28, 'C', 0xEE);
        qint32 baud = 0;
        bool failed = true;
        rig.bench.handshake.handshake(baud, true, failed);
        QVERIFY(!failed);
        QVERIFY(rig.bench.results.status_read_ok);
        QVERIFY(!rig.bench.results.chip_id_known);
        QCOMPARE(rig.bench.status.mcu_type_name, QString());
        const QStringList lines = rig.lines();
        const int reading = lines.indexOf(QStringLiteral("We are Reading Chip Lock./ 正在读加密位,双倍速,版本号"));
        QVERIFY(reading >= 0);
        QCOMPARE(lines.value(reading + 1), QStringLiteral("MCU Firmware Version: 2.8C"));
        QVERIFY(lines.contains(QStringLiteral("  Double speed (6 clock) / 双倍速:       Yes")));
        QCOMPARE(quint8(rig.loader.frames.first()[3]), quint8(Frames::ReadStatus));
        QCOMPARE(rig.loader.frames.first().toHex(' '), hex("6A 00 06 50 C0 16").toHex(' '));
    }
    void connect_without_identity_queries_status()
    {
        Rig rig(QStringLiteral("ZVK7L32D"));
        rig.loader.status = status_frame(5360, 0x28, 'B', 0xFF, 24);
        rig.loader.query_reply = status_reply(0x28, 'B', 0xFF);
        rig.bench.connection.connect(false);
        QVERIFY(rig.bench.results.connected);
        QCOMPARE(rig.bench.controls.last_code, int(ControlStates::Connected));
        QVERIFY(rig.lines().contains(QStringLiteral("Now baud is: / 当前波特率为: 115200 bps.")));
        QVERIFY(rig.lines().contains(QStringLiteral("Internal clock:11.059326MHz./内部时钟频率:11.059326M.")));
        int syncs = 0;
        bool queried = false;
        for (const QByteArray& f : rig.loader.frames) {
            syncs += quint8(f[3]) == Frames::Synchronise;
            queried = queried || quint8(f[3]) == Frames::ReadStatus;
        }
        QCOMPARE(syncs, 5);
        QVERIFY(queried);
    }
    void test_option_on_variant_b()
    {
        Rig rig(QStringLiteral("ZVK7L64T2"));
        rig.loader.status = status_frame(5360, 0x28, 'B', 0xFF, 28, 0x56, 0x00);
        rig.bench.connection.comReadChipLock_Click();
        const QStringList lines = rig.lines();
        QCOMPARE(lines.first(), QStringLiteral("We are trying to connect to your MCU ... "));
        QVERIFY(lines.contains(QStringLiteral("MCU Type is: ZVK7L64D/T2")));
        QCOMPARE(lines.last(), QStringLiteral("Read MCU Firmware Version OK. / 读版本号成功."));
        QCOMPARE(lines.filter(QStringLiteral("clock:")).size(), 1);   // variant B: internal clock only
        // No negotiation on the read-only path; Run, then the stop handling's run command.
        int runs = 0;
        for (const QByteArray& f : rig.loader.frames) {
            QVERIFY(quint8(f[3]) != Frames::TestBaud);
            runs += quint8(f[3]) == Frames::Run;
        }
        QCOMPARE(runs, 2);
        QVERIFY(!rig.bench.link.port_open());
        QCOMPARE(rig.port.open_calls, 1);   // the device opened once for the whole board
        QCOMPARE(rig.bench.controls.last_code, int(ControlStates::Idle));
        QVERIFY(!rig.bench.results.connected);
    }
};

QTEST_GUILESS_MAIN(TestHandshake)
#include "test_handshake.moc"
