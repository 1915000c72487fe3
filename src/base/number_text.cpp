#include "base/number_text.h"

#include <cmath>
#include <limits>

namespace NumberText {

qint64 hex_prefix_value(const QString& text)
{
    qint64 v = 0;
    for (QChar c : text) {
        const int d = hex_digit(c);
        if (d < 0)
            break;
        v = v * 16 + d;
        if (v > kHexCap)
            v = kHexCap;
    }
    return v;
}

qint64 last_hex_digits(const QString& text, int n)
{
    return hex_prefix_value(right(text.trimmed(), n));
}

qint64 last_hex_digits_signed(const QString& text, int n)
{
    const QString tail = right(text.trimmed(), n);
    if (tail.startsWith(QLatin1Char('-')))
        return -hex_prefix_value(tail.mid(1));
    return hex_prefix_value(tail);
}

double leading_number(const QString& text)
{
    int i = 0;
    const int len = text.size();
    while (i < len && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < len && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < len && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < len && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < len && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    if (i < len && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < len && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        int ed = 0;
        while (j < len && text[j].unicode() >= '0' && text[j].unicode() <= '9' && ed < 4) {
            ++j;
            ++ed;
        }
        if (ed > 0)
            end = j;
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0.0;
    return v;
}

qint64 round_half_even(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v > 9.0e18)
        return std::numeric_limits<qint64>::max();
    if (v < -9.0e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::nearbyint(v));
}

std::optional<qint64> integer_value(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    if (v < -2147483648.5 || v > 2147483647.5)
        return std::nullopt;
    return round_half_even(v);
}

QString hex_upper(qint64 v)
{
    return QString::number(v, 16).toUpper();
}

QString right(const QString& s, int n)
{
    if (n <= 0)
        return QString();
    return s.size() <= n ? s : s.right(n);
}

QString decimal_text(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(static_cast<qint64>(v));
    return QString::number(v, 'g', 15);
}

} // namespace NumberText
