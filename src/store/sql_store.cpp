#include "store/sql_store.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

namespace {

struct SqlFailure {
    QString text;
};

const QString kSeries = QStringLiteral("zvkisp_series");
const QString kSerials = QStringLiteral("zvkisp_serials");
const QString kRecords = QStringLiteral("zvkisp_records");

// A serial number's row: state 'leased' (out with a station until `expires`, ms since the epoch),
// 'free' (given back) or 'used' (on a good board).

QString now_text() { return record_time_text(QDateTime::currentDateTimeUtc()); }

QVariant null_int() { return QVariant(QMetaType::fromType<qlonglong>()); }
// Text columns hold "" rather than NULL.
QVariant not_null(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

// A record field as an SQL value and back.
QVariant field_value(const BoardRecord& r, const BoardRecordField& f)
{
    return std::visit(
        [&r](auto member) -> QVariant {
            const auto& v = r.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>)
                return not_null(v);
            else if constexpr (std::is_same_v<T, qint64>)
                return v < 0 ? null_int() : QVariant(qlonglong(v));
            else if constexpr (std::is_same_v<T, QDateTime>)
                return not_null(record_time_text(v));
            else
                return board_result_text(v);
        },
        f.member);
}

void set_field(BoardRecord& r, const BoardRecordField& f, const QVariant& value)
{
    std::visit(
        [&r, &value](auto member) {
            auto& v = r.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>)
                v = value.toString();
            else if constexpr (std::is_same_v<T, qint64>)
                v = value.isNull() ? -1 : value.toLongLong();
            else if constexpr (std::is_same_v<T, QDateTime>)
                v = record_time_from_text(value.toString());
            else
                board_result_from_text(value.toString(), &v);
        },
        f.member);
}

QString column_type(const BoardRecordField& f, const QString& bigint)
{
    if (std::holds_alternative<qint64 BoardRecord::*>(f.member))
        return bigint;
    return QStringLiteral("TEXT NOT NULL DEFAULT ''");
}

} // namespace

// ---- SqlStore ------------------------------------------------------------------------------------

SqlStore::SqlStore(const QString& driver, const QString& station)
    : connection_(QStringLiteral("zvkisp-store-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      station_(station)
{
    QSqlDatabase::addDatabase(driver, connection_);
}

SqlStore::~SqlStore()
{
    close();
    QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase SqlStore::db() const { return QSqlDatabase::database(connection_, false); }

QSqlQuery SqlStore::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db());
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        ok = ok && q.exec();
    }
    if (!ok)
        throw SqlFailure{q.lastError().text()};
    return q;
}

qint64 SqlStore::scalar(const QString& sql, const QVariantList& values)
{
    QSqlQuery q = exec(sql, values);
    return q.next() && !q.value(0).isNull() ? q.value(0).toLongLong() : -1;
}

void SqlStore::open()
{
    QSqlDatabase d = db();
    if (d.isOpen())
        return;
    if (!d.open())
        throw SqlFailure{d.lastError().text()};
    after_open();
    if (!schema_ready_)
        ensure_schema();
}

void SqlStore::close()
{
    QSqlDatabase d = db();
    if (d.isOpen())
        d.close();
}

