// IspLink over an in-memory port: the receive handler's frame assembly, the send primitives and
// their checksums, the waits (reply, stop, nested, vanished port), and the port procedures.
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/user_dialogs.h"
#include "support/fake_serial_port.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

class CountingDialogs : public UserDialogs {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
    void message_box(const QString&, const QString&, Icon) override {}
    bool ask_yes_no(const QString&, const QString&) override { return false; }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return {}; }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return {}; }
};

// A link on an open fake port, armed for replies.
struct Rig {
    FakeSerialPort port;
    CountingDialogs dialogs;
    IspLink link{&port, &dialogs};
    Rig()
    {
        link.set_port_device(QStringLiteral("/dev/fake0"));
        link.open_port();
        link.reply_armed = true;
    }
    // Feeds the pieces as separate receive events.
    void feed(const QList<QByteArray>& pieces)
    {
        for (const QByteArray& p : pieces)
            port.feed(p);
    }
};

const QByteArray kStatusReply = Frames::reply_frame(hex("00 01 02 03 04 05 06 07 28 43 FF"));
const QByteArray kPrefix = hex("46 B9");

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    // frame assembly
    void reply_split_data();
    void reply_split();
    void reply_bad_frames_data();
    void reply_bad_frames();
    void garbage_first_read_vs_later_read();
    void prefix_data();
    void prefix();
    void not_armed_dropped();
    void custom_data();
    void custom();
    void oversize_data();
    void oversize();

    // sending
    void send_byte_checksums();
    void spaced_checksums();
    void short_command_data();
    void short_command();
    void short_command_cannot_open();
    void custom_command_one_write();
    void wait_transmit_empty_waits_for_queue();

    // timers and waits
    void delay_uses_timer6();
    void reply_wait_answered_and_timed_out();
    void stop_ends_wait_nested_handler_sends();
    void custom_mode_waits_on_custom_flags();
    void vanished_port_ends_wait();
    void block_reply_timer_data();
    void block_reply_timer();
    void byte_gap_data();
    void byte_gap();

    // port procedures
    void open_errors();
    void flush_receive_on_closed_port();
    void settings_applied_to_open_port();
};

// ---- frame assembly ---------------------------------------------------------------------------

void TestReceiver::reply_split_data()
{
    QTest::addColumn<QList<int>>("cuts");
    QTest::newRow("one read") << QList<int>{};
    QTest::newRow("inside the length") << QList<int>{2};
    QTest::newRow("before checksum and end") << QList<int>{int(kStatusReply.size()) - 2};
    QTest::newRow("byte by byte") << [] {
        QList<int> c;
        for (int i = 1; i < kStatusReply.size(); ++i)
            c << i;
        return c;
    }();
}

void TestReceiver::reply_split()
{
    QFETCH(QList<int>, cuts);
    Rig r;
    QList<QByteArray> pieces;
    int from = 0;
    for (int cut : cuts) {
        pieces << kStatusReply.mid(from, cut - from);
        from = cut;
    }
    pieces << kStatusReply.mid(from);
    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY2(!r.link.reply_received, "complete before the last piece");
        r.port.feed(pieces[i]);
    }
    QVERIFY(r.link.reply_received);
    std::array<quint8, IspLink::kFrameCapacity> frame{};
    QCOMPARE(r.link.get_received_frame(frame), int(kStatusReply.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.data()), int(kStatusReply.size())), kStatusReply);
}

void TestReceiver::reply_bad_frames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray bad_sum = kStatusReply;
    bad_sum[bad_sum.size() - 2] = char(quint8(bad_sum[bad_sum.size() - 2]) + 1);
    QByteArray bad_end = kStatusReply;
    bad_end[bad_end.size() - 1] = char(0x17);
    QTest::newRow("wrong checksum") << bad_sum;
    QTest::newRow("wrong end byte") << bad_end;
    QTest::newRow("command frame start") << Frames::command_frame(0x50);
    QTest::newRow("custom frame in reply mode") << Frames::custom_frame(0xB0);
}

