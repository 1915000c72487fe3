// IspLink over a real pseudo-terminal with the real port layer: open errors, bytes on the line,
// line settings as the far end sees them, replies, and a far end that disappears mid-wait.
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/qt_serial_port.h"
#include "support/pty.h"

#include <QtTest>
#include <termios.h>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
} // namespace

class TestLinkPty : public QObject {
    Q_OBJECT
private slots:
    void missing_port_data();
    void missing_port();
    void bytes_arrive();
    void formats_applied_data();
    void formats_applied();
    void reply_received();
    void peer_closes_during_wait();
    void transmit_queue_empties();
};

void TestLinkPty::missing_port_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("no such node") << "/dev/zvkisp-no-such-port";
    QTest::newRow("no such directory") << "/nonexistent/dir/ttyS99";
}

void TestLinkPty::missing_port()
{
    QFETCH(QString, device);
    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(device);
    const int err = link.open_port();
    QVERIFY2(err > 0, qPrintable(QString::number(err)));
    QVERIFY2(link.last_open_error().contains(device), qPrintable(link.last_open_error()));
    QVERIFY(!link.port_open());
    // Nothing is sent, nothing breaks, on a port that never opened.
    link.send_byte(0x7F);
    link.flush_receive();
    QVERIFY(!link.wait_reply(5));
}

void TestLinkPty::bytes_arrive()
{
    Pty pty;
    QVERIFY(pty.open());
    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(pty.slave_path());
    QVERIFY(link.set_settings(QStringLiteral("115200,n,8,1")));
    QCOMPARE(link.open_port(), 0);

    QCOMPARE(link.send_short_command(0x80), 0);
    QCOMPARE(pty.read_master_exactly(6, 2000).toHex(' '), hex("6A 00 06 80 F0 16").toHex(' '));

    // Byte-wise command with prefix, as the senders emit it.
    link.tx_checksum = 0;
    link.send_byte(0x46);
    link.send_byte(0xB9);
    link.tx_checksum = 0;
    for (char c : QByteArray(hex("6A 00 06 50")))
        link.send_byte(quint8(c));
    link.send_checksum();
    link.send_byte(0x16);
    QCOMPARE(pty.read_master_exactly(8, 2000).toHex(' '), hex("46 B9 6A 00 06 50 C0 16").toHex(' '));

    // 256 spaced bytes, none lost or reordered.
    QByteArray block;
    for (int i = 0; i < 256; ++i)
        block.append(char(i));
    link.spaced_checksum = 0;
    for (char c : block)
        link.send_byte_spaced(quint8(c), 1);
    link.send_checksum_spaced();
    QCOMPARE(pty.read_master_exactly(257, 3000), block + QByteArray(1, char(Frames::sum8(block))));

    // Closing waits for the bytes to leave; they all arrive.
    link.write_bytes(hex("7F 7F"));
    QCOMPARE(link.close_port(), false);
    QCOMPARE(pty.read_master_exactly(2, 2000), hex("7F 7F"));
}

void TestLinkPty::formats_applied_data()
{
    // A pseudo-terminal keeps the speed and the stop bits; the kernel forces 8 data bits and no
    // parity on it, so those are checked through the port's own read-back only.
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("two_stop");
    QTest::newRow("greeting") << "1200,n,8,1" << 1200 << false;
    QTest::newRow("fast") << "115200,n,8,1" << 115200 << false;
    QTest::newRow("even 7 bits") << "38400,E,7,1" << 38400 << false;
    QTest::newRow("odd 2 stop") << "9600,o,8,2" << 9600 << true;
    QTest::newRow("5 bits") << "4800,n,5,1" << 4800 << false;
}