void SqlStore::ensure_schema()
{
    begin(Access::Write);
    lock_schema();
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS zvkisp_schema (version INTEGER NOT NULL)"));
    const qint64 version = scalar(QStringLiteral("SELECT max(version) FROM zvkisp_schema"));
    if (version > kSchemaVersion) {
        exec(QStringLiteral("ROLLBACK"));
        throw SqlFailure{QStringLiteral("the store was made by a newer zvkisp (schema version %1, this one knows %2)")
                             .arg(version)
                             .arg(kSchemaVersion)};
    }
    // Version 1 is the first; a later one migrates from `version` here.
    if (version < 0) {
        exec(QStringLiteral("CREATE TABLE %1 (name TEXT PRIMARY KEY, product TEXT NOT NULL, address INTEGER NOT NULL, "
                            "bytes INTEGER NOT NULL, format TEXT NOT NULL, next_value %2 NOT NULL, step %2 NOT NULL, "
                            "created TEXT NOT NULL)")
                 .arg(kSeries, bigint_type()));
        exec(QStringLiteral("CREATE TABLE %1 (series TEXT NOT NULL REFERENCES %2(name), number %3 NOT NULL, "
                            "state TEXT NOT NULL, station TEXT NOT NULL, lease TEXT NOT NULL, expires %3 NOT NULL, "
                            "changed TEXT NOT NULL, PRIMARY KEY (series, number))")
                 .arg(kSerials, kSeries, bigint_type()));
        QStringList columns;
        for (const auto& f : board_record_fields())
            columns << QLatin1String(f.name) + u' '
                           + (QLatin1String(f.name) == QLatin1String("id") ? QStringLiteral("TEXT PRIMARY KEY")
                                                                          : column_type(f, bigint_type()));
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(kRecords, columns.join(QStringLiteral(", "))));
        exec(QStringLiteral("CREATE INDEX zvkisp_records_started ON %1 (started)").arg(kRecords));
        exec(QStringLiteral("INSERT INTO zvkisp_schema (version) VALUES (?)"), {kSchemaVersion});
    }
    exec(QStringLiteral("COMMIT"));
    schema_ready_ = true;
}

template <class T, class Body>
StoreOutcome<T> SqlStore::run(Access access, Body body)
{
    for (int attempt = 0;; ++attempt) {
        const bool was_open = db().isOpen();
        StoreOutcome<T> out;
        try {
            open();
            begin(access);
            body(out);
            // A call that ends with another status has changed nothing.
            exec(QStringLiteral("COMMIT"));
            return out;
        } catch (const SqlFailure& f) {
            if (db().isOpen())
                QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
            close();
            if (was_open && attempt == 0)
                continue;
            out.status = StoreStatus::Unavailable;
            out.message = scrub_store_text(QStringLiteral("The store is unavailable / 数据库无法访问 (%1): %2")
                                               .arg(describe(), f.text.trimmed()));
            return out;
        }
    }
}

bool SqlStore::series_info(const SeriesKey& key, SeriesInfo* info)
{
    QSqlQuery q = exec(QStringLiteral("SELECT next_value, step FROM %1 WHERE name = ?").arg(kSeries), {key.name()});
    if (!q.next())
        return false;
    info->key = key;
    info->next = q.value(0).toLongLong();
    info->step = q.value(1).toLongLong();
    const qint64 now = now_ms();
    QSqlQuery c = exec(
        QStringLiteral("SELECT sum(CASE WHEN state = 'used' THEN 1 ELSE 0 END), "
                       "sum(CASE WHEN state = 'leased' AND expires > ? THEN 1 ELSE 0 END), "
                       "sum(CASE WHEN state = 'free' OR (state = 'leased' AND expires <= ?) THEN 1 ELSE 0 END), "
                       "min(CASE WHEN state = 'used' THEN number END), max(CASE WHEN state = 'used' THEN number END), "
                       "min(CASE WHEN state = 'free' OR (state = 'leased' AND expires <= ?) THEN number END) "
                       "FROM %1 WHERE series = ?")
            .arg(kSerials),
        {now, now, now, key.name()});
    if (c.next()) {
        const auto count = [&c](int i) { return c.value(i).isNull() ? qint64(-1) : c.value(i).toLongLong(); };
        info->used = qMax<qint64>(0, count(0));
        info->leased = qMax<qint64>(0, count(1));
        info->returned = qMax<qint64>(0, count(2));
        info->first_used = count(3);
        info->last_used = count(4);
        info->first_returned = count(5);
    }
    return true;
}

