#pragma once
// Turning a command text such as "12 34 AB" or "1234AB" into bytes, and the identity table the
// in-application download routine answers with.

#include <QByteArray>
#include <QString>

// Pairs of hex digits, blanks optional; a token whose first character is below "0" is skipped;
// a token reads up to its first non-hex character (none gives 0); a single trailing digit is a
// token of its own.
QByteArray hex_text_to_bytes(const QString& text);

struct CustomIdentity {
    QString model_name;   // put into mcu_type_name
    QString prefix;       // into chip_id_hex ("F0"/"F1")
    QString size_code;    // into chip_subid_hex
};

// The identity text is the two identity bytes as four upper-case hex digits ("4002"). Unknown
// identities give three empty texts.
CustomIdentity lookup_custom_identity(const QString& identity);
