// Starting a station on a series, and the one-time move of a per-user settings counter into one.
#include "store/production_store.h"

StoreOutcome<SeriesInfo> seed_series_from_settings(ProductionStore& store, const QString& product,
                                                   const SettingsCounter& counter)
{
    StoreOutcome<SeriesInfo> out;
    SeriesKey key;
    key.product = product;
    bool ok_address = false, ok_bytes = false, ok_next = false, ok_step = false;
    // The writer uses the address box's last five hexadecimal digits.
    key.address = counter.address.trimmed().right(5).toUInt(&ok_address, 16);
    key.bytes = counter.length.trimmed().toInt(&ok_bytes);
    const qint64 next = counter.next_value.trimmed().toLongLong(&ok_next);
    const qint64 step = counter.increase.trimmed().toLongLong(&ok_step);
    // A stored format outside 0..2 selects the first one.
    const int format = counter.numeral_system.trimmed().toInt();
    key.format = format >= 0 && format <= 2 ? SerialNumberFormat(format) : SerialNumberFormat::Binary;
    if (!ok_address || !ok_bytes || !ok_next || !ok_step || next < 0 || step < 1) {
        out.status = StoreStatus::BadInput;
        out.message = QStringLiteral("the stored serial-number settings are not usable");
        return out;
    }
    if (!key.valid(&out.message)) {
        out.status = StoreStatus::BadInput;
        return out;
    }
    return store.create_series(key, next, step);
}

StoreOutcome<StartedSeries> start_series(ProductionStore& store, const SeriesKey& key, qint64 next, qint64 step,
                                         bool restart)
{
    StoreOutcome<StartedSeries> out;
    auto info = store.series(key);
    SeriesStart how = SeriesStart::Unchanged;
    if (info.status == StoreStatus::NotFound) {
        info = store.create_series(key, next, step);
        how = SeriesStart::Created;
        if (info.status == StoreStatus::Exists) {   // another station made it at the same moment
            info = store.series(key);
            how = SeriesStart::Unchanged;
        }
    } else if (info.ok() && restart) {
        info = store.reset_series(key, next, step);
        how = SeriesStart::Restarted;
    } else if (info.ok() && info.value.next_out() > next) {
        how = SeriesStart::Continues;
    } else if (info.ok() && info.value.next < next) {
        info = store.reset_series(key, next, 0);
        how = SeriesStart::MovedOn;
    }
    out.status = info.status;
    out.message = info.message;
    out.value = StartedSeries{how, info.value};
    return out;
}
