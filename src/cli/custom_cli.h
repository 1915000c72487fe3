#pragma once
// Option helpers shared by the send-user-code and custom-download commands.

#include <QString>
#include <QStringList>

struct FormatTexts {
    QString baud;
    QString parity;      // "Even", "Odd" or "None", as the combos read
    QString data_bits;
    QString stop_bits;
};

// "BAUD,P,D,S" (P: E, O, N or Even, Odd, None in any case; D: 8, 7, 6, 5; S: 1, 1.5, 2) into the
// texts of the four format combos. `bauds` are the values the baud combo offers. False with a
// reason for anything the combos do not offer.
bool parse_format_option(const QString& text, const QStringList& bauds, FormatTexts& out, QString& error);
