// The serial-number counter the ports of a gang run share: who gets which number when boards
// succeed and fail in any order.
#include "device/serial_pool.h"

#include <QtTest>

class TestSerialPool : public QObject {
    Q_OBJECT
private slots:
    void sequence_data();
    void sequence();
};

void TestSerialPool::sequence_data()
{
    // Steps: "t" takes a number (the board named by the next character: a, b, c), "+x" board x
    // succeeded, "-x" board x failed. `taken`: the numbers as taken, in order.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QStringList>("gaps");
    QTest::newRow("all succeed") << "ta tb tc +b +a +c" << QStringList{"0041", "0042", "0043"} << "0044"
                                 << QStringList{};
    // A failed board's number goes to the next board that takes one, before any fresh number.
    QTest::newRow("failure reused") << "ta tb -a tc +b +c" << QStringList{"0041", "0042", "0041"} << "0043"
                                    << QStringList{};
    QTest::newRow("lowest handed back first") << "ta tb tc -c -a ta tc +a +b +c"
                                              << QStringList{"0041", "0042", "0043", "0041", "0043"} << "0044"
                                              << QStringList{};
    // Handed back and nobody came after: a gap below the highest number used.
    QTest::newRow("gap") << "ta tb -a +b" << QStringList{"0041", "0042"} << "0043" << QStringList{"0041"};
    QTest::newRow("none used") << "ta -a" << QStringList{"0041"} << "0041" << QStringList{"0041"};
}

void TestSerialPool::sequence()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, taken);
    QFETCH(QString, next);
    QFETCH(QStringList, gaps);
    // Decimal, two bytes, step 1: the value box shows four digits.
    SerialPool pool(QStringLiteral("41"), QStringLiteral("1"), 1, 2);
    QHash<QChar, int> held;
    QStringList got;
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        const QChar board = step.at(1);
        if (step.at(0) == QLatin1Char('t')) {
            held[board] = pool.take();
            got << pool.text(held[board]);
        } else if (step.at(0) == QLatin1Char('+')) {
            pool.commit(held.take(board));
        } else {
            pool.release(held.take(board));
        }
    }
    QCOMPARE(got, taken);
    QCOMPARE(pool.next_text(), next);
    QStringList unused;
    for (int i : pool.unused_released())
        unused << pool.text(i);
    QCOMPARE(unused, gaps);
}

QTEST_GUILESS_MAIN(TestSerialPool)
#include "test_serial_pool.moc"
