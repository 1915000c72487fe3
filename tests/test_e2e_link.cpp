// The link against the virtual MCU: greeting at 1200 baud until the status frame comes, then
// command frames and their replies (with and without the 46 B9 prefix), a line that vanishes.
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/qt_serial_port.h"
#include "support/sim_process.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

QByteArray received(IspLink& link)
{
    std::array<quint8, IspLink::kFrameCapacity> frame{};
    const int n = link.get_received_frame(frame);
    return QByteArray(reinterpret_cast<const char*>(frame.data()), n);
}

// Greets with 0x7F pairs, paced like a UART at 1200 baud, until the status frame arrives.
bool greet(IspLink& link, int max_ms)
{
    link.reply_received = false;
    link.rx_count = 0;
    QElapsedTimer t;
    t.start();
    while (!link.reply_received && t.elapsed() < max_ms) {
        link.reply_armed = true;
        link.pump_events();
        link.wait_transmit_empty();
        link.write_bytes(hex("7F 7F"));
        link.delay_ms(17);
    }
    return link.reply_received;
}

// A byte-wise command frame as the senders emit it.
void send_command(IspLink& link, quint8 code, const QByteArray& data = {})
{
    if (link.prefix_mode) {
        link.send_byte(Frames::kPrefix0);
        link.send_byte(Frames::kPrefix1);
    }
    link.tx_checksum = 0;
    const QByteArray frame = Frames::command_frame(code, data);
    for (int i = 0; i < frame.size() - 2; ++i)
        link.send_byte(quint8(frame[i]));
    link.send_checksum();
    link.send_byte(Frames::kEnd);
}

bool exchange(IspLink& link, quint8 code, int wait_ms, int attempts = 3)
{
    for (int i = 0; i < attempts; ++i) {
        link.flush_receive();
        link.reply_armed = true;
        send_command(link, code);
        if (link.wait_reply(wait_ms))
            return true;
    }
    return false;
}

} // namespace

class TestE2eLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
    }
    void status_read_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("prefix");
        QTest::addColumn<int>("status_length");
        QTest::addColumn<int>("version");
        QTest::addColumn<char>("variant");
        QTest::addColumn<int>("options");
        QTest::newRow("B+ model") << QStringList{"--model", "ZVK7H64B+"} << false << 28 << 0x28 << 'C' << 0xFF;
        QTest::newRow("B+ model, prefix") << QStringList{"--model", "ZVK7H64B+", "--block-protect"} << true << 28
                                          << 0x28 << 'C' << 0xFF;
        QTest::newRow("D model, late power-on") << QStringList{"--model", "ZVK7L32D", "--power-on-delay", "300"}
                                                << false << 27 << 0x24 << 'B' << 0xFF;
        QTest::newRow("B model, short status") << QStringList{"--model", "ZVK7H64B"} << false << 24 << 0x22 << 'A'
                                               << 0xF7;
    }
    void status_read()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, prefix);
        QFETCH(int, status_length);
        SimProcess sim;
        QVERIFY2(sim.start(args), qPrintable(sim.error_output()));

        QtSerialPort port;
        IspLink link(&port, nullptr);
        link.set_port_device(sim.port());
        QVERIFY(link.set_settings(QStringLiteral("1200,n,8,1")));
        QCOMPARE(link.open_port(), 0);
        link.configure_port();

        QVERIFY2(greet(link, 8000), qPrintable(sim.error_output()));
        const QByteArray status = received(link);
        QCOMPARE(int(status.size()), status_length);
        QCOMPARE(quint8(status[0]), quint8(0x68));
        QCOMPARE(int(quint8(status[2])), status_length);
        QTEST(int(quint8(status[20])), "version");
        QTEST(char(status[21]), "variant");
        if (status_length >= 28)
            QCOMPARE(bool(quint8(status[25]) & 0x80), prefix);
        link.prefix_mode = prefix;

        // Read status: the version, variant and option byte again, at bytes 11, 12, 13.
        QVERIFY2(exchange(link, Frames::ReadStatus, 900), qPrintable(sim.error_output()));
        const QByteArray reply = received(link);
        QCOMPARE(quint8(reply[0]), quint8(0x68));
        QTEST(int(quint8(reply[11])), "version");
        QTEST(char(reply[12]), "variant");
        QTEST(int(quint8(reply[13])), "options");

        // A short command in one write, with the prefix in front when in prefix mode.
        link.flush_receive();
        QCOMPARE(link.send_short_command(Frames::Synchronise), 0);
        QVERIFY(link.wait_reply(200 * 5));
        QCOMPARE(quint8(received(link)[3]), quint8(0x80));

        link.close_port();
        QVERIFY(sim.stop());
        QCOMPARE(sim.exit_code(), 0);
    }
    void line_vanishes_mid_exchange()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "ZVK7H64B+", "--vanish-after", "1"}));
        QtSerialPort port;
        IspLink link(&port, nullptr);
        QSignalSpy failed(&link, &IspLink::port_failed);
        link.set_port_device(sim.port());
        QCOMPARE(link.open_port(), 0);
        QVERIFY(greet(link, 8000));
        QVERIFY(exchange(link, Frames::ReadStatus, 900, 1));
        // The second frame makes the line disappear: every attempt ends as a time-out, nothing hangs.
        QVERIFY(!exchange(link, Frames::ReadStatus, 900));
        QVERIFY(!link.port_open());
        QCOMPARE(failed.size(), 1);
        QVERIFY(sim.stop());
    }
};

QTEST_GUILESS_MAIN(TestE2eLink)
#include "test_e2e_link.moc"