void TestReceiver::reply_bad_frames()
{
    QFETCH(QByteArray, bytes);
    Rig r;
    r.port.feed(bytes);
    QVERIFY(!r.link.reply_received);
    // The receiver is idle again: a good frame right after is taken.
    r.port.feed(kStatusReply);
    QVERIFY(r.link.reply_received);
    QCOMPARE(int(r.link.rx_count), int(kStatusReply.size()));
}

void TestReceiver::garbage_first_read_vs_later_read()
{
    {
        Rig r;   // garbage in the read that starts the frame: skipped
        r.port.feed(hex("00 FF 7F 16") + kStatusReply.left(5));
        r.port.feed(kStatusReply.mid(5));
        QVERIFY(r.link.reply_received);
    }
    {
        Rig r;   // a read with no start byte at all appends nothing
        r.port.feed(hex("11 22 33"));
        QCOMPARE(int(r.link.rx_count), 0);
        r.port.feed(kStatusReply);
        QVERIFY(r.link.reply_received);
    }
    {
        Rig r;   // garbage in a later read is appended and spoils the frame
        r.port.feed(kStatusReply.left(5));
        r.port.feed(hex("00 FF") + kStatusReply.mid(5));
        QVERIFY(!r.link.reply_received);
    }
}

void TestReceiver::prefix_data()
{
    QTest::addColumn<bool>("prefix_mode");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("prefix split") << true << QList<QByteArray>{hex("46"), hex("B9"), kStatusReply} << true;
    QTest::newRow("noise, then prefix") << true << QList<QByteArray>{hex("00 68 46") + hex("B9") + kStatusReply}
                                        << true;
    // A broken pair ends the prefix step; what else is waiting is read as a reply at once.
    QTest::newRow("46 46 B9: broken pair, rest read on") << true
                                                         << QList<QByteArray>{hex("46 46 B9") + kStatusReply}
                                                         << true;
    QTest::newRow("46 00, reply in a later read") << true << QList<QByteArray>{hex("46 00"), kStatusReply}
                                                  << false;
    QTest::newRow("no prefix, byte by byte") << true << [] {
        QList<QByteArray> p;
        for (char c : kStatusReply)
            p << QByteArray(1, c);
        return p;
    }() << false;
    QTest::newRow("prefix without prefix mode") << false << QList<QByteArray>{kPrefix + kStatusReply} << true;
}

void TestReceiver::prefix()
{
    QFETCH(bool, prefix_mode);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, accepted);
    Rig r;
    r.link.prefix_mode = prefix_mode;
    r.feed(pieces);
    QCOMPARE(r.link.reply_received, accepted);
    if (accepted) {
        QVERIFY(!r.link.prefix_first_seen);
        QVERIFY(!r.link.prefix_second_seen);
        QCOMPARE(quint8(r.link.rx_frame[0]), quint8(0x68));
    }
}

void TestReceiver::not_armed_dropped()
{
    Rig r;
    r.link.reply_armed = false;
    r.port.feed(kStatusReply);
    QVERIFY(!r.link.reply_received);
    QCOMPARE(int(r.link.rx_count), 0);
    QCOMPARE(r.port.bytes_available(), 0);   // read and dropped, not left waiting
    r.link.reply_armed = true;
    r.port.feed(kStatusReply);
    QVERIFY(r.link.reply_received);
}

void TestReceiver::custom_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("accepted");
    const QByteArray b0 = Frames::custom_frame(0xB0);
    QByteArray bad_hi = b0;
    bad_hi[5] = char(0x02);
    QByteArray bad_end = b0;
    bad_end[7] = char(0x00);
    const QByteArray with_data = Frames::custom_frame(0xB5, hex("F1 10 28 43"));
    QTest::newRow("with data, split") << QList<QByteArray>{with_data.left(3), with_data.mid(3, 4), with_data.mid(7)}
                                      << true;
    QTest::newRow("noise before header") << QList<QByteArray>{hex("12 34") + b0} << true;
    QTest::newRow("5A 00 restarts") << QList<QByteArray>{hex("5A 00") + b0} << true;
    QTest::newRow("5A 5A A5: second 5A is not taken as a start") << QList<QByteArray>{hex("5A") + b0} << false;
    QTest::newRow("wrong high checksum byte") << QList<QByteArray>{bad_hi} << false;
    QTest::newRow("wrong end byte") << QList<QByteArray>{bad_end} << false;
    QTest::newRow("reply frame in custom mode") << QList<QByteArray>{kStatusReply} << false;
}

