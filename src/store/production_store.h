#pragma once
// The production store shared by the programming stations: serial-number series and the per-board
// records. A series is named by product, address, byte count and number format; a station takes a
// number right before the serial bytes go on the wire and holds it as a lease until the board is
// done: confirm() keeps it (the board succeeded), give_back() returns it (the board failed).
// Returned numbers and numbers whose lease ran out (a station that died) are handed out again,
// lowest first, before a new one, so the numbers of the good boards stay consecutive and none is
// used twice. When the store cannot be reached every call says Unavailable; nothing is invented
// locally, and the next call tries again.

#include "store/board_record.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <vector>

enum class SerialNumberFormat { Binary = 0, Dec = 1, Ascii = 2 };   // the serial-number writer's formats

struct SeriesKey {
    QString product;
    quint32 address = 0;          // address of the number's low-order byte
    int bytes = 0;
    SerialNumberFormat format = SerialNumberFormat::Dec;

    // "PRODUCT/ADDR/BYTES/FORMAT", e.g. "widget/1FFF/2/dec" (ADDR hexadecimal, FORMAT bin|dec|ascii;
    // "hex" is read as "bin", the window's name for it).
    QString name() const;
    // Parses and checks a name; on failure *error says why.
    static bool parse(const QString& name, SeriesKey* key, QString* error);
    // Checks the fields (product, address range, byte count for the format).
    bool valid(QString* error) const;
    // The largest number the bytes can hold in the format.
    qint64 max_value() const;
};

QString serial_format_text(SerialNumberFormat f);   // "bin", "dec", "ascii"

struct SeriesInfo {
    SeriesKey key;
    qint64 next = 0;              // next new number
    qint64 step = 1;
    qint64 used = 0;              // confirmed numbers
    qint64 leased = 0;            // out with a station, lease running
    qint64 returned = 0;          // given back or lease ran out, to be handed out again
    qint64 first_used = -1;       // lowest and highest confirmed number (-1: none)
    qint64 last_used = -1;
    qint64 first_returned = -1;   // lowest number to be handed out again (-1: none)
    // The number the next take() hands out (unless another station is quicker).
    qint64 next_out() const { return first_returned >= 0 ? first_returned : next; }
};

struct SerialLease {
    QString series;               // the series' name
    qint64 number = -1;
    QString station;
    QString token;                // identifies this lease; a number re-leased to another has a new one
    QDateTime expires;            // UTC, by the store's clock
};

enum class StoreStatus {
    Ok,
    Unavailable,      // the store cannot be reached (or refused the change); try again later
    NotFound,         // no such series
    Exists,           // the series exists already
    LeaseLost,        // the lease ran out and the number went to another station
    Exhausted,        // the next number does not fit the series' bytes
    BadInput,
};

template <class T>
struct StoreOutcome {
    StoreStatus status = StoreStatus::Ok;
    QString message;              // why, for a status other than Ok (never holds a password)
    T value{};
    bool ok() const { return status == StoreStatus::Ok; }
};
struct Done {};

class ProductionStore {
public:
    virtual ~ProductionStore() = default;

    // The store in words, without any password (for messages).
    virtual QString describe() const = 0;
    // The station whose leases and records this object handles.
    virtual QString station() const = 0;

    virtual StoreOutcome<SeriesInfo> create_series(const SeriesKey& key, qint64 next, qint64 step) = 0;
    // An explicit restart: next value (and step, when step > 0) set; numbers given back dropped.
    virtual StoreOutcome<SeriesInfo> reset_series(const SeriesKey& key, qint64 next, qint64 step) = 0;
    virtual StoreOutcome<SeriesInfo> series(const SeriesKey& key) = 0;
    virtual StoreOutcome<std::vector<SeriesInfo>> list_series() = 0;
    // Open leases of a series, lowest number first (also those whose time ran out).
    virtual StoreOutcome<std::vector<SerialLease>> leases(const SeriesKey& key) = 0;

    // A board holds its number from just before the serial bytes go out to its end: far less than
    // this, after which a station that died has lost the number back to the series.
    static constexpr int kDefaultLeaseSeconds = 300;
    virtual StoreOutcome<SerialLease> take(const SeriesKey& key, int lease_seconds = kDefaultLeaseSeconds) = 0;
    virtual StoreOutcome<Done> confirm(const SerialLease& lease) = 0;
    virtual StoreOutcome<Done> give_back(const SerialLease& lease) = 0;

    // Stores the record under this station (its station field is set to station()); storing the
    // same record id again changes nothing.
    virtual StoreOutcome<Done> add_record(const BoardRecord& record) = 0;
    // Records started at or after `since` (any when invalid), of one station when given, oldest first.
    virtual StoreOutcome<std::vector<BoardRecord>> records(const QDateTime& since, const QString& station = {}) = 0;
};

// "postgresql://user@host[:port]/db[?options]", "postgresql://user@/db?host=/socket/dir", a file
// path of an SQLite database, or empty for the default file in the user's data folder. Nothing is
// connected yet (each call connects when needed). A password given in the URL is used but earns a
// warning (it belongs in ~/.pgpass, PGPASSWORD or a service file, which libpq reads itself).
// Status BadInput for a location that cannot be read, Unavailable when Qt lacks the driver.
StoreOutcome<std::unique_ptr<ProductionStore>> open_production_store(const QString& location, const QString& station,
                                                                     QStringList* warnings = nullptr);
// The default SQLite file: <user data folder>/zvkisp/production.sqlite.
QString default_store_path();
// This computer's name, the default station name.
QString default_station_name();
// `text` with every password of a postgresql URL in it replaced by "***".
QString scrub_store_text(const QString& text);

// The auto-increment counter of the per-user settings (section "Auto_Increase": "address",
// "Length", "next_value", "Increase", "numeral_system"), as stored.
struct SettingsCounter {
    QString address, length, next_value, increase, numeral_system;
};
// Seeds the product's series once from such a counter: creates it with the counter's next value
// and step; a series that exists already is left as it is (status Exists, its state in value).
StoreOutcome<SeriesInfo> seed_series_from_settings(ProductionStore& store, const QString& product,
                                                   const SettingsCounter& counter);

// How a station's series stood when it began taking numbers.
enum class SeriesStart {
    Created,     // new, at the given next value
    Restarted,   // asked for: starts over at the given next value
    Continues,   // ahead of the given next value: goes on where it is
    MovedOn,     // behind the given next value: moved on to it
    Unchanged,   // at the given next value already
};
struct StartedSeries {
    SeriesStart how = SeriesStart::Unchanged;
    SeriesInfo info;
};
// Makes the series when it does not exist (another station making it at the same moment is fine),
// restarts it at `next` when `restart`, and otherwise never takes it back below where it is.
StoreOutcome<StartedSeries> start_series(ProductionStore& store, const SeriesKey& key, qint64 next, qint64 step,
                                         bool restart);
