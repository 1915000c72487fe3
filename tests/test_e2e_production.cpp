// Production runs: zvkisp-cli processes on zvkisp-sim boards share one serial-number series in the
// production store (SQLite or a PostgreSQL server of the test's own), every board leaves one
// record there and one in --report, and the store may go away in the middle of a batch.
#include "settings/settings_store.h"
#include "store/production_store.h"
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/pg_server.h"
#include "support/record_schema.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kFirst = QStringLiteral("0007");

// One board line: a simulator with a few boards in turn and a Re-Download over it.
struct Station {
    SimProcess sim;
    CliProcess cli;
    QString flash;
    QString report;
    int boards = 0;          // boards the simulator offers
    // Boards the CLI reported as done ("board N programmed|failed").
    int done() { return int(cli.err().count(QRegularExpression(QStringLiteral("board \\d+ (programmed|failed)")))); }
};

} // namespace

class TestE2eProduction : public QObject {
    Q_OBJECT
    PgServer pg_;
    QTemporaryDir dir_;
    QString image_file_;
    int stations_ = 0;

    QString store_for(const QString& backend)
    {
        return backend == QLatin1String("postgresql") ? pg_.url()
                                                      : dir_.filePath(QStringLiteral("store-%1.sqlite").arg(stations_));
    }

    // Starts a station over `boards` boards; `sim_extra` makes the simulator faulty or slow.
    bool start(Station& s, int boards, const QString& store, const QString& product, const QStringList& sim_extra = {})
    {
        const int n = ++stations_;
        s.boards = boards;
        s.flash = dir_.filePath(QStringLiteral("flash%1.bin").arg(n));
        s.report = dir_.filePath(QStringLiteral("report%1.json").arg(n));
        return s.sim.start(QStringList{"--model", kModel, "--boards", QString::number(boards), "--next-board-delay",
                                       "300", "--exit-grace", "60000", "--flash-out", s.flash} +
                           sim_extra) &&
               s.cli.start({"download", image_file_, "--port", s.sim.port(), "--model", kModel, "--repeat", "--pause",
                            "0", "--serial", "0101,2," + kFirst + ",1,dec", "--store", store, "--product", product,
                            "--report", s.report});
    }

    // Waits until every station's boards are done (or its CLI ended), then Ctrl-C for each.
    static void finish(std::vector<std::unique_ptr<Station>>& stations)
    {
        QElapsedTimer t;
        t.start();
        for (auto& s : stations) {
            while (s->done() < s->boards && s->cli.process().state() != QProcess::NotRunning && t.elapsed() < 120000)
                s->cli.process().waitForReadyRead(100);
            s->cli.interrupt();
            QVERIFY(s->cli.finish(30000));
            QVERIFY2(s->cli.exit_code() != -1, qPrintable(s->cli.err()));
        }
    }