void TestReceiver::custom()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, accepted);
    Rig r;
    r.link.custom_frame_mode = true;
    r.link.reply_armed = false;   // custom frames do not need the reply arming
    r.feed(pieces);
    QCOMPARE(r.link.custom_reply_received, accepted);
    QVERIFY(!r.link.reply_received);
}

void TestReceiver::oversize_data()
{
    QTest::addColumn<bool>("custom");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("chunk");
    QTest::newRow("reply 301 (the limit), one read") << false << 301 << 0;
    QTest::newRow("reply 302, 7-byte reads") << false << 302 << 7;
    QTest::newRow("reply 65535, 512-byte reads") << false << 65535 << 512;
    QTest::newRow("custom 4000, 100-byte reads") << true << 4000 << 100;
}

void TestReceiver::oversize()
{
    QFETCH(bool, custom);
    QFETCH(int, length);
    QFETCH(int, chunk);
    // A well-formed frame (right length, checksum and end byte) that is too long for rx_frame.
    const QByteArray frame = custom ? Frames::custom_frame(0xB3, QByteArray(length - 8, char(0x16)))
                                    : Frames::reply_frame(QByteArray(length - 5, char(0x16)));
    QCOMPARE(int(frame.size()), length);
    Rig r;
    r.link.custom_frame_mode = custom;
    if (chunk <= 0)
        chunk = int(frame.size());
    for (int i = 0; i < frame.size(); i += chunk) {
        r.port.feed(frame.mid(i, chunk));
        QVERIFY(r.link.rx_count >= 0);
        QVERIFY(r.link.rx_count <= IspLink::kFrameCapacity);
    }
    // Only a frame that fits rx_frame (301 bytes) is accepted.
    QCOMPARE(r.link.reply_received, length == 301);
    QVERIFY(!r.link.custom_reply_received);
}

// ---- sending ----------------------------------------------------------------------------------

void TestReceiver::send_byte_checksums()
{
    Rig r;
    r.link.tx_checksum = 0;
    const QByteArray frame = Frames::command_frame(0x8D, hex("FF FF"));
    for (int i = 0; i < frame.size() - 2; ++i)
        r.link.send_byte(quint8(frame[i]));
    r.link.send_checksum();
    r.link.send_byte(0x16);
    QCOMPARE(r.port.written().toHex(' '), frame.toHex(' '));
    QCOMPARE(r.port.writes.size(), int(frame.size()));   // one byte per write
    // send_checksum does not add itself; send_byte 0x16 did.
    QCOMPARE(r.link.tx_checksum, quint16((quint8(frame[frame.size() - 2]) + 0x16) % 256));
}

void TestReceiver::spaced_checksums()
{
    Rig r;
    r.link.spaced_checksum = 0;
    r.link.byte_gap_loops = 3;
    const QByteArray body = Frames::program_header(0x1200, 4) + hex("FF FE FD FC");
    for (char c : body)
        r.link.send_byte_spaced(quint8(c), 1);
    r.link.send_checksum_spaced();
    QCOMPARE(r.link.spaced_checksum, quint16(Frames::sum8(body)));
    QCOMPARE(quint8(r.port.written().back()), Frames::sum8(body));
    QCOMPARE(r.port.writes.size(), int(body.size()) + 1);
    QCOMPARE(r.link.tx_checksum, quint16(0));   // the two sums are separate
}

