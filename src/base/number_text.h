#pragma once
// How the tool reads numbers typed into its text boxes and kept in its settings: a number is the
// run of digits at the front of the text (no digits reads as 0), boxes are often read on their
// last few characters only, and addresses are shown as upper-case hexadecimal.

#include <QString>
#include <optional>

namespace NumberText {

// Value of a hexadecimal digit (either case), -1 for any other character.
inline int hex_digit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// The text without leading and trailing blanks (spaces only; other white space stays part of it).
inline QString trim_blanks(const QString& text)
{
    int from = 0;
    int to = text.size();
    while (from < to && text.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && text.at(to - 1) == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

// Value of the hexadecimal digits at the front of `text` (no digit: 0). Saturates at kHexCap so
// that absurd texts cannot overflow the address arithmetic.
constexpr qint64 kHexCap = 0x0FFFFFFF;
qint64 hex_prefix_value(const QString& text);

// The last `n` characters of the trimmed text, read as hexadecimal (0 when empty or not a digit).
qint64 last_hex_digits(const QString& text, int n);

// Like last_hex_digits, but a '-' in front of the digits gives a negative number (a typed minus
// sign is the one way the store's start address can become negative).
qint64 last_hex_digits_signed(const QString& text, int n);

// Leading decimal number: optional blanks, optional sign, digits, optional fraction and exponent.
// Text that does not start with a number reads as 0.
double leading_number(const QString& text);

// The whole trimmed text as a number, rounded half to even; nothing when it is not a number or
// does not fit 32 bits.
std::optional<qint64> integer_value(const QString& text);

// Rounds half to even (the conversion every integer box uses).
qint64 round_half_even(double v);

// Upper-case hexadecimal digits of a non-negative value.
QString hex_upper(qint64 v);

// The rightmost `n` characters of `s` (the whole string when shorter; empty for n <= 0).
QString right(const QString& s, int n);

// Decimal text of a number as the boxes show it: integral values without a fraction.
QString decimal_text(double v);

} // namespace NumberText
