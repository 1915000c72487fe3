// IspLink over a real pseudo-terminal with the real port layer: bytes on the line and line settings
// as the far end sees them. (Open errors, replies and a vanishing line run end to end.)
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/qt_serial_port.h"
#include "support/pty.h"

#include <QtTest>
#include <termios.h>

namespace {
QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
} // namespace

class TestLinkPty : public QObject {
    Q_OBJECT
private slots:
    void bytes_arrive()
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

        // 256 spaced bytes, none lost or reordered.
        QByteArray block;
        for (int i = 0; i < 256; ++i)
            block.append(char(i));
        link.set_spaced_checksum(0);
        for (char c : block)
            link.send_byte_spaced(quint8(c), 1);
        link.send_checksum_spaced();
        QCOMPARE(pty.read_master_exactly(257, 3000), block + QByteArray(1, char(Frames::sum8(block))));

        // The transmit queue empties; closing waits for the bytes to leave and they all arrive.
        link.write_bytes(QByteArray(64, char(0x55)));
        link.wait_transmit_empty();
        QCOMPARE(port.bytes_to_send(), 0);
        QCOMPARE(pty.read_master_exactly(64, 2000), QByteArray(64, char(0x55)));
        link.write_bytes(hex("7F 7F"));
        QCOMPARE(link.close_port(), false);
        QCOMPARE(pty.read_master_exactly(2, 2000), hex("7F 7F"));
    }
    void formats_applied_data()
    {
        // A pseudo-terminal keeps the speed and the stop bits; the kernel forces 8 data bits and no
        // parity on it, so those are checked through the port's own read-back only.
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("two_stop");
        QTest::newRow("greeting") << "1200,n,8,1" << 1200 << false;
        QTest::newRow("even 7 bits") << "38400,E,7,1" << 38400 << false;
        QTest::newRow("odd 2 stop") << "9600,o,8,2" << 9600 << true;
        QTest::newRow("5 bits") << "4800,n,5,1" << 4800 << false;
    }
    void formats_applied()
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
        QCOMPARE(link.settings_text(), SerialFormat::parse(settings)->text());
        QCOMPARE(pty.read_master_exactly(2, 2000), hex("7F 7F"));
    }
};

QTEST_GUILESS_MAIN(TestLinkPty)
#include "test_link_pty.moc"
