// libFuzzer target: hex_text_to_bytes on arbitrary text (UTF-8, or UTF-16 when the first byte is
// odd). It must not crash, must give at most one byte per started pair of characters, and must
// read a plain run of hex digit pairs (blanks between pairs allowed) exactly as those bytes.

#include "custom/hex_text.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_hex_text: %s\n", what);
        std::abort();
    }
}

bool is_hex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const int n = int(size - 1);
    QString input;
    if (data[0] & 1)
        input = QString(reinterpret_cast<const QChar*>(text), n / 2);
    else
        input = QString::fromUtf8(text, n);

    const QByteArray out = hex_text_to_bytes(input);
    check(out.size() <= input.size() / 2 + 1, "more bytes than pairs of characters");

    // Digit pairs separated by single blanks: the bytes they spell.
    QByteArray digits;
    bool plain = (data[0] & 1) == 0 && n > 0;
    for (int i = 0; plain && i < n; ++i) {
        if (is_hex(text[i]))
            digits.append(text[i]);
        else if (text[i] != ' ' || digits.size() % 2 != 0)
            plain = false;
    }
    if (plain && digits.size() % 2 == 0)
        check(out == QByteArray::fromHex(digits), "a plain run of hex pairs read wrongly");
    return 0;
}
