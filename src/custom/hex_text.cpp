#include "custom/hex_text.h"

#include "base/number_text.h"

#include <QHash>

using NumberText::hex_digit;
using NumberText::trim_blanks;

QByteArray hex_text_to_bytes(const QString& text)
{
    QByteArray out;
    QString s = trim_blanks(text);
    const int n = s.size() / 2;
    for (int pass = 0; pass < n + 1; ++pass) {
        const QString token = s.left(2);
        s = trim_blanks(s.mid(2));
        if (token.isEmpty())
            break;
        if (token.at(0).unicode() < '0')
            continue;
        // The token reads up to its first character that is not a hex digit.
        int value = 0;
        for (QChar c : token) {
            const int d = hex_digit(c);
            if (d < 0)
                break;
            value = value * 16 + d;
        }
        out.append(static_cast<char>(value));
    }
    return out;
}

CustomIdentity lookup_custom_identity(const QString& identity)
{
    static const QHash<QString, CustomIdentity> table = {
        {"0001", {"ZVK7L04A", "F0", "01"}},    {"0002", {"ZVK7L08A", "F0", "02"}},
        {"0003", {"ZVK7L12A", "F0", "04"}},    {"0004", {"ZVK7L16B+", "F1", "04"}},
        {"0005", {"ZVK7L32B+", "F1", "08"}},   {"0006", {"ZVK7L64B+", "F1", "10"}},
        {"4001", {"ZVK7H04A", "F0", "01"}},    {"4002", {"ZVK7H08A", "F0", "02"}},
        {"4003", {"ZVK7H12A", "F0", "04"}},    {"4004", {"ZVK7H16B+", "F1", "04"}},
        {"4005", {"ZVK7H32B+", "F1", "08"}},   {"4006", {"ZVK7H64B+", "F1", "10"}},
        {"0051", {"ZVK7H/L04A", "F0", "01"}},  {"0052", {"ZVK7H/L08A", "F0", "02"}},
        {"0053", {"ZVK7H/L12A", "F0", "04"}},  {"0054", {"ZVK7H/L16B+", "F1", "04"}},
        {"0058", {"ZVK7H/L32B+", "F1", "08"}}, {"0516", {"ZVK7H/L64B+", "F1", "10"}},
    };
    return table.value(identity);
}
