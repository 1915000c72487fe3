#include "cli/custom_cli.h"

#include "settings/combo_lists.h"

bool parse_format_option(const QString& text, const QStringList& bauds, FormatTexts& out, QString& error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        error = QStringLiteral("a format is BAUD,P,D,S (for example 38400,E,8,1)");
        return false;
    }
    const QString baud = parts.at(0).trimmed();
    if (!bauds.contains(baud)) {
        error = QStringLiteral("baud %1 is not offered (%2)").arg(baud, bauds.join(QStringLiteral(", ")));
        return false;
    }
    const QString p = parts.at(1).trimmed().toUpper();
    QString parity;
    for (const QString& item : ComboLists::parity())
        if (p == item.toUpper() || p == item.left(1).toUpper())
            parity = item;
    if (parity.isEmpty()) {
        error = QStringLiteral("parity must be E, O or N");
        return false;
    }
    const QString data = parts.at(2).trimmed();
    if (!ComboLists::data_bits().contains(data)) {
        error = QStringLiteral("data bits must be 8, 7, 6 or 5");
        return false;
    }
    const QString stop = parts.at(3).trimmed();
    if (!ComboLists::stop_bits().contains(stop)) {
        error = QStringLiteral("stop bits must be 1, 1.5 or 2");
        return false;
    }
    out = FormatTexts{baud, parity, data, stop};
    return true;
}
