#include "store/production_store.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

QString serial_format_text(SerialNumberFormat f)
{
    switch (f) {
    case SerialNumberFormat::Binary: return QStringLiteral("bin");
    case SerialNumberFormat::Dec: return QStringLiteral("dec");
    case SerialNumberFormat::Ascii: return QStringLiteral("ascii");
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
    k.format = SerialNumberFormat(format);
    if (!k.valid(error))
        return false;
    *key = k;
    return true;
}

bool SeriesKey::valid(QString* error) const
{
    static const QRegularExpression bad_product(QStringLiteral("[/\\x00-\\x1f\\x7f]"));
    const int max_bytes = format == SerialNumberFormat::Binary ? 4 : format == SerialNumberFormat::Dec ? 9 : 18;
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
    case SerialNumberFormat::Binary:
        // The writer refuses values from 2147483648 on.
        return bytes >= 4 ? 2147483647 : (qint64(1) << (8 * bytes)) - 1;
    case SerialNumberFormat::Dec:   // two decimal digits per byte
        for (int i = 0; i < 2 * bytes; ++i)
            limit *= 10;
        return limit - 1;
    case SerialNumberFormat::Ascii: // one digit per byte
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
