#include "cli/board_report.h"

#include "device/serial_pool.h"
#include "image/serial_number.h"
#include "settings/settings_store.h"
#include "store/production_store.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

const QString kDefaultProduct = QStringLiteral("default");
constexpr int kRetryMs = 2000;

// The window's counter, when the settings hold one.
std::optional<SettingsCounter> settings_counter()
{
    SettingsStore settings;
    const QString& s = SettingsStore::kAutoIncrease;
    SettingsCounter c{settings.value(s, QStringLiteral("address"), QString()),
                      settings.value(s, QStringLiteral("Length"), QString()),
                      settings.value(s, QStringLiteral("next_value"), QString()),
                      settings.value(s, QStringLiteral("Increase"), QString()),
                      settings.value(s, QStringLiteral("numeral_system"), QString())};
    if (c.address.isNull() || c.next_value.isNull())
        return std::nullopt;
    return c;
}

} // namespace

BoardReport::BoardReport(const char* command) : command_(command) {}

BoardReport::~BoardReport() = default;

QList<QCommandLineOption> BoardReport::options()
{
    return {
        {QStringLiteral("report"), QStringLiteral("Append one record per board to FILE (time, chip, image, serial "
                                                  "number, result, durations)."),
         QStringLiteral("FILE")},
        {QStringLiteral("report-format"), QStringLiteral("Record format of --report: json (one line per board, "
                                                         "default) or csv (header once)."),
         QStringLiteral("json|csv"), QStringLiteral("json")},
        {QStringLiteral("store"), QStringLiteral("Production store of the serial numbers and the records: an "
                                                 "SQLite file or postgresql://USER@HOST/DB (default: the window's "
                                                 "choice, else production.sqlite in the user's data folder)."),
         QStringLiteral("STORE")},
        {QStringLiteral("product"), QStringLiteral("Product whose serial-number series --serial uses (default "
                                                   "\"default\")."),
         QStringLiteral("NAME")},
        {QStringLiteral("serial-restart"), QStringLiteral("Start the series over at --serial's NEXT (else a series "
                                                          "ahead of NEXT continues).")},
        {QStringLiteral("station"), QStringLiteral("Station name in the stored records (default: the host name)."),
         QStringLiteral("NAME")},
    };
}

bool BoardReport::configure(const QCommandLineParser& parser, QString& error)
{
    report_path_ = parser.value(QStringLiteral("report"));
    const QString format = parser.value(QStringLiteral("report-format")).trimmed().toLower();
    if (format != QLatin1String("json") && format != QLatin1String("csv")) {
        error = QStringLiteral("--report-format takes json or csv");
        return false;
    }
    csv_ = format == QLatin1String("csv");
    // The window's choice on its options page unless --store names another.
    store_location_ = parser.isSet(QStringLiteral("store")) ? parser.value(QStringLiteral("store"))
                                                            : SettingsStore().store_url();
    product_ = parser.isSet(QStringLiteral("product")) ? parser.value(QStringLiteral("product")).trimmed()
                                                       : kDefaultProduct;
    station_ = parser.isSet(QStringLiteral("station")) ? parser.value(QStringLiteral("station")).trimmed()
                                                       : default_station_name();
    restart_ = parser.isSet(QStringLiteral("serial-restart"));
    if (product_.isEmpty() || product_.contains(u'/') || station_.isEmpty()) {
        error = QStringLiteral("--product and --station take a name (no \"/\" in a product)");
        return false;
    }
    if (restart_ && !parser.isSet(QStringLiteral("serial"))) {
        error = QStringLiteral("--serial-restart needs --serial");
        return false;
    }
    // Every board's record goes into the store; without --store or --serial a store that cannot be
    // opened (no SQLite driver) only earns a warning.
    const bool asked = parser.isSet(QStringLiteral("store")) || parser.isSet(QStringLiteral("serial"));
    wait_for_store_ = asked;
    QStringList warnings;
    auto opened = open_production_store(store_location_, station_, &warnings);
    for (const QString& w : warnings)
        say(QStringLiteral("warning: ") + w);
    if (!opened.ok() && asked) {
        error = opened.message;
        return false;
    }
    if (!opened.ok())
        say(QStringLiteral("warning: the records are not stored: ") + opened.message);
    store_ = std::move(opened.value);
    return true;
}

void BoardReport::say(const QString& text) const
{
    for (const QString& line : text.split(u'\n'))
        std::fprintf(stderr, "%s: %s\n", command_, qPrintable(scrub_store_text(line)));
}

