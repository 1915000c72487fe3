#include "image/hex_dump.h"

#include "base/number_text.h"
#include "image/program_image.h"

#include <algorithm>

namespace {
const char kHex[] = "0123456789ABCDEF";

void append_hex2(QString& s, quint8 b)
{
    s += QLatin1Char(kHex[b >> 4]);
    s += QLatin1Char(kHex[b & 15]);
}

// The dump line's address column: one space and the last six digits of the address.
void append_address(QString& s, qint64 address)
{
    s += QLatin1Char(' ');
    const QString digits = NumberText::right(QStringLiteral("00000000") + NumberText::hex_upper(address), 6);
    s += digits;
    s += QLatin1String("   ");
}
} // namespace

namespace HexDump {

qint64 line_of(qint64 address)
{
    return address >= 0 ? (address / 16) * 16 : -(((-address) + 15) / 16) * 16;
}

QString text(const ProgramImage& image, qint64 first_address, qint64 last_address, qint64 max_lines, qint64 marker,
             int marker_count, qint64* sel_start, int* hl_length)
{
    QString text = QStringLiteral("\r\n\r\n");
    const qint64 first = line_of(first_address);
    qint64 stop = first + 16 * max_lines;
    if (stop > last_address)
        stop = last_address;
    if (stop >= first)
        text.reserve(static_cast<int>(std::min<qint64>((stop - first) / 16 + 2, 5000) * 60));
    for (qint64 address = first; address <= stop; address += 16) {
        if (marker >= address && marker < address + 16 && marker <= stop) {
            // The highlight starts after the marker byte's two digits and their space.
            if (sel_start)
                *sel_start = text.size() + 10 + (marker - address + 1) * 3;
            if (hl_length) {
                int hl = marker_count * 3 - 1;
                const qint64 column = ((marker % 16) + 16) % 16;
                if (column + marker_count > 16)
                    hl += 12;
                *hl_length = hl;
            }
        }
        append_line(text, image, address, stop);
        text += QLatin1String("\r\n");
    }
    return text;
}

void append_line(QString& out, const ProgramImage& image, qint64 line_address, qint64 stop)
{
    append_address(out, line_address);
    for (qint64 a = line_address; a < line_address + 16 && a <= stop; ++a) {
        append_hex2(out, ProgramImage::in_buffer(a) ? image.program_buffer[static_cast<size_t>(a)] : 0);
        out += QLatin1Char(' ');
    }
}

} // namespace HexDump
