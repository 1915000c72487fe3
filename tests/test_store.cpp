// The production store on SQLite and on a PostgreSQL server started for the run: series and
// leases, records, three stations at once, the server lost and back, the shift leader's commands.
// Run as "test_store --station STORE SERIES COUNT" it is one station of the concurrency test.

#include "store/production_store.h"
#include "support/cli_process.h"
#include "support/pg_server.h"
#include "support/record_schema.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <set>

namespace {

std::unique_ptr<ProductionStore> open_store(const QString& where, const QString& station)
{
    auto out = open_production_store(where, station);
    if (!out.ok())
        qFatal("%s", qPrintable(out.message));   // e.g. Qt's PostgreSQL driver is missing
    return std::move(out.value);
}

SeriesKey key_of(const QString& name)
{
    SeriesKey k;
    QString error;
    if (!SeriesKey::parse(name, &k, &error))
        qFatal("%s", qPrintable(error));
    return k;
}

// One station of the concurrency test: COUNT boards, every third fails and gives its number back;
// prints "ok N" for every number it kept. A store that is away is waited for (up to 20 s).
int station_main(const QString& where, const QString& series, int count)
{
    auto store = open_store(where, QStringLiteral("station-%1").arg(QCoreApplication::applicationPid()));
    const SeriesKey key = key_of(series);
    QTextStream out(stdout);
    for (int board = 0; board < count; ++board) {
        StoreOutcome<SerialLease> lease;
        for (int tries = 0; tries < 200 && (lease = store->take(key, 60)).status == StoreStatus::Unavailable; ++tries)
            QThread::msleep(100);
        if (!lease.ok())
            return 1;
        const bool good = board % 3 != 1;
        if (!(good ? store->confirm(lease.value) : store->give_back(lease.value)).ok())
            return 1;
        if (good)
            out << "ok " << lease.value.number << Qt::endl;
    }
    return 0;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
    PgServer pg_;
    bool pg_up_ = false;
    QTemporaryDir dir_;
    int serial_ = 0;

    // A fresh store for a data row ("sqlite" or "postgresql"): a new SQLite file, or the server
    // (series names made unique per row by the caller).
    QString where(const QString& backend)
    {
        if (backend == QLatin1String("postgresql")) {
            if (PgServer::bin_dir().isEmpty())
                return QString();
            return pg_.url();
        }
        return dir_.filePath(QStringLiteral("store-%1.sqlite").arg(++serial_));
    }
    void backends()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

private slots:
    void initTestCase()
    {
        if (!PgServer::bin_dir().isEmpty())
            QVERIFY2(pg_up_ = pg_.start(), qPrintable(pg_.error()));
    }

    // Scripted stations on one series: "A+ 100" station A takes and gets 100 ("A+0" with a lease
    // that runs out at once), "A=" confirms, "A-" gives back; a word instead of a number is the
    // expected status. The line ends with the series' state: next/used/leased/returned.
    void leases_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("series");
        QTest::addColumn<qint64>("next");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("state");
        for (const QString b : {QStringLiteral("sqlite"), QStringLiteral("postgresql")}) {
            QTest::addRow("%s: returned numbers first, lowest first", qPrintable(b))
                << b << QStringLiteral("p%1/1FFF/2/dec").arg(b) << qint64(100)
                << QStringList{"A+ 100", "B+ 101", "C+ 102", "C-", "A-", "D+ 100", "B=", "E+ 102", "D=", "E=", "F+ 103"}
                << QStringLiteral("104/3/1/0");
            QTest::addRow("%s: a lease that ran out goes to another station", qPrintable(b))
                << b << QStringLiteral("q%1/0FFF/4/hex").arg(b) << qint64(7)
                << QStringList{"A+0 7", "B+ 7", "A= lost", "A- lost", "B=", "A+ 8", "A="}
                << QStringLiteral("9/2/0/0");
            QTest::addRow("%s: the bytes are full", qPrintable(b))
                << b << QStringLiteral("r%1/0100/1/dec").arg(b) << qint64(99)
                << QStringList{"A+ 99", "B+ full", "A-", "B+ 99", "B="} << QStringLiteral("100/1/0/0");
            QTest::addRow("%s: no such series", qPrintable(b))
                << b << QStringLiteral("s%1/0100/1/ascii").arg(b) << qint64(-1) << QStringList{"A+ none", "A= lost"}
                << QString();
        }
    }
    void leases()
    {
        QFETCH(QString, backend);
        QFETCH(QString, series);
        QFETCH(qint64, next);
        QFETCH(QStringList, script);
        QFETCH(QString, state);
        const QString at = where(backend);
        if (at.isEmpty())
            QSKIP("PostgreSQL is not installed");
        const SeriesKey key = key_of(series);
        if (next >= 0)
            QVERIFY(open_store(at, QStringLiteral("leader"))->create_series(key, next, 1).ok());
        std::map<QChar, std::unique_ptr<ProductionStore>> stations;
        std::map<QChar, SerialLease> held;
        for (const QString& step : script) {
            const QChar who = step.at(0);
            auto& store = stations[who];
            if (!store)
                store = open_store(at, QStringLiteral("station ") + who);
            const QString op = step.section(u' ', 0, 0).mid(1);
            const QString want = step.section(u' ', 1);
            StoreStatus status;
            if (op.startsWith(u'+')) {
                const auto lease = store->take(key, op == QLatin1String("+0") ? 0 : 60);
                status = lease.status;
                held[who] = lease.value;
                if (lease.ok())
                    QCOMPARE(QString::number(lease.value.number), want);
            } else {
                status = (op == QLatin1String("=") ? store->confirm(held[who]) : store->give_back(held[who])).status;
            }
            const std::map<QString, StoreStatus> words{{"", StoreStatus::Ok}, {"lost", StoreStatus::LeaseLost},
                                                       {"full", StoreStatus::Exhausted}, {"none", StoreStatus::NotFound}};
            QVERIFY2(status == (words.count(want) ? words.at(want) : StoreStatus::Ok), qPrintable(step));
        }
        if (state.isEmpty())
            return;
        const auto info = stations.begin()->second->series(key);
        QVERIFY(info.ok());
        QCOMPARE(QStringLiteral("%1/%2/%3/%4").arg(info.value.next).arg(info.value.used).arg(info.value.leased)
                     .arg(info.value.returned), state);
    }