void TestReceiver::short_command_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("prefix_mode");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::newRow("0x80") << 0x80 << false << 0 << QList<QByteArray>{hex("6A 00 06 80 F0 16")};
    QTest::newRow("0x82 with prefix") << 0x82 << true << 0
                                      << QList<QByteArray>{hex("46"), hex("B9"), hex("6A 00 06 82 F2 16")};
    QTest::newRow("0x50 refused") << 0x50 << false << -1 << QList<QByteArray>{};
}

void TestReceiver::short_command()
{
    QFETCH(int, code);
    QFETCH(bool, prefix_mode);
    QFETCH(int, result);
    QFETCH(QList<QByteArray>, writes);
    Rig r;
    r.port.feed(kStatusReply);
    QVERIFY(r.link.reply_received);
    r.link.prefix_mode = prefix_mode;
    QCOMPARE(r.link.send_short_command(quint8(code)), result);
    QList<QByteArray> got;
    for (const auto& w : r.port.writes)
        got << w.bytes;
    QCOMPARE(got, writes);
    if (result == 0) {
        QCOMPARE(int(r.link.rx_count), 0);
        QVERIFY(!r.link.reply_received);
    }
}

void TestReceiver::short_command_cannot_open()
{
    FakeSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(QStringLiteral("/dev/fake0"));
    port.open_refused = true;
    QCOMPARE(link.send_short_command(0x80), -1);
    QVERIFY(port.writes.isEmpty());
    // Closed port that opens: opened, then sent.
    port.open_refused = false;
    QCOMPARE(link.send_short_command(0x80), 0);
    QVERIFY(port.is_open());
    QCOMPARE(port.written(), hex("6A 00 06 80 F0 16"));
}

void TestReceiver::custom_command_one_write()
{
    Rig r;
    r.link.Timer6.set_interval(999);
    r.link.send_custom_command(0xB0);
    QCOMPARE(r.port.writes.size(), 1);
    QCOMPARE(r.port.writes[0].bytes, hex("5A A5 00 08 B0 01 B7 16"));
    QCOMPARE(r.link.Timer6.interval(), 20);   // the 20 ms pause went through delay_ms
}

void TestReceiver::wait_transmit_empty_waits_for_queue()
{
    Rig r;
    r.port.drain_ms = 15;
    r.link.write_bytes(hex("01 02 03"));
    QCOMPARE(r.port.bytes_to_send(), 3);
    r.link.wait_transmit_empty();
    QCOMPARE(r.port.bytes_to_send(), 0);
    // A stop request ends the wait with bytes still queued.
    r.port.drain_ms = 5000;
    r.link.write_bytes(hex("04"));
    QTimer::singleShot(10, &r.link, [&] { r.link.request_stop(); });
    r.link.wait_transmit_empty();
    QCOMPARE(r.port.bytes_to_send(), 1);
}

// ---- timers and waits -------------------------------------------------------------------------

void TestReceiver::delay_uses_timer6()
{
    Rig r;
    r.link.Timer6.set_interval(777);
    r.link.delay_ms(0);   // no wait at all: Timer6 is left alone
    QCOMPARE(r.link.Timer6.interval(), 777);
    bool ticked = false;
    connect(&r.link.Timer6, &OneShotTimer::tick, &r.link, [&] { ticked = true; });
    // A reply arriving meanwhile is handled inside the delay.
    r.port.feed_later(kStatusReply, 1);
    r.link.delay_ms(25);
    QVERIFY(ticked);
    QCOMPARE(r.link.Timer6.interval(), 25);
    QVERIFY(!r.link.Timer6.enabled());
    QVERIFY(r.link.reply_received);
}

void TestReceiver::reply_wait_answered_and_timed_out()
{
    Rig r;
    int asked = 0;
    r.port.responder = FakeSerialPort::frame_responder([&](const QByteArray& frame) {
        ++asked;
        return frame == Frames::command_frame(0x80) ? Frames::reply_frame(hex("80")) : QByteArray();
    });
    r.port.reply_delay_ms = 5;
    r.link.flush_receive();
    QCOMPARE(r.link.send_short_command(0x80), 0);
    QVERIFY(r.link.wait_reply(2000));
    QCOMPARE(asked, 1);

    // 0x50 gets no answer: the wait ends by Timer7 with the flag clear.
    r.link.flush_receive();
    r.link.write_bytes(Frames::command_frame(0x50));
    QVERIFY(!r.link.wait_reply(30));
    QVERIFY(!r.link.Timer7.enabled());
    QCOMPARE(asked, 2);
}

