#include "isp/serial_port.h"

#include <QStringList>

std::optional<SerialFormat> SerialFormat::parse(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;

    SerialFormat f;
    bool ok = false;
    const qint64 baud = parts[0].trimmed().toLongLong(&ok);
    if (!ok || baud <= 0 || baud > 0x7FFFFFFF)
        return std::nullopt;
    f.baud = qint32(baud);

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N") || parity == QLatin1String("E") || parity == QLatin1String("O"))
        f.parity = parity.at(0).toLatin1();
    else
        return std::nullopt;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    f.data_bits = bits;

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        f.stop_halves = 2;
    else if (stop == QLatin1String("1.5"))
        f.stop_halves = 3;
    else if (stop == QLatin1String("2"))
        f.stop_halves = 4;
    else
        return std::nullopt;
    return f;
}

QString SerialFormat::text() const
{
    QString stop;
    switch (stop_halves) {
    case 3: stop = QStringLiteral("1.5"); break;
    case 4: stop = QStringLiteral("2"); break;
    default: stop = QStringLiteral("1"); break;
    }
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QChar(QLatin1Char(parity)).toLower())
        .arg(data_bits)
        .arg(stop);
}