    void records_data() { backends(); }
    void records()
    {
        QFETCH(QString, backend);
        const QString at = where(backend);
        if (at.isEmpty())
            QSKIP("PostgreSQL is not installed");
        auto a = open_store(at, QStringLiteral("a-%1").arg(backend));
        auto b = open_store(at, QStringLiteral("b-%1").arg(backend));
        const QDateTime t0 = QDateTime::currentDateTimeUtc().addDays(1000);   // later than any other row
        for (int i = 0; i < 4; ++i) {
            BoardRecord r = BoardRecord::begin();
            r.station = QStringLiteral("someone else");
            r.started = t0.addSecs(i * 60);
            r.serial_number = QString::number(i);
            r.result = i == 2 ? RecordResult::Failed : RecordResult::Ok;
            const auto added = (i % 2 ? b : a)->add_record(r);
            QVERIFY2(added.ok(), qPrintable(added.message));
            if (i == 3)
                QVERIFY(b->add_record(r).ok());   // stored again: still one record
        }
        const auto since = a->records(t0.addSecs(60));
        QVERIFY(since.ok());
        QStringList got;
        for (const BoardRecord& r : since.value)
            got << r.station.left(1) + r.serial_number + board_result_text(r.result);
        QCOMPARE(got.join(u' '), QStringLiteral("b1ok a2failed b3ok"));
        QCOMPARE(int(a->records(t0, b->station()).value.size()), 2);
    }

