// IspLink over an in-memory port: the receive handler's frame assembly, the send primitives and
// their checksums, the waits (reply, stop, nested, vanished port), and the port procedures.
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/paced_writer.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// A link on an open fake port, armed for replies.
struct Rig {
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    IspLink link{&port, &dialogs};
    Rig()
    {
        link.set_port_device(QStringLiteral("/dev/fake0"));
        link.open_port();
        link.reply_armed = true;
    }
    QByteArray frame() const
    {
        std::array<quint8, IspLink::kFrameCapacity> f{};
        const int n = link.get_received_frame(f);
        return QByteArray(reinterpret_cast<const char*>(f.data()), n);
    }
};

const QByteArray kReply = Frames::reply_frame(hex("00 01 02 03 04 05 06 07 28 43 FF"));

QList<QByteArray> bytewise(const QByteArray& b)
{
    QList<QByteArray> p;
    for (char c : b)
        p << QByteArray(1, c);
    return p;
}

QByteArray with(QByteArray b, int at, char value)
{
    b[at < 0 ? b.size() + at : at] = value;
    return b;
}

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    // ---- frame assembly: pieces arrive as separate receive events ------------------------------
    void assembly_data()
    {
        QTest::addColumn<int>("mode");   // 0 replies, 1 replies with the 46 B9 prefix, 2 custom frames
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<int>("accepted_at");   // piece after which the frame is complete (-1: never)
        QTest::addColumn<QByteArray>("frame");  // what get_received_frame then holds
        const QByteArray R = kReply;
        const int n = int(R.size());
        QTest::newRow("one read") << 0 << QList<QByteArray>{R} << 0 << R;
        QTest::newRow("cut inside the length") << 0 << QList<QByteArray>{R.left(2), R.mid(2)} << 1 << R;
        QTest::newRow("cut before checksum and end") << 0 << QList<QByteArray>{R.left(n - 2), R.mid(n - 2)} << 1 << R;
        QTest::newRow("byte by byte") << 0 << bytewise(R) << n - 1 << R;
        // A rejected frame leaves the receiver idle: the good frame right after is taken.
        QTest::newRow("wrong checksum") << 0 << QList<QByteArray>{with(R, -2, char(R[n - 2] + 1)), R} << 1 << R;
        QTest::newRow("wrong end byte") << 0 << QList<QByteArray>{with(R, -1, 0x17), R} << 1 << R;
        QTest::newRow("command frame start") << 0 << QList<QByteArray>{Frames::command_frame(0x50), R} << 1 << R;
        QTest::newRow("custom frame in reply mode") << 0 << QList<QByteArray>{Frames::custom_frame(0xB0), R} << 1 << R;
        // Garbage in the read that starts the frame is skipped; a read without 68 appends nothing;
        // garbage in a later read is appended and spoils the frame.
        QTest::newRow("garbage before the start") << 0 << QList<QByteArray>{hex("00 FF 7F 16") + R.left(5), R.mid(5)}
                                                  << 1 << R;
        QTest::newRow("read without start byte") << 0 << QList<QByteArray>{hex("11 22 33"), R} << 1 << R;
        QTest::newRow("garbage in a later read") << 0 << QList<QByteArray>{R.left(5), hex("00 FF") + R.mid(5)} << -1
                                                 << QByteArray();
        QTest::newRow("prefix split") << 1 << QList<QByteArray>{hex("46"), hex("B9"), R} << 2 << R;
        QTest::newRow("noise, then prefix") << 1 << QList<QByteArray>{hex("00 68 46 B9") + R} << 0 << R;
        // A broken pair ends the prefix step; what else is waiting is read as a reply at once.
        QTest::newRow("46 46 B9: broken pair, rest read on") << 1 << QList<QByteArray>{hex("46 46 B9") + R} << 0 << R;
        QTest::newRow("46 00, reply in a later read") << 1 << QList<QByteArray>{hex("46 00"), R} << -1 << QByteArray();
        QTest::newRow("no prefix, byte by byte") << 1 << bytewise(R) << -1 << QByteArray();
        QTest::newRow("prefix without prefix mode") << 0 << QList<QByteArray>{hex("46 B9") + R} << 0 << R;
        const QByteArray b0 = Frames::custom_frame(0xB0);
        const QByteArray b5 = Frames::custom_frame(0xB5, hex("F1 10 28 43"));
        QTest::newRow("custom with data, split") << 2 << QList<QByteArray>{b5.left(3), b5.mid(3, 4), b5.mid(7)} << 2
                                                 << b5;
        QTest::newRow("custom after noise") << 2 << QList<QByteArray>{hex("12 34") + b0} << 0 << b0;
        QTest::newRow("custom: 5A 00 restarts") << 2 << QList<QByteArray>{hex("5A 00") + b0} << 0 << b0;
        QTest::newRow("custom: 5A 5A A5, the second 5A is no start") << 2 << QList<QByteArray>{hex("5A") + b0} << -1
                                                                     << QByteArray();
        QTest::newRow("custom: wrong high checksum byte") << 2 << QList<QByteArray>{with(b0, 5, 0x02)} << -1
                                                          << QByteArray();
        QTest::newRow("custom: wrong end byte") << 2 << QList<QByteArray>{with(b0, 7, 0x00)} << -1 << QByteArray();
        QTest::newRow("reply frame in custom mode") << 2 << QList<QByteArray>{R} << -1 << QByteArray();
    }
    void assembly()
    {
        QFETCH(int, mode);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(int, accepted_at);
        QFETCH(QByteArray, frame);
        Rig r;
        r.link.prefix_mode = mode == 1;
        r.link.custom_frame_mode = mode == 2;
        r.link.reply_armed = mode != 2;   // custom frames do not need the reply arming
        for (int i = 0; i < pieces.size(); ++i) {
            r.port.feed(pieces[i]);
            const bool done = mode == 2 ? r.link.custom_reply_received : r.link.reply_received;
            QVERIFY2(done == (accepted_at >= 0 && i >= accepted_at), qPrintable(QString::number(i)));
            QVERIFY(mode == 2 ? !r.link.reply_received : !r.link.custom_reply_received);
        }
        if (accepted_at >= 0) {
            QCOMPARE(r.frame().toHex(' '), frame.toHex(' '));
            QVERIFY(!r.link.prefix_first_seen && !r.link.prefix_second_seen);
        }
    }

    void not_armed_dropped()
    {
        Rig r;
        r.link.reply_armed = false;
        r.port.feed(kReply);
        QVERIFY(!r.link.reply_received);
        QCOMPARE(int(r.link.rx_count), 0);
        QCOMPARE(r.port.bytes_available(), 0);   // read and dropped, not left waiting
        r.link.reply_armed = true;
        r.port.feed(kReply);
        QVERIFY(r.link.reply_received);
    }

    void oversize_data()
    {
        QTest::addColumn<bool>("custom");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunk");
        QTest::newRow("reply 301 (the limit), one read") << false << 301 << 0;
        QTest::newRow("reply 302, 7-byte reads") << false << 302 << 7;
        QTest::newRow("reply 65535, 512-byte reads") << false << 65535 << 512;
        QTest::newRow("custom 4000, 100-byte reads") << true << 4000 << 100;
    }
    void oversize()
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
        for (int i = 0; i < frame.size(); i += chunk > 0 ? chunk : int(frame.size())) {
            r.port.feed(frame.mid(i, chunk > 0 ? chunk : -1));
            QVERIFY(r.link.rx_count >= 0 && r.link.rx_count <= IspLink::kFrameCapacity);
        }
        // Only a frame that fits rx_frame (301 bytes) is accepted.
        QCOMPARE(r.link.reply_received, length == 301);
        QVERIFY(!r.link.custom_reply_received);
    }

    // ---- sending ---------------------------------------------------------------------------------
    void checksums()
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

        // The spaced sum is a separate one.
        r.port.clear_record();
        r.link.tx_checksum = 0;
        r.link.spaced_checksum = 0;
        r.link.byte_gap_loops = 3;
        const QByteArray body = Frames::program_header(0x1200, 4) + hex("FF FE FD FC");
        for (char c : body)
            r.link.send_byte_spaced(quint8(c), 1);
        r.link.send_checksum_spaced();
        QCOMPARE(r.link.spaced_checksum, quint16(Frames::sum8(body)));
        QCOMPARE(r.port.written(), body + char(Frames::sum8(body)));
        QCOMPARE(r.port.writes.size(), int(body.size()) + 1);
        QCOMPARE(r.link.tx_checksum, quint16(0));
    }

    void short_command_data()
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
    void short_command()
    {
        QFETCH(int, code);
        QFETCH(bool, prefix_mode);
        QFETCH(int, result);
        QFETCH(QList<QByteArray>, writes);
        Rig r;
        r.port.feed(kReply);
        QVERIFY(r.link.reply_received);
        r.link.prefix_mode = prefix_mode;
        QCOMPARE(r.link.send_short_command(quint8(code)), result);
        QList<QByteArray> got;
        for (const auto& w : r.port.writes)
            got << w.bytes;
        QCOMPARE(got, writes);
        if (result == 0)
            QVERIFY(r.link.rx_count == 0 && !r.link.reply_received);
    }

    void custom_command_one_write()
    {
        Rig r;
        r.link.Timer6.set_interval(999);
        r.link.send_custom_command(0xB0);
        QCOMPARE(r.port.writes.size(), 1);
        QCOMPARE(r.port.writes[0].bytes, hex("5A A5 00 08 B0 01 B7 16"));
        QCOMPARE(r.link.Timer6.interval(), 20);   // the 20 ms pause went through delay_ms
    }

    // ---- pacing: the wire a sender that writes whenever the writer lets it produces -------------
    void pacing_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("gap_bits");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<double>("wire_us");   // first byte on the wire to the last one off it
        QTest::newRow("115200, 6-bit gap: back to back") << "115200,n,8,1" << 6.0 << 140 << 12152.78;
        QTest::newRow("1200 greeting pace") << "1200,n,8,1" << 6.0 << 6 << 50000.0;
        QTest::newRow("9600 with parity: 11 bits a byte") << "9600,e,8,1" << 9.0 << 20 << 22916.67;
        QTest::newRow("gap longer than a byte spaces the wire") << "9600,n,8,1" << 15.0 << 10 << 15104.17;
    }
    void pacing()
    {
        QFETCH(QString, settings);
        QFETCH(double, gap_bits);
        QFETCH(int, bytes);
        const SerialFormat f = *SerialFormat::parse(settings);
        qint64 t = 5000000;
        PacedWriter w([&t] { return t; });
        w.set_format(f);
        const qint64 gap = qint64(gap_bits * 1e9 / f.baud);
        qint64 most_ahead = 0;
        for (int done = 0; done < bytes;) {
            const int n = w.writable_now(gap, bytes - done);
            if (n == 0) {
                QVERIFY(w.next_chance(gap) > t);
                t = w.next_chance(gap);
                continue;
            }
            w.wrote(n, gap);
            done += n;
            most_ahead = qMax(most_ahead, w.wire_free_at() - t);
        }
        QFETCH(double, wire_us);
        QVERIFY2(qAbs(double(w.wire_free_at() - 5000000) / 1000.0 - wire_us) < 1.0,
                 qPrintable(QString::number(double(w.wire_free_at() - 5000000) / 1000.0)));
        QVERIFY(most_ahead <= qMax<qint64>(4000000, 2 * w.char_ns()));
        QVERIFY(most_ahead <= 48 * w.char_ns());
    }

    // ---- timers and waits ------------------------------------------------------------------------
    void delay_uses_timer6()
    {
        Rig r;
        r.link.Timer6.set_interval(777);
        r.link.delay_ms(0);   // no wait at all: Timer6 is left alone
        QCOMPARE(r.link.Timer6.interval(), 777);
        bool ticked = false;
        connect(&r.link.Timer6, &OneShotTimer::tick, &r.link, [&] { ticked = true; });
        r.port.feed_later(kReply, 1);   // handled inside the delay
        r.link.delay_ms(25);
        QVERIFY(ticked);
        QCOMPARE(r.link.Timer6.interval(), 25);
        QVERIFY(!r.link.Timer6.enabled());
        QVERIFY(r.link.reply_received);
    }

    void reply_wait_answered_and_timed_out()
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

    void stop_ends_wait_nested_handler_sends()
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

    void custom_mode_waits_on_custom_flags()
    {
        Rig r;
        r.link.custom_frame_mode = true;
        r.link.stop_requested = true;   // not the custom mode's stop flag
        r.port.feed_later(Frames::custom_frame(0xB0), 5);
        QVERIFY(r.link.wait_reply(2000));
        QVERIFY(r.link.custom_reply_received);
        QTimer::singleShot(5, &r.link, [&] { r.link.request_custom_stop(); });
        r.link.custom_reply_received = false;
        QVERIFY(!r.link.wait_reply(5000));
        QVERIFY(r.link.Timer7.enabled());
        r.link.Timer7.stop();
    }

    void vanished_port_ends_wait()
    {
        Rig r;
        QSignalSpy failed(&r.link, &IspLink::port_failed);
        r.port.feed_later(kReply.left(4), 1);
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

    void block_reply_timer_data()
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
    void block_reply_timer()
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

    void byte_gap_data()
    {
        QTest::addColumn<quint32>("loops_per_ms");
        QTest::addColumn<double>("error_pct");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<quint32>("gap");
        QTest::newRow("exact baud") << 115200u << 0.0 << "115200,n,8,1" << 6000u;
        QTest::newRow("slow MCU stretches: |-3 + 1| x 0.2 + 1 = 1.4") << 115200u << -3.0 << "115200,n,8,1" << 8400u;
        QTest::newRow("rounding: |-0.5 + 1| x 0.2 + 1 = 1.1") << 1000u << 0.0 << "57600,n,8,1" << 104u;
    }
    void byte_gap()
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

    // ---- port procedures -------------------------------------------------------------------------
    void open_errors()
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
        // Closing and opening again moments later keeps the device open: what arrived while the
        // port was closed is gone, the format follows; the end of the board closes the device.
        QCOMPARE(link.close_port(), false);
        port.feed(hex("68 00"), false);
        QVERIFY(link.set_settings(QStringLiteral("9600,n,8,1")));
        QCOMPARE(link.open_port(), 0);
        link.reopen_port();
        QVERIFY(link.port_open());
        QCOMPARE(port.bytes_available(), 0);
        QCOMPARE(port.format().baud, 9600);
        QCOMPARE(port.open_calls, 3);   // two refused, one open
        QCOMPARE(port.close_calls, 0);
        link.close_port();
        link.release_port();
        QCOMPARE(port.close_calls, 1);
        QCOMPARE(link.open_port(), 0);
        link.close_port_on_exit();
        QVERIFY(!link.port_open() && !port.is_open());
        // A short command opens a closed port first, and sends nothing when that fails.
        port.open_refused = true;
        QCOMPARE(link.send_short_command(0x80), -1);
        QVERIFY(port.writes.isEmpty());
        port.open_refused = false;
        QCOMPARE(link.send_short_command(0x80), 0);
        QVERIFY(port.is_open());
        QCOMPARE(port.written(), hex("6A 00 06 80 F0 16"));
    }

    void flush_receive_on_closed_port()
    {
        FakeSerialPort port;
        IspLink link(&port, nullptr);
        link.set_port_device(QStringLiteral("/dev/fake0"));
        link.rx_count = 12;
        link.reply_received = true;
        link.flush_receive();
        QCOMPARE(port.open_calls, 0);   // nothing waits on a closed port
        QVERIFY(link.rx_count == 0 && !link.reply_received);
        // Open port: waiting bytes are discarded.
        QCOMPARE(link.open_port(), 0);
        port.feed(hex("68 00"), false);
        link.flush_receive();
        QCOMPARE(port.bytes_available(), 0);
        QVERIFY(port.is_open());
    }

    void settings_applied_to_open_port()
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
};

QTEST_GUILESS_MAIN(TestReceiver)
#include "test_receiver.moc"
