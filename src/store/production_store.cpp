#include "store/production_store.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

QString serial_format_text(SerialFormat f)
{
    switch (f) {
    case SerialFormat::Binary: return QStringLiteral("bin");
    case SerialFormat::Dec: return QStringLiteral("dec");
    case SerialFormat::Ascii: return QStringLiteral("ascii");
    }
    return QString();
}

QString SeriesKey::name() const
{
    return QStringLiteral("%1/%2/%3/%4")
        .arg(product, QString::number(address, 16).toUpper().rightJustified(4, u'0'), QString::number(bytes),
             serial_format_text(format));
}

bool SeriesKey::parse(const QString& name, SeriesKey* key, QString* error)
{
    const QStringList parts = name.split(u'/');
    if (parts.size() != 4) {
        *error = QStringLiteral("series '%1': expected PRODUCT/ADDRESS/BYTES/FORMAT, e.g. widget/1FFF/2/dec").arg(name);
        return false;
    }
    SeriesKey k;
    k.product = parts[0];
    bool ok_address = false, ok_bytes = false;
    k.address = parts[1].toUInt(&ok_address, 16);
    k.bytes = parts[2].toInt(&ok_bytes, 10);
    const QStringList formats{QStringLiteral("bin"), QStringLiteral("dec"), QStringLiteral("ascii")};
    const QString f = parts[3].toLower();
    const int format = f == QLatin1String("hex") ? 0 : int(formats.indexOf(f));
    if (!ok_address || parts[1].size() > 5 || !ok_bytes || format < 0) {
        *error = QStringLiteral("series '%1': ADDRESS is hexadecimal, BYTES a number, FORMAT bin, dec or ascii").arg(name);
        return false;
    }
    k.format = SerialFormat(format);
    if (!k.valid(error))
        return false;
    *key = k;
    return true;
}

bool SeriesKey::valid(QString* error) const
{
    static const QRegularExpression bad_product(QStringLiteral("[/\\x00-\\x1f\\x7f]"));
    const int max_bytes = format == SerialFormat::Binary ? 4 : format == SerialFormat::Dec ? 9 : 18;
    QString why;
    if (product.isEmpty() || product.size() > 64 || product.contains(bad_product))
        why = QStringLiteral("the product is 1 to 64 characters without '/'");
    else if (address > 0xFFFF)
        why = QStringLiteral("the address is at most FFFF");
    else if (bytes < 1 || bytes > max_bytes)
        why = QStringLiteral("the %1 format holds 1 to %2 bytes").arg(serial_format_text(format)).arg(max_bytes);
    else if (qint64(address) + 1 < bytes)
        why = QStringLiteral("%1 bytes do not fit below address %2").arg(bytes).arg(address, 4, 16, QLatin1Char('0'));
    if (!why.isEmpty() && error)
        *error = QStringLiteral("series '%1': %2").arg(name(), why);
    return why.isEmpty();
}

qint64 SeriesKey::max_value() const
{
    qint64 limit = 1;
    switch (format) {
    case SerialFormat::Binary:
        // The writer refuses values from 2147483648 on.
        return bytes >= 4 ? 2147483647 : (qint64(1) << (8 * bytes)) - 1;
    case SerialFormat::Dec:   // two decimal digits per byte
        for (int i = 0; i < 2 * bytes; ++i)
            limit *= 10;
        return limit - 1;
    case SerialFormat::Ascii: // one digit per byte
        for (int i = 0; i < bytes; ++i)
            limit *= 10;
        return limit - 1;
    }
    return 0;
}

QString default_store_path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/zvkisp/production.sqlite");
}

QString default_station_name()
{
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("station") : host;
}

QString scrub_store_text(const QString& text)
{
    static const QRegularExpression url_password(QStringLiteral("(postgres(?:ql)?://[^:/@\\s]*:)[^@\\s]*@"));
    static const QRegularExpression option_password(QStringLiteral("(password=)[^&;\\s]*"),
                                                    QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(url_password, QStringLiteral("\\1***@"));
    out.replace(option_password, QStringLiteral("\\1***"));
    return out;
}

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
    key.format = format >= 0 && format <= 2 ? SerialFormat(format) : SerialFormat::Binary;
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