void TestReceiver::stop_ends_wait_nested_handler_sends()
{
    Rig r;
    // The stop handler runs inside the reply wait and itself waits (delay) and sends.
    QTimer::singleShot(10, &r.link, [&] {
        r.link.request_stop();
        r.link.delay_ms(15);
        r.link.send_short_command(0x82);
    });
    QVERIFY(!r.link.wait_reply(5000));
    QVERIFY(r.link.stop_requested);
    QVERIFY(r.link.Timer7.enabled());   // not a time-out: the stop ended it
    QCOMPARE(r.port.written(), hex("6A 00 06 82 F2 16"));
    r.link.Timer7.stop();
}

void TestReceiver::custom_mode_waits_on_custom_flags()
{
    Rig r;
    r.link.custom_frame_mode = true;
    r.link.stop_requested = true;          // not the custom mode's stop flag
    r.port.feed_later(Frames::custom_frame(0xB0), 5);
    QVERIFY(r.link.wait_reply(2000));
    QVERIFY(r.link.custom_reply_received);
    QTimer::singleShot(5, &r.link, [&] { r.link.request_custom_stop(); });
    r.link.custom_reply_received = false;
    QVERIFY(!r.link.wait_reply(5000));
    QVERIFY(r.link.Timer7.enabled());
    r.link.Timer7.stop();
}

void TestReceiver::vanished_port_ends_wait()
{
    Rig r;
    QSignalSpy failed(&r.link, &IspLink::port_failed);
    r.port.feed_later(kStatusReply.left(4), 1);
    QTimer::singleShot(10, &r.port, [&] { r.port.vanish(QStringLiteral("unplugged")); });
    QVERIFY(!r.link.wait_reply(5000));
    QVERIFY(!r.link.reply_received);
    QVERIFY(!r.link.port_open());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed[0][0].toString(), QStringLiteral("unplugged"));
    // A later wait on the closed port just times out; the device back, the port opens again.
    QVERIFY(!r.link.wait_reply(10));
    QCOMPARE(r.link.open_port(), 0);
    QVERIFY(r.link.port_open());
}

void TestReceiver::block_reply_timer_data()
{
    QTest::addColumn<double>("clock");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("interval");
    QTest::newRow("2 MHz, 115200") << 2e6 << "115200,n,8,1" << 4000;
    QTest::newRow("3.5 MHz, 57600") << 3.5e6 << "57600,n,8,1" << 3000;
    QTest::newRow("5 MHz, 38400") << 5e6 << "38400,n,8,1" << 2000;
    QTest::newRow("7 MHz, 19200") << 7e6 << "19200,n,8,1" << 1500;
    QTest::newRow("11.0592 MHz, 115200") << 11.0592e6 << "115200,n,8,1" << 1200;
    QTest::newRow("exactly 12 MHz, 115200") << 12e6 << "115200,n,8,1" << 1000;
    QTest::newRow("24 MHz, 1200") << 24e6 << "1200,n,8,1" << 5000;
    QTest::newRow("2 MHz, 2400 keeps 4000") << 2e6 << "2400,n,8,1" << 4000;
    QTest::newRow("24 MHz, 9600") << 24e6 << "9600,n,8,1" << 1500;
}

void TestReceiver::block_reply_timer()
{
    QFETCH(double, clock);
    QFETCH(QString, settings);
    Rig r;
    QVERIFY(r.link.set_settings(settings));
    r.link.start_block_reply_timer(clock);
    QTEST(r.link.Timer7.interval(), "interval");
    QVERIFY(r.link.Timer7.enabled());
    r.link.Timer7.stop();
}