    // One record per board that each station reported, in the store and in its --report file;
    // the numbers of the good boards distinct and consecutive from kFirst, each as the board's
    // flash holds it. Returns how many boards succeeded.
    static int check(const std::vector<std::unique_ptr<Station>>& stations, const QString& store, int first_number)
    {
        auto opened = open_production_store(store, QStringLiteral("check"));
        const auto records = opened.value->records(QDateTime());
        if (!records.ok())
            return -1;
        QList<int> numbers;
        for (const auto& s : stations) {
            QList<int> flashed, recorded;
            int mine = 0;
            for (const BoardRecord& r : records.value) {
                if (r.port != s->sim.port())
                    continue;
                ++mine;
                if (r.result == RecordResult::Ok)
                    recorded << r.serial_number.toInt();
            }
            const QStringList lines = QString::fromUtf8(e2e::read_file(s->report)).split(u'\n', Qt::SkipEmptyParts);
            for (const QString& line : lines)
                if (!record_schema_problem(line).isEmpty())
                    return -5;
            if (mine != s->done() || lines.size() != mine)
                return -2;
            for (int board = 1; board <= recorded.size(); ++board)
                flashed << e2e::read_file(s->flash + QStringLiteral(".%1").arg(board)).mid(0x100, 2).toHex().toInt();
            if (flashed != recorded)
                return -3;
            numbers += recorded;
        }
        for (const auto& s : stations)
            if (s->cli.exit_code() == 2 || s->cli.exit_code() == 3)   // refused, or no store at the start
                return -6;
        std::sort(numbers.begin(), numbers.end());
        for (int i = 0; i < numbers.size(); ++i)
            if (numbers[i] != first_number + i)
                return -4;
        return int(numbers.size());
    }

private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
        if (!PgServer::bin_dir().isEmpty())
            QVERIFY2(pg_.start(), qPrintable(pg_.error()));
        image_file_ = dir_.filePath(QStringLiteral("image.bin"));
        QVERIFY(e2e::write_file(image_file_, e2e::pattern(2048, 5)));
    }

    void shared_series_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    // Three stations at once, one of whose boards keeps its old options (it fails after its
    // number went out, and the number goes to another board); then the same command once more.
    void shared_series()
    {
        QFETCH(QString, backend);
        if (backend == QLatin1String("postgresql") && PgServer::bin_dir().isEmpty())
            QSKIP("PostgreSQL is not installed");
        const QString store = store_for(backend);
        const QString product = QStringLiteral("widget-") + QTest::currentDataTag();
        std::vector<std::unique_ptr<Station>> stations;
        for (int i = 0; i < 3; ++i) {
            stations.push_back(std::make_unique<Station>());
            QVERIFY(start(*stations.back(), i == 1 ? 1 : 8, store, product,
                          i == 1 ? QStringList{QStringLiteral("--ignore-options")} : QStringList{}));
        }
        finish(stations);
        QVERIFY2(stations[1]->cli.err().contains(QStringLiteral("board 1 failed")), qPrintable(stations[1]->cli.err()));
        QCOMPARE(check(stations, store, kFirst.toInt()), 16);

        stations.push_back(std::make_unique<Station>());
        QVERIFY(start(*stations.back(), 2, store, product));
        finish(stations);
        QVERIFY2(stations.back()->cli.err().contains(QStringLiteral("continues at 0023, ahead of NEXT 0007")),
                 qPrintable(stations.back()->cli.err()));
        QCOMPARE(check(stations, store, kFirst.toInt()), 18);
    }

    // The server goes away after the first board and comes back a moment later: the station
    // says so, takes no number meanwhile, and goes on; no record of a finished board is lost.
    void store_lost_mid_batch()
    {
        if (PgServer::bin_dir().isEmpty())
            QSKIP("PostgreSQL is not installed");
        std::vector<std::unique_ptr<Station>> stations;
        stations.push_back(std::make_unique<Station>());
        Station& s = *stations.back();
        QVERIFY(start(s, 3, pg_.url(), QStringLiteral("lost"), {QStringLiteral("--next-board-delay"), "1500"}));
        QVERIFY2(s.cli.wait_for_error(QStringLiteral("board 1 programmed"), 60000), qPrintable(s.cli.err()));
        QVERIFY(pg_.stop(true));
        const bool said = s.cli.wait_for_error(QStringLiteral("Waiting for the store"), 30000);
        QTest::qWait(1000);
        QVERIFY(pg_.start());
        QVERIFY2(said, qPrintable(s.cli.err()));
        finish(stations);
        QVERIFY2(s.cli.err().contains(QStringLiteral("The store is back")), qPrintable(s.cli.err()));
        QCOMPARE(check(stations, pg_.url(), kFirst.toInt()), 3);
    }

    // The window's counter for the same bytes moves into the store once and goes on from there.
    void window_counter_taken_over()
    {
        SettingsStore settings;
        const QStringList keys{"address", "Length", "next_value", "Increase", "numeral_system"};
        const QStringList values{"0201", "2", "0042", "1", "1"};
        for (int i = 0; i < keys.size(); ++i)
            settings.set_value(SettingsStore::kAutoIncrease, keys[i], values[i]);
        Station s;
        QVERIFY(s.sim.start({"--model", kModel}));
        QVERIFY(s.cli.start({"download", image_file_, "--port", s.sim.port(), "--model", kModel, "--serial",
                             "0201,2,0007,1,dec", "--store", dir_.filePath(QStringLiteral("window.sqlite"))}));
        QVERIFY(s.cli.finish(60000));
        QVERIFY2(s.cli.err().contains(QStringLiteral("taken over from the window's counter at 0042")) &&
                     s.cli.err().contains(QStringLiteral("continues at 0042, ahead of NEXT 0007")) &&
                     s.cli.err().contains(QStringLiteral("board 1 programmed, serial number 0042")),
                 qPrintable(s.cli.err()));
    }

    // Ctrl-C in the middle of programming (the last block goes first on this model, the number's
    // block later): the record says interrupted and carries no number.
    void interrupted_board()
    {
        std::vector<std::unique_ptr<Station>> stations;
        stations.push_back(std::make_unique<Station>());
        Station& s = *stations.back();
        const QString store = store_for(QStringLiteral("sqlite"));
        QVERIFY(start(s, 1, store, QStringLiteral("stop"), {QStringLiteral("--program-us"), QStringLiteral("300000")}));
        QVERIFY(s.cli.wait_for_output(QStringLiteral("Programming.../"), 30000));
        s.cli.interrupt();
        QVERIFY(s.cli.finish(30000));
        const QString line = QString::fromUtf8(e2e::read_file(s.report)).trimmed();
        QCOMPARE(record_schema_problem(line), QString());
        QVERIFY2(line.contains(QStringLiteral("\"result\":\"interrupted\"")) &&
                     line.contains(QStringLiteral("\"serial_number\":\"\"")),
                 qPrintable(line));
        QCOMPARE(check(stations, store, 0), 0);
    }
};

QTEST_GUILESS_MAIN(TestE2eProduction)
#include "test_e2e_production.moc"