StoreOutcome<SeriesInfo> SqlStore::create_series(const SeriesKey& key, qint64 next, qint64 step)
{
    return run<SeriesInfo>(Access::Write, [&](StoreOutcome<SeriesInfo>& out) {
        QSqlQuery q = exec(QStringLiteral("INSERT INTO %1 (name, product, address, bytes, format, next_value, step, created) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (name) DO NOTHING")
                               .arg(kSeries),
                           {key.name(), key.product, key.address, key.bytes, serial_format_text(key.format), next, step,
                            now_text()});
        if (q.numRowsAffected() == 0) {
            out.status = StoreStatus::Exists;
            out.message = QStringLiteral("series %1 exists already").arg(key.name());
        }
        series_info(key, &out.value);
    });
}

StoreOutcome<SeriesInfo> SqlStore::reset_series(const SeriesKey& key, qint64 next, qint64 step)
{
    return run<SeriesInfo>(Access::Write, [&](StoreOutcome<SeriesInfo>& out) {
        QSqlQuery q = exec(QStringLiteral("UPDATE %1 SET next_value = ?, step = CASE WHEN ? > 0 THEN ? ELSE step END "
                                          "WHERE name = ?")
                               .arg(kSeries),
                           {next, step, step, key.name()});
        if (q.numRowsAffected() == 0) {
            out.status = StoreStatus::NotFound;
            out.message = QStringLiteral("no series %1").arg(key.name());
            return;
        }
        // Numbers still out with a station stay leased; everything else starts over.
        exec(QStringLiteral("DELETE FROM %1 WHERE series = ? AND NOT (state = 'leased' AND expires > ?)").arg(kSerials),
             {key.name(), now_ms()});
        series_info(key, &out.value);
    });
}

StoreOutcome<SeriesInfo> SqlStore::series(const SeriesKey& key)
{
    return run<SeriesInfo>(Access::Read, [&](StoreOutcome<SeriesInfo>& out) {
        if (!series_info(key, &out.value)) {
            out.status = StoreStatus::NotFound;
            out.message = QStringLiteral("no series %1").arg(key.name());
        }
    });
}

StoreOutcome<std::vector<SeriesInfo>> SqlStore::list_series()
{
    return run<std::vector<SeriesInfo>>(Access::Read, [&](StoreOutcome<std::vector<SeriesInfo>>& out) {
        QSqlQuery q = exec(QStringLiteral("SELECT name FROM %1 ORDER BY name").arg(kSeries));
        while (q.next()) {
            SeriesKey key;
            QString ignored;
            SeriesInfo info;
            if (SeriesKey::parse(q.value(0).toString(), &key, &ignored) && series_info(key, &info))
                out.value.push_back(info);
        }
    });
}

StoreOutcome<std::vector<SerialLease>> SqlStore::leases(const SeriesKey& key)
{
    return run<std::vector<SerialLease>>(Access::Read, [&](StoreOutcome<std::vector<SerialLease>>& out) {
        QSqlQuery q = exec(QStringLiteral("SELECT number, station, lease, expires FROM %1 WHERE series = ? AND state = 'leased' "
                                          "ORDER BY number")
                               .arg(kSerials),
                           {key.name()});
        while (q.next())
            out.value.push_back({key.name(), q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                                 QDateTime::fromMSecsSinceEpoch(q.value(3).toLongLong(), Qt::UTC)});
    });
}

