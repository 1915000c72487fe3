// The serial-number counter the ports of a gang run share: one number out at a time, the next
// number after each success, the same number again after a failure.
#include "device/serial_pool.h"

#include <QtTest>

#include <chrono>
#include <future>

using namespace std::chrono_literals;

class TestSerialPool : public QObject {
    Q_OBJECT
private slots:
    void sequence_data();
    void sequence();
    void one_number_at_a_time();
};

void TestSerialPool::sequence_data()
{
    // Steps: "t" takes a number, "+" the board succeeded, "-" it failed.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("next");
    QTest::newRow("all succeed") << "t + t + t +" << QStringList{"0041", "0042", "0043"} << "0044";
    QTest::newRow("failures hand back") << "t - t + t - t - t +" << QStringList{"0041", "0041", "0042", "0042", "0042"}
                                        << "0043";
    QTest::newRow("none used") << "t -" << QStringList{"0041"} << "0041";
}

void TestSerialPool::sequence()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, taken);
    QFETCH(QString, next);
    // Decimal, two bytes, step 1: the value box shows four digits.
    SerialPool pool(QStringLiteral("41"), QStringLiteral("1"), 1, 2);
    const std::atomic<bool> no_stop{false};
    int held = -1;
    QStringList got;
    for (const QString& step : steps.split(QLatin1Char(' '))) {
        if (step == QLatin1String("t"))
            got << pool.text(held = pool.take(no_stop));
        else if (step == QLatin1String("+"))
            pool.commit(held);
        else
            pool.release(held);
    }
    QCOMPARE(got, taken);
    QCOMPARE(pool.next_text(), next);
}

// A second board waits while the first holds the number, and gets it when it is handed back; a
// stop ends a wait at once.
void TestSerialPool::one_number_at_a_time()
{
    SerialPool pool(QStringLiteral("41"), QStringLiteral("1"), 1, 2);
    std::atomic<bool> no_stop{false}, stop{false};
    const int first = pool.take(no_stop);
    auto second = std::async(std::launch::async, [&] { return pool.take(no_stop); });
    QVERIFY(second.wait_for(100ms) == std::future_status::timeout);
    pool.release(first);
    QCOMPARE(second.get(), first);
    auto stopped = std::async(std::launch::async, [&] { return pool.take(stop); });
    QVERIFY(stopped.wait_for(100ms) == std::future_status::timeout);
    stop = true;
    pool.wake();
    QVERIFY(stopped.wait_for(5s) == std::future_status::ready);
    QCOMPARE(stopped.get(), -1);
    pool.commit(first);
    QCOMPARE(pool.take(no_stop), first + 1);
}

QTEST_GUILESS_MAIN(TestSerialPool)
#include "test_serial_pool.moc"