void TestReceiver::byte_gap_data()
{
    QTest::addColumn<quint32>("loops_per_ms");
    QTest::addColumn<double>("error_pct");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<quint32>("gap");
    QTest::newRow("exact baud") << 115200u << 0.0 << "115200,n,8,1" << 6000u;
    // |-3 + 1| * 0.2 + 1 = 1.4
    QTest::newRow("slow MCU stretches") << 115200u << -3.0 << "115200,n,8,1" << 8400u;
    // |-0.5 + 1| * 0.2 + 1 = 1.1
    QTest::newRow("rounding") << 1000u << 0.0 << "57600,n,8,1" << 104u;
}

void TestReceiver::byte_gap()
{
    QFETCH(quint32, loops_per_ms);
    QFETCH(double, error_pct);
    QFETCH(QString, settings);
    Rig r;
    r.link.loops_per_ms = loops_per_ms;
    r.link.baud_error_pct = error_pct;
    r.link.compute_byte_gap(settings);
    QTEST(r.link.byte_gap_loops, "gap");
}

// ---- port procedures --------------------------------------------------------------------------

void TestReceiver::open_errors()
{
    FakeSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(QStringLiteral("/dev/ttyUSB7"));
    port.open_error = 2;
    QCOMPARE(link.open_port(), 2);
    QVERIFY(link.last_open_error().contains(QStringLiteral("/dev/ttyUSB7")));
    QVERIFY(!link.port_open());
    port.open_error = 0;
    port.open_refused = true;
    QCOMPARE(link.open_port(), -1);
    port.open_refused = false;
    QCOMPARE(link.open_port(), 0);
    QCOMPARE(port.opened_device, QStringLiteral("/dev/ttyUSB7"));
    // Opening an open port closes it first.
    QCOMPARE(link.open_port(), 0);
    QCOMPARE(port.close_calls, 1);
    QCOMPARE(link.close_port(), false);
    QCOMPARE(port.close_calls, 2);
    link.reopen_port();
    QVERIFY(link.port_open());
    link.close_port_on_exit();
    QVERIFY(!link.port_open());
}

void TestReceiver::flush_receive_on_closed_port()
{
    FakeSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(QStringLiteral("/dev/fake0"));
    link.rx_count = 12;
    link.reply_received = true;
    link.flush_receive();
    QCOMPARE(port.open_calls, 1);
    QVERIFY(!port.is_open());
    QCOMPARE(int(link.rx_count), 0);
    QVERIFY(!link.reply_received);
    // Open port: waiting bytes are discarded.
    QCOMPARE(link.open_port(), 0);
    port.feed(hex("68 00"), false);
    link.flush_receive();
    QCOMPARE(port.bytes_available(), 0);
    QVERIFY(port.is_open());
}

void TestReceiver::settings_applied_to_open_port()
{
    Rig r;
    QCOMPARE(r.link.settings(), QStringLiteral("1200,n,8,1"));
    r.link.write_bytes(hex("7F 7F"));
    QVERIFY(r.link.set_settings(QStringLiteral("57600,n,8,1")));
    r.link.write_bytes(Frames::command_frame(0x80));
    QCOMPARE(r.port.writes[0].format.baud, 1200);
    QCOMPARE(r.port.writes[1].format.baud, 57600);
    QCOMPARE(r.link.current_baud(), 57600);
    QVERIFY(!r.link.set_settings(QStringLiteral("57600,x,8,1")));
    r.port.refuse_formats = true;
    QVERIFY(!r.link.set_settings(QStringLiteral("9600,n,8,1")));
    QCOMPARE(r.link.settings(), QStringLiteral("57600,n,8,1"));
    // The next open uses the current settings.
    r.port.refuse_formats = false;
    r.link.close_port();
    QVERIFY(r.link.set_settings(QStringLiteral("38400,E,7,1.5")));
    QCOMPARE(r.link.open_port(), 0);
    QCOMPARE(r.port.format().text(), QStringLiteral("38400,e,7,1.5"));
}

QTEST_GUILESS_MAIN(TestReceiver)
#include "test_receiver.moc"
