// The writer's pacing: the wire a sender produces that writes whenever the writer lets it and
// otherwise sleeps until its next chance. Bytes go back to back at the baud, a gap longer than a
// character spaces them, and the writes never run more than the look-ahead ahead of the wire.
#include "isp/paced_writer.h"

#include <QtTest>

class TestPacing : public QObject {
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestPacing)
#include "test_pacing.moc"