StoreOutcome<SerialLease> SqlStore::take(const SeriesKey& key, int lease_seconds)
{
    return run<SerialLease>(Access::Write, [&](StoreOutcome<SerialLease>& out) {
        const QString name = key.name();
        QSqlQuery s = exec(QStringLiteral("SELECT next_value, step FROM %1 WHERE name = ?%2").arg(kSeries, lock_suffix()),
                           {name});
        if (!s.next()) {
            out.status = StoreStatus::NotFound;
            out.message = QStringLiteral("no series %1").arg(name);
            return;
        }
        qint64 next = s.value(0).toLongLong();
        const qint64 step = s.value(1).toLongLong();
        const qint64 now = now_ms();
        SerialLease& lease = out.value;
        lease = {name, -1, station_, QUuid::createUuid().toString(QUuid::WithoutBraces),
                 QDateTime::fromMSecsSinceEpoch(now + qint64(lease_seconds) * 1000, Qt::UTC)};
        const QVariantList leased{QStringLiteral("leased"), station_, lease.token, lease.expires.toMSecsSinceEpoch(), now_text()};
        // A number given back, or one whose lease ran out, goes out again before a new one. (A late
        // confirm of a number whose lease ran out may win the row first: then look again.)
        const QString returned = QStringLiteral("series = ? AND (state = 'free' OR (state = 'leased' AND expires <= ?))");
        while ((lease.number = scalar(QStringLiteral("SELECT min(number) FROM %1 WHERE %2").arg(kSerials, returned),
                                      {name, now})) >= 0) {
            if (exec(QStringLiteral("UPDATE %1 SET state = ?, station = ?, lease = ?, expires = ?, changed = ? "
                                    "WHERE number = ? AND %2")
                         .arg(kSerials, returned),
                     leased + QVariantList{lease.number, name, now})
                    .numRowsAffected() == 1)
                return;
        }
        // A new number; numbers still leased from before a reset are skipped.
        do {
            lease.number = next;
            next += step;
        } while (scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE series = ? AND number = ?").arg(kSerials),
                        {name, lease.number}) > 0);
        if (lease.number > key.max_value() || lease.number < 0) {
            out.status = StoreStatus::Exhausted;
            out.message = QStringLiteral("series %1: %2 does not fit in %3 bytes").arg(name).arg(lease.number).arg(key.bytes);
            return;
        }
        exec(QStringLiteral("UPDATE %1 SET next_value = ? WHERE name = ?").arg(kSeries), {next, name});
        exec(QStringLiteral("INSERT INTO %1 (state, station, lease, expires, changed, series, number) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?)")
                 .arg(kSerials),
             leased + QVariantList{name, lease.number});
    });
}

StoreOutcome<Done> SqlStore::finish_lease(const SerialLease& lease, bool keep)
{
    return run<Done>(Access::Finish, [&](StoreOutcome<Done>& out) {
        // Confirming again (a retry after a lost answer) finds the number used under the same lease.
        QSqlQuery q = keep ? exec(QStringLiteral("UPDATE %1 SET state = 'used', changed = ? WHERE series = ? AND number = ? "
                                                 "AND lease = ? AND state IN ('leased', 'used')")
                                      .arg(kSerials),
                                  {now_text(), lease.series, lease.number, lease.token})
                           : exec(QStringLiteral("UPDATE %1 SET state = 'free', station = '', lease = '', changed = ? "
                                                 "WHERE series = ? AND number = ? AND lease = ? AND state = 'leased'")
                                      .arg(kSerials),
                                  {now_text(), lease.series, lease.number, lease.token});
        if (q.numRowsAffected() != 1) {
            out.status = StoreStatus::LeaseLost;
            out.message = QStringLiteral("series %1: number %2 is no longer held by %3 (its lease ran out)")
                              .arg(lease.series)
                              .arg(lease.number)
                              .arg(lease.station);
        }
    });
}

StoreOutcome<Done> SqlStore::confirm(const SerialLease& lease) { return finish_lease(lease, true); }
StoreOutcome<Done> SqlStore::give_back(const SerialLease& lease) { return finish_lease(lease, false); }

StoreOutcome<Done> SqlStore::add_record(const BoardRecord& record)
{
    BoardRecord r = record;
    r.station = station_;
    if (r.id.isEmpty())
        r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return run<Done>(Access::Finish, [&](StoreOutcome<Done>&) {
        QStringList names;
        QVariantList values;
        for (const auto& f : board_record_fields()) {
            names << QLatin1String(f.name);
            values << field_value(r, f);
        }
        exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (id) DO NOTHING")
                 .arg(kRecords, names.join(u','), QStringList(names.size(), QStringLiteral("?")).join(u',')),
             values);
    });
}

