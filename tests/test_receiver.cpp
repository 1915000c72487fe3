// The receive handler over an in-memory port: frames assembled from pieces as they arrive, with
// and without the 46 B9 prefix, custom frames, rejected and oversized frames.
#include "isp/frames.h"
#include "isp/isp_link.h"
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
        link.set_reply_armed(true);
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
        QTest::newRow("byte by byte") << 0 << bytewise(R) << n - 1 << R;
        // A rejected frame leaves the receiver idle: the good frame right after is taken.
        QTest::newRow("wrong checksum") << 0 << QList<QByteArray>{with(R, -2, char(R[n - 2] + 1)), R} << 1 << R;
        QTest::newRow("wrong end byte") << 0 << QList<QByteArray>{with(R, -1, 0x17), R} << 1 << R;
        QTest::newRow("custom frame in reply mode") << 0 << QList<QByteArray>{Frames::custom_frame(0xB0), R} << 1 << R;
        // Garbage in the read that starts the frame is skipped; a read without 68 appends nothing;
        // garbage in a later read is appended and spoils the frame.
        QTest::newRow("garbage before the start") << 0 << QList<QByteArray>{hex("00 FF 7F 16") + R.left(5), R.mid(5)}
                                                  << 1 << R;
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
        r.link.set_prefix_mode(mode == 1);
        r.link.set_custom_frame_mode(mode == 2);
        r.link.set_reply_armed(mode != 2);   // custom frames do not need the reply arming
        for (int i = 0; i < pieces.size(); ++i) {
            r.port.feed(pieces[i]);
            const bool done = mode == 2 ? r.link.custom_reply_received() : r.link.reply_received();
            QVERIFY2(done == (accepted_at >= 0 && i >= accepted_at), qPrintable(QString::number(i)));
            QVERIFY(mode == 2 ? !r.link.reply_received() : !r.link.custom_reply_received());
        }
        if (accepted_at >= 0) {
            QCOMPARE(r.frame().toHex(' '), frame.toHex(' '));
            QVERIFY(!r.link.prefix_first_seen() && !r.link.prefix_second_seen());
        }
    }

    void not_armed_dropped()
    {
        Rig r;
        r.link.set_reply_armed(false);
        r.port.feed(kReply);
        QVERIFY(!r.link.reply_received());
        QCOMPARE(int(r.link.rx_count()), 0);
        QCOMPARE(r.port.bytes_available(), 0);   // read and dropped, not left waiting
        r.link.set_reply_armed(true);
        r.port.feed(kReply);
        QVERIFY(r.link.reply_received());
    }

    void oversize_data()
    {
        QTest::addColumn<bool>("custom");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunk");
        QTest::newRow("reply 301 (the limit), one read") << false << 301 << 0;
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
        r.link.set_custom_frame_mode(custom);
        for (int i = 0; i < frame.size(); i += chunk > 0 ? chunk : int(frame.size())) {
            r.port.feed(frame.mid(i, chunk > 0 ? chunk : -1));
            QVERIFY(r.link.rx_count() >= 0 && r.link.rx_count() <= IspLink::kFrameCapacity);
        }
        // Only a frame that fits rx_frame (301 bytes) is accepted.
        QCOMPARE(r.link.reply_received(), length == 301);
        QVERIFY(!r.link.custom_reply_received());
    }
};

QTEST_GUILESS_MAIN(TestReceiver)
#include "test_receiver.moc"
