// The handshake's baud choice at its bounds and the clock from the status frame's timing counts.
// (The frames of the negotiation are compared on the wire in test_e2e_frames.)

#include "device/handshake.h"

#include <QtTest>

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
        QTest::newRow("100 kHz: nothing") << 100000 << 115200 << 100 << -1 << 0 << 0;
        QTest::newRow("index 0: nothing") << 11059200 << 115200 << 0 << -1 << 0 << 0;
    }
    void calculate_baud()
    {
        QFETCH(int, clock);
        QFETCH(int, limit);
        QFETCH(int, index_in);
        QFETCH(int, count);
        QFETCH(int, baud);
        QFETCH(int, index_out);
        const auto choice = Handshake::calculate_baud(clock, qint16(index_in), limit);
        QCOMPARE(bool(choice), count > 0);
        if (!choice)
            return;
        QCOMPARE(int(choice->count), count);
        QCOMPARE(int(choice->baud), baud);
        QCOMPARE(int(choice->index), index_out);
        QVERIFY(choice->error_pct > -3.5f && choice->error_pct < 4.5f);
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
};

QTEST_GUILESS_MAIN(TestHandshake)
#include "test_handshake.moc"