int BoardReport::prepare_series(const SerialNumber& serial)
{
    key_ = std::make_unique<SeriesKey>();
    key_->product = product_;
    key_->address = quint32(serial.serial_address);
    key_->bytes = serial.serial_length;
    key_->format = SerialNumberFormat(serial.format);
    QString error;
    const QString next_text = serial.texts[2].trimmed();
    bool ok_next = false, ok_step = false;
    const qint64 next = next_text.toLongLong(&ok_next);
    const qint64 step = serial.texts[3].trimmed().toLongLong(&ok_step);
    if (!key_->valid(&error) || !ok_next || next < 0 || next > key_->max_value() || !ok_step || step < 1) {
        say(error.isEmpty() ? QStringLiteral("--serial: NEXT must be a number the bytes can hold and STEP at least 1")
                            : QStringLiteral("--serial: ") + error);
        return 2;
    }
    const QString name = key_->name();
    const auto padded = [&serial](qint64 n) {
        return SerialNumber::padded_next_value(QString::number(n), serial.format, serial.serial_length);
    };
    // The window's counter moves into the store once, when it counts these bytes.
    if (const auto counter = settings_counter()) {
        SeriesKey seeded;
        QString ignored;
        const QString seeded_name = QStringLiteral("%1/%2/%3/%4").arg(product_, counter->address.trimmed().right(5),
                                                                       counter->length.trimmed(),
                                                                       serial_format_text(SerialNumberFormat(
                                                                           counter->numeral_system.toInt())));
        if (SeriesKey::parse(seeded_name, &seeded, &ignored) && seeded.name() == name) {
            const auto out = seed_series_from_settings(*store_, product_, *counter);
            if (out.ok())
                say(QStringLiteral("serial numbers: series %1 taken over from the window's counter at %2 / "
                                   "序列号：系列 %1 从窗口的计数器接管，从 %2 开始")
                        .arg(name, padded(out.value.next)));
        }
    }
    const auto info = start_series(*store_, *key_, next, step, restart_);
    switch (info.ok() ? info.value.how : SeriesStart::Unchanged) {
    case SeriesStart::Created:
        say(QStringLiteral("serial numbers: series %1 created at %2 / 序列号：新建系列 %1，从 %2 开始")
                .arg(name, padded(next)));
        break;
    case SeriesStart::Restarted:
        say(QStringLiteral("serial numbers: series %1 starts over at %2 / 序列号：系列 %1 从 %2 重新开始")
                .arg(name, padded(next)));
        break;
    case SeriesStart::Continues:
        say(QStringLiteral("serial numbers: series %1 continues at %2, ahead of NEXT %3 (--serial-restart starts "
                           "over) / 序列号：系列 %1 从 %2 继续，已超过 NEXT %3（--serial-restart 重新开始）")
                .arg(name, padded(info.value.info.next_out()), padded(next)));
        break;
    case SeriesStart::MovedOn:
        say(QStringLiteral("serial numbers: series %1 moves on to %2 / 序列号：系列 %1 前进到 %2")
                .arg(name, padded(next)));
        break;
    case SeriesStart::Unchanged: break;
    }
    if (!info.ok()) {
        say(info.message);
        return info.status == StoreStatus::Unavailable ? 3 : 4;
    }
    return 0;
}

std::unique_ptr<SerialPool> BoardReport::make_pool()
{
    if (!key_)
        return nullptr;
    const QString location = store_location_;
    const QString station = station_;
    auto pool = std::make_unique<SerialPool>(
        [location, station] { return std::move(open_production_store(location, station).value); }, *key_);
    pool->message = [this](const QString& text) { say(text); };
    pool->retry_ms = kRetryMs;
    return pool;
}

void BoardReport::interrupt()
{
    interrupted_ = true;
    emit interrupted();
}

QString BoardReport::number_words(const QString& number)
{
    return number.isEmpty() ? QString() : QStringLiteral(", serial number ") + number.trimmed();
}

void BoardReport::add(const BoardRecord& board)
{
    BoardRecord record = board;
    record.station = station_;
    if (!report_path_.isEmpty()) {
        QFile file(report_path_);
        if (file.open(QIODevice::Append | QIODevice::Text)) {
            QByteArray bytes;
            if (csv_ && file.size() == 0)
                bytes += BoardRecord::csv_header().toUtf8() + '\n';
            bytes += (csv_ ? record.to_csv_row() : record.to_json_line()).toUtf8() + '\n';
            const bool written = file.write(bytes) == bytes.size() && file.flush();
            ::fsync(file.handle());
            if (!written)
                say(QStringLiteral("cannot write the record to %1 / 无法写入记录文件").arg(report_path_));
        } else {
            say(QStringLiteral("cannot open %1 for the record: %2 / 无法打开记录文件").arg(report_path_, file.errorString()));
        }
    }
    if (!store_)
        return;
    pending_.push_back(record);
    store_records();
}

// Tries every pending record once; true when none is left.
bool BoardReport::store_records()
{
    while (!pending_.empty()) {
        const auto out = store_->add_record(pending_.front());
        if (!out.ok()) {
            if (!said_pending_)
                say(out.message + QStringLiteral("\nThe board's record is kept and stored once the store is back / "
                                                 "记录暂存，数据库恢复后写入"));
            said_pending_ = true;
            return false;
        }
        pending_.erase(pending_.begin());
    }
    if (said_pending_)
        say(QStringLiteral("The records kept meanwhile are stored / 暂存的记录已写入数据库"));
    said_pending_ = false;
    return true;
}

void BoardReport::store_pending()
{
    while (store_ && !store_records() && !interrupted_ && wait_for_store_) {
        QEventLoop loop;
        QTimer::singleShot(kRetryMs, &loop, &QEventLoop::quit);
        connect(this, &BoardReport::interrupted, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!pending_.empty())
        say(QStringLiteral("%1 record(s) could not be stored / %1 条记录未能写入数据库").arg(pending_.size()));
}