void TestLinkPty::formats_applied()
{
    QFETCH(QString, settings);
    Pty pty;
    QVERIFY(pty.open());
    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(pty.slave_path());

    // Applied at open ...
    QVERIFY(link.set_settings(settings));
    QCOMPARE(link.open_port(), 0);
    auto check = [&] {
        termios t{};
        QVERIFY(pty.slave_termios(&t));
        QTEST(pty.slave_baud(), "baud");
        QTEST(bool(t.c_cflag & CSTOPB), "two_stop");
        QCOMPARE(port.format(), *SerialFormat::parse(settings));
    };
    check();
    if (QTest::currentTestFailed())
        return;

    // ... and to an open port, after the bytes sent at the old settings have gone. (The kernel
    // refuses parity and data-bit changes on an open pseudo-terminal.)
    const SerialFormat wanted = *SerialFormat::parse(settings);
    if (wanted.parity != 'N' || wanted.data_bits != 8)
        return;
    QVERIFY(link.set_settings(QStringLiteral("1200,n,8,1")));
    QCOMPARE(pty.slave_baud(), 1200);
    link.write_bytes(hex("7F 7F"));
    QVERIFY(link.set_settings(settings));
    check();
    QCOMPARE(link.settings(), SerialFormat::parse(settings)->text());
    QCOMPARE(pty.read_master_exactly(2, 2000), hex("7F 7F"));
}

void TestLinkPty::reply_received()
{
    Pty pty;
    QVERIFY(pty.open());
    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(pty.slave_path());
    QCOMPARE(link.open_port(), 0);
    link.reply_armed = true;
    link.prefix_mode = true;

    const QByteArray reply = Frames::reply_frame(hex("00 01 02 03 04 05 06 07 28 43 FF"));
    link.flush_receive();
    QCOMPARE(link.send_short_command(0x80), 0);
    QCOMPARE(pty.read_master_exactly(8, 2000), hex("46 B9 6A 00 06 80 F0 16"));
    // The reply in three pieces, the first with the prefix.
    QTimer::singleShot(5, [&] { pty.write_master(hex("46 B9 68")); });
    QTimer::singleShot(20, [&] { pty.write_master(reply.mid(1, 6)); });
    QTimer::singleShot(35, [&] { pty.write_master(reply.mid(7)); });
    QVERIFY(link.wait_reply(3000));
    std::array<quint8, IspLink::kFrameCapacity> frame{};
    QCOMPARE(link.get_received_frame(frame), int(reply.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.data()), int(reply.size())), reply);
}

void TestLinkPty::peer_closes_during_wait()
{
    QtSerialPort port;
    IspLink link(&port, nullptr);
    QSignalSpy failed(&link, &IspLink::port_failed);
    {
        Pty pty;
        QVERIFY(pty.open());
        link.set_port_device(pty.slave_path());
        QCOMPARE(link.open_port(), 0);
        link.reply_armed = true;
        link.write_bytes(Frames::command_frame(0x50));
        QTimer::singleShot(10, [&] { pty.write_master(hex("68 00")); });
        QTimer::singleShot(30, [&] { pty.close_master(); });
        QVERIFY(!link.wait_reply(4000));
        QVERIFY(!link.reply_received);
        // The pseudo-terminal disappears with its master.
    }
    QCOMPARE(failed.size(), 1);
    QVERIFY(!link.port_open());
    // Sends and waits on the dead port are harmless.
    link.send_byte(0x7F);
    link.wait_transmit_empty();
    QVERIFY(!link.wait_reply(5));

    // The device is back (a new line): the same link opens it and works.
    Pty again;
    QVERIFY(again.open());
    link.set_port_device(again.slave_path());
    QCOMPARE(link.open_port(), 0);
    QCOMPARE(link.send_short_command(0x82), 0);
    QCOMPARE(again.read_master_exactly(6, 2000), hex("6A 00 06 82 F2 16"));
}

void TestLinkPty::transmit_queue_empties()
{
    Pty pty;
    QVERIFY(pty.open());
    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(pty.slave_path());
    QCOMPARE(link.open_port(), 0);
    QVERIFY(link.set_settings(QStringLiteral("115200,n,8,1")));
    link.write_bytes(QByteArray(64, char(0x55)));
    link.wait_transmit_empty();
    QCOMPARE(port.bytes_to_send(), 0);
    QCOMPARE(pty.read_master_exactly(64, 2000), QByteArray(64, char(0x55)));
}

QTEST_GUILESS_MAIN(TestLinkPty)
#include "test_link_pty.moc"
