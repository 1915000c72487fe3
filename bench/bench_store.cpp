// Serial numbers taken per second (take + confirm; one station, then three at once) and board
// records stored per second, on an SQLite file and on a PostgreSQL server of its own (Unix socket;
// fsync on, then off to show what the disk's sync costs).
//   bench_store [COUNT]      default 1000 numbers and 1000 records per store

#include "store/production_store.h"
#include "support/pg_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <QFile>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// `stations` stations (threads, a connection each) take and confirm `count` numbers each.
double numbers_per_second(const QString& where, const SeriesKey& key, int stations, int count)
{
    std::atomic<bool> ok{true};
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> threads;
    for (int s = 0; s < stations; ++s) {
        threads.emplace_back([&, s] {
            auto store = std::move(open_production_store(where, QStringLiteral("bench %1").arg(s)).value);
            for (int i = 0; i < count && ok; ++i) {
                const auto lease = store->take(key, 60);
                if (!lease.ok() || !store->confirm(lease.value).ok()) {
                    std::printf("failed: %s\n", qPrintable(lease.message));
                    ok = false;
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    return ok ? stations * count * 1000.0 / qMax<qint64>(1, t.elapsed()) : 0;
}

bool measure(const char* name, const QString& where, int count)
{
    auto store = std::move(open_production_store(where, QStringLiteral("bench")).value);
    SeriesKey key;
    QString error;
    SeriesKey::parse(QStringLiteral("bench/7FFF/4/dec"), &key, &error);
    if (!store || !store->create_series(key, 1, 1).ok()) {
        std::printf("%-10s  store not usable\n", name);
        return false;
    }
    const double one = numbers_per_second(where, key, 1, count);
    const double three = numbers_per_second(where, key, 3, count / 3);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        BoardRecord r = BoardRecord::begin();
        r.serial_number = QString::number(i);
        r.result = RecordResult::Ok;
        if (!store->add_record(r).ok())
            return false;
    }
    const double records = count * 1000.0 / qMax<qint64>(1, t.elapsed());
    std::printf("%-10s  numbers/s (take + confirm): %6.0f one station, %6.0f three stations;  records/s: %6.0f\n",
                name, one, three, records);
    return one > 0 && three > 0;
}

// Milliseconds one 8 KB write + fdatasync takes in `folder` (the bound on a durable commit).
double sync_ms(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/sync.test"));
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0)
        return -1;
    const QByteArray block(8192, 'x');
    QElapsedTimer t;
    t.start();
    const int rounds = 100;
    for (int i = 0; i < rounds; ++i) {
        if (::pwrite(fd, block.constData(), size_t(block.size()), 0) < 0 || ::fdatasync(fd) != 0)
            break;
    }
    ::close(fd);
    return double(t.nsecsElapsed()) / 1e6 / rounds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    std::printf("%d numbers and records per store; goal >= 200 numbers/s. A number taken is on disk\n"
                "before the answer, so a station's rate is bounded by the disk's sync time: %.1f ms here.\n",
                count, sync_ms(dir.path()));
    bool ok = measure("SQLite", dir.filePath(QStringLiteral("bench.sqlite")), count);
    if (PgServer::bin_dir().isEmpty()) {
        std::printf("PostgreSQL  not installed\n");
        return ok ? 0 : 1;
    }
    // The server as shipped (fsync on), then without fsync: the store's own cost.
    for (const bool durable : {true, false}) {
        PgServer pg;
        if (!pg.start(durable)) {
            std::printf("PostgreSQL  did not start: %s\n", qPrintable(pg.error()));
            return 1;
        }
        ok = measure(durable ? "PostgreSQL" : "PG nofsync", pg.url(), count) && ok;
    }
    return ok ? 0 : 1;
}