    void three_stations_data() { backends(); }
    void three_stations()
    {
        QFETCH(QString, backend);
        const QString at = where(backend);
        if (at.isEmpty())
            QSKIP("PostgreSQL is not installed");
        const QString series = QStringLiteral("three-%1/3FFF/4/dec").arg(backend);
        auto store = open_store(at, QStringLiteral("leader"));
        QVERIFY(store->create_series(key_of(series), 5000, 1).ok());
        std::vector<std::unique_ptr<QProcess>> stations;
        for (int i = 0; i < 3; ++i) {
            stations.push_back(std::make_unique<QProcess>());
            stations.back()->start(QCoreApplication::applicationFilePath(),
                                   {QStringLiteral("--station"), at, series, QStringLiteral("30")});
        }
        std::vector<qint64> kept;
        for (auto& p : stations) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitCode(), 0);
            for (const QByteArray& line : p->readAllStandardOutput().split('\n'))
                if (line.startsWith("ok "))
                    kept.push_back(line.mid(3).toLongLong());
        }
        QCOMPARE(int(kept.size()), 3 * 20);
        // Numbers given back last wait for the next boards: two more boards take them.
        for (auto info = store->series(key_of(series)); info.value.returned > 0; info = store->series(key_of(series))) {
            const auto lease = store->take(key_of(series), 60);
            QVERIFY(lease.ok() && store->confirm(lease.value).ok());
            kept.push_back(lease.value.number);
        }
        std::sort(kept.begin(), kept.end());
        QVERIFY(std::adjacent_find(kept.begin(), kept.end()) == kept.end());
        QCOMPARE(kept.front(), qint64(5000));
        QCOMPARE(kept.back(), qint64(5000 + kept.size() - 1));
    }

    // The server dies with a number out: the station hears "unavailable", keeps its lease, and
    // goes on where it was once the server is back.
    void server_lost()
    {
        if (!pg_up_)
            QSKIP("PostgreSQL is not installed");
        auto store = open_store(pg_.url(), QStringLiteral("lost"));
        const SeriesKey key = key_of(QStringLiteral("lost/0FFF/2/dec"));
        QVERIFY(store->create_series(key, 1, 1).ok());
        const auto first = store->take(key, 60);
        QVERIFY(first.ok() && store->confirm(first.value).ok());
        const auto second = store->take(key, 60);
        QVERIFY(second.ok());
        QVERIFY2(pg_.stop(true), qPrintable(pg_.error()));
        const auto away = store->confirm(second.value);
        QCOMPARE(int(away.status), int(StoreStatus::Unavailable));
        QVERIFY2(away.message.contains(QLatin1String("unavailable")), qPrintable(away.message));
        QCOMPARE(int(store->take(key, 60).status), int(StoreStatus::Unavailable));
        QVERIFY2(pg_.start(), qPrintable(pg_.error()));
        const auto back = store->confirm(second.value);
        QVERIFY2(back.ok(), qPrintable(back.message));
        const auto third = store->take(key, 60);
        QVERIFY(third.ok());
        QCOMPARE(QList<qint64>({first.value.number, second.value.number, third.value.number}), QList<qint64>({1, 2, 3}));
    }

    // A record as a JSON line and a CSV row, and the JSON line against docs/board-record.schema.json.
    void record_lines()
    {
        BoardRecord r;
        r.id = QStringLiteral("id-1");
        r.station = QStringLiteral("line 2");
        r.port = QStringLiteral("/dev/ttyUSB0");
        r.started = QDateTime(QDate(2025, 6, 1), QTime(6, 0, 1, 5), Qt::UTC);
        r.model = QStringLiteral("ZVK7H64B+");
        r.clock_hz = 11059200;
        r.bytes_programmed = 2048;
        r.serial_number = QStringLiteral("0042");
        r.failure_reason = QStringLiteral("said \"no\",\nthen stopped");
        r.handshake_ms = 0;
        const QString json = r.to_json_line();
        QCOMPARE(json, QStringLiteral(
            "{\"id\":\"id-1\",\"station\":\"line 2\",\"port\":\"/dev/ttyUSB0\",\"started\":\"2025-06-01T06:00:01.005Z\","
            "\"ended\":\"\",\"model\":\"ZVK7H64B+\",\"chip_id\":\"\",\"firmware_version\":\"\",\"clock_hz\":11059200,"
            "\"baud\":null,\"image_name\":\"\",\"image_sha256\":\"\",\"bytes_programmed\":2048,\"serial_series\":\"\","
            "\"serial_number\":\"0042\",\"options\":\"\",\"result\":\"failed\","
            "\"failure_reason\":\"said \\\"no\\\",\\nthen stopped\",\"frames_resent\":0,\"handshake_ms\":0,"
            "\"erase_ms\":null,\"program_ms\":null,\"options_ms\":null}"));
        QCOMPARE(r.to_csv_row(), QStringLiteral("id-1,line 2,/dev/ttyUSB0,2025-06-01T06:00:01.005Z,,ZVK7H64B+,,,11059200,,,,"
                                                "2048,,0042,,failed,\"said \"\"no\"\",\nthen stopped\",0,0,,,"));
        const QString problem = record_schema_problem(json);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Series names and the settings counter seeded once.
    void seed()
    {
        auto store = open_store(where(QStringLiteral("sqlite")), QStringLiteral("seed"));
        const SettingsCounter counter{QStringLiteral("1fff"), QStringLiteral("2"), QStringLiteral("0258"),
                                      QStringLiteral("3"), QStringLiteral("7")};
        const auto seeded = seed_series_from_settings(*store, QStringLiteral("widget"), counter);
        QVERIFY(seeded.ok());
        QCOMPARE(seeded.value.key.name(), QStringLiteral("widget/1FFF/2/bin"));   // format 7: the first one
        QCOMPARE(seeded.value.next, qint64(258));
        QCOMPARE(seeded.value.step, qint64(3));
        QVERIFY(store->take(seeded.value.key, 60).ok());
        const auto again = seed_series_from_settings(*store, QStringLiteral("widget"), counter);
        QCOMPARE(int(again.status), int(StoreStatus::Exists));
        QCOMPARE(again.value.next, qint64(261));
        QString error;
        SeriesKey k;
        for (const char* bad : {"w/1FFF/5/bin", "w/0002/4/dec", "w/1FFF/2", "a/b/1FFF/2/dec", "w/10000/1/dec", "w/1FFF/2/oct"})
            QVERIFY2(!SeriesKey::parse(QLatin1String(bad), &k, &error) && !error.isEmpty(), bad);
    }

    // The shift leader's commands: exit status, and a text on stdout or stderr.
    void cli_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* args, int status, const char* out, const char* err = "") {
            QTest::newRow(args) << QString::fromUtf8(args) << status << QString::fromUtf8(out) << QString::fromUtf8(err);
        };
        row("series create widget/1FFF/2/dec --next 1000", 0, "series    widget/1FFF/2/dec\nnext      1000\nstep      1\n");
        row("series create Widget/1fff/2/DEC --next 5", 0, "series    Widget/1FFF/2/dec\n");
        row("series create widget/1fff/2/DEC --next 5", 4, "", "exists");
        row("series create v/0FFF/1/dec --next 100", 4, "", "does not fit");
        row("series create v/0FFF/5/hex --next 1", 4, "", "bin format holds 1 to 4 bytes");
        row("series reset widget/1FFF/2/dec", 2, "", "--next");
        row("series reset widget/1FFF/2/dec --next 7 --step 0", 2, "", "--step");
        row("series reset widget/1FFF/2/dec --next 7 --step 2", 0, "next      7\nstep      2\n");
        row("series show nothing/0100/1/dec", 4, "", "no series");
        row("series list", 0, "widget/1FFF/2/dec                         7      2        0      0        0\n");
        row("series list extra", 2, "", "no series");
        row("series frob", 2, "", "list, show");
        row("records --format xml", 2, "", "json or csv");
        row("records --since yesterday", 2, "", "age");
        row("records --since 8h --format csv", 0, "id,station,port,started,ended,model,");
        row("series list --store postgresql://u:secret@/db?host=/nonexistent", 3, "", ".pgpass");
        row("records --store postgresql://u@host:port/db", 2, "", "cannot read the store URL");
    }
    void cli()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QStringList argv = args.split(u' ');
        if (!args.contains(QLatin1String("--store")))
            argv << QStringLiteral("--store") << dir_.filePath(QStringLiteral("cli.sqlite"));
        CliProcess cli;
        QVERIFY(cli.start(argv));
        QVERIFY(cli.finish(30000));
        QCOMPARE(cli.exit_code(), status);
        QVERIFY2(cli.out().contains(out), qPrintable(cli.out()));
        QVERIFY2(cli.err().contains(err), qPrintable(cli.err()));
        QVERIFY2(!cli.err().contains(QLatin1String("secret")), qPrintable(cli.err()));
    }

    void cleanupTestCase()
    {
        if (pg_up_)
            QVERIFY(pg_.stop());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--station")
        return station_main(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QByteArray(argv[4]).toInt());
    TestStore t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_store.moc"