StoreOutcome<std::vector<BoardRecord>> SqlStore::records(const QDateTime& since, const QString& station)
{
    return run<std::vector<BoardRecord>>(Access::Read, [&](StoreOutcome<std::vector<BoardRecord>>& out) {
        QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE started >= ?")
                          .arg(board_record_field_names().join(u','), kRecords);
        QVariantList values{not_null(record_time_text(since))};
        if (!station.isEmpty()) {
            sql += QStringLiteral(" AND station = ?");
            values << station;
        }
        QSqlQuery q = exec(sql + QStringLiteral(" ORDER BY started, id"), values);
        const auto& fields = board_record_fields();
        while (q.next()) {
            BoardRecord r;
            for (int i = 0; i < int(fields.size()); ++i)
                set_field(r, fields[size_t(i)], q.value(i));
            out.value.push_back(r);
        }
    });
}

// ---- SQLite ----------------------------------------------------------------------------------------

namespace {

class SqliteStore : public SqlStore {
    static constexpr int kBusyMs = 20000;

    QString scalar_text(const QString& sql)
    {
        QSqlQuery q = exec(sql);
        return q.next() ? q.value(0).toString().toLower() : QString();
    }

public:
    SqliteStore(const QString& path, const QString& station) : SqlStore(QStringLiteral("QSQLITE"), station), path_(path)
    {
        QSqlDatabase d = db();
        d.setDatabaseName(path);
        // Stations on one PC wait for each other's transactions instead of failing.
        d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
    }
    QString describe() const override { return QStringLiteral("SQLite ") + QDir::toNativeSeparators(path_); }

protected:
    void after_open() override
    {
        // A fresh file turns to WAL once; stations opening it at that moment find it locked, and
        // SQLite's busy timeout does not cover the switch: they try again for as long.
        const QDeadlineTimer deadline(kBusyMs);
        while (scalar_text(QStringLiteral("PRAGMA journal_mode")) != QLatin1String("wal")) {
            try {
                exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            } catch (...) {
                if (deadline.hasExpired())
                    throw;
                QThread::msleep(5);
            }
        }
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
        synced_ = true;
    }
    // A number taken is synced to disk before the answer. Ending a lease or storing a record is
    // written to the file but not synced: a crash of the program loses none of it, and a power
    // cut that could lose it stops this PC's stations as well (their leases run out as a dead
    // station's do). Writes take the file's write lock at once, so stations wait in turn.
    void begin(Access access) override
    {
        const bool synced = access == Access::Write;
        if (access != Access::Read && synced != synced_) {
            exec(synced ? QStringLiteral("PRAGMA synchronous=FULL") : QStringLiteral("PRAGMA synchronous=NORMAL"));
            synced_ = synced;
        }
        exec(access == Access::Read ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    }
    qint64 now_ms() override { return QDateTime::currentMSecsSinceEpoch(); }
    QString bigint_type() const override { return QStringLiteral("INTEGER"); }

private:
    QString path_;
    bool synced_ = true;
};

// ---- PostgreSQL ------------------------------------------------------------------------------------

class PostgresStore : public SqlStore {
public:
    PostgresStore(const PostgresLocation& loc, const QString& station)
        : SqlStore(QStringLiteral("QPSQL"), station), loc_(loc)
    {
        QSqlDatabase d = db();
        d.setHostName(loc.host);
        d.setDatabaseName(loc.database);
        d.setUserName(loc.user);
        // Empty: libpq reads ~/.pgpass, PGPASSWORD or the service file itself.
        d.setPassword(loc.password);
        d.setPort(loc.port);
        QString options = loc.options;
        if (!options.contains(QLatin1String("connect_timeout=")))
            options += (options.isEmpty() ? QString() : QStringLiteral(";")) + QStringLiteral("connect_timeout=5");
        d.setConnectOptions(options);
    }
    QString describe() const override
    {
        QString text = QStringLiteral("postgresql://%1@").arg(loc_.user);
        const bool socket = loc_.host.startsWith(u'/');
        if (!socket)
            text += loc_.host;
        if (loc_.port > 0)
            text += u':' + QString::number(loc_.port);
        text += u'/' + loc_.database;
        if (socket)
            text += QStringLiteral("?host=") + loc_.host;
        return text;
    }

protected:
    void after_open() override { exec(QStringLiteral("SET client_min_messages = error")); }
    void begin(Access) override { exec(QStringLiteral("BEGIN")); }
    QString lock_suffix() const override { return QStringLiteral(" FOR UPDATE"); }
    // Two stations creating the schema at once wait for each other.
    void lock_schema() override { exec(QStringLiteral("SELECT pg_advisory_xact_lock(7411058)")); }
    // The server's clock, the same for every station.
    qint64 now_ms() override
    {
        return scalar(QStringLiteral("SELECT CAST(floor(extract(epoch FROM clock_timestamp()) * 1000) AS BIGINT)"));
    }

private:
    PostgresLocation loc_;
};

} // namespace

std::unique_ptr<ProductionStore> make_sqlite_store(const QString& path, const QString& station)
{
    return std::make_unique<SqliteStore>(path, station);
}

std::unique_ptr<ProductionStore> make_postgres_store(const PostgresLocation& loc, const QString& station)
{
    return std::make_unique<PostgresStore>(loc, station);
}

bool parse_postgres_url(const QString& url, PostgresLocation* loc, QString* error)
{
    const QUrl u(url);
    PostgresLocation l{u.host(), u.userName(), u.password(), u.path().mid(1), QString(), u.port()};
    QStringList options;
    bool ok = u.isValid() && !l.database.contains(u'/');
    for (const auto& [key, value] : QUrlQuery(u).queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            l.host = value;
        else if (key == QLatin1String("port"))
            l.port = value.toInt(&ok);
        else if (key == QLatin1String("user"))
            l.user = value;
        else if (key == QLatin1String("password"))
            l.password = value;
        else if (key == QLatin1String("dbname"))
            l.database = value;
        else
            options << key + u'=' + value;
        ok = ok && !value.contains(u';');   // the driver separates its options with ';'
    }
    if (!ok) {
        *error = scrub_store_text(QStringLiteral("cannot read the store URL %1 (postgresql://USER@HOST[:PORT]/DATABASE"
                                                 "[?host=/socket/folder])")
                                      .arg(url));
        return false;
    }
    l.options = options.join(u';');
    *loc = l;
    return true;
}

StoreOutcome<std::unique_ptr<ProductionStore>> open_production_store(const QString& location, const QString& station,
                                                                     QStringList* warnings)
{
    StoreOutcome<std::unique_ptr<ProductionStore>> out;
    const QString where = location.trimmed();
    const bool postgres = where.startsWith(QLatin1String("postgresql://")) || where.startsWith(QLatin1String("postgres://"));
    const QString driver = postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        out.status = StoreStatus::Unavailable;
        out.message = QStringLiteral("the %1 driver of Qt SQL is not installed (Debian: %2)")
                          .arg(postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"),
                               postgres ? QStringLiteral("libqt6sql6-psql") : QStringLiteral("libqt6sql6-sqlite"));
        return out;
    }
    if (postgres) {
        PostgresLocation loc;
        if (!parse_postgres_url(where, &loc, &out.message)) {
            out.status = StoreStatus::BadInput;
            return out;
        }
        if (!loc.password.isEmpty() && warnings)
            *warnings << QStringLiteral("the store URL holds a password: put it in ~/.pgpass (or PGPASSWORD, or a "
                                        "service file) instead");
        out.value = make_postgres_store(loc, station);
        return out;
    }
    QString path = where.startsWith(QLatin1String("sqlite:")) ? where.mid(7) : where;
    if (path.isEmpty())
        path = default_store_path();
    const QFileInfo file(path);
    QDir().mkpath(file.absolutePath());
    out.value = make_sqlite_store(file.absoluteFilePath(), station);
    return out;
}
