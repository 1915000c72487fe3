#pragma once
// The hexadecimal dump of the program buffer as text: a line per 16 bytes, the address column
// then the bytes, every line ended by CR LF, after two blank lines. The window's viewer shows it
// and the command line prints it.

#include <QString>
#include <QtGlobal>

class ProgramImage;

namespace HexDump {

// The dump from `first_address` (rounded down to its line) up to `last_address`, at most
// `max_lines` lines. `marker` is the address after whose byte a highlight of `marker_count`
// bytes starts (-1 for none); when the marker byte is drawn, sel_start / hl_length receive the
// highlight's place in the text (hl_length is left as it is otherwise).
QString text(const ProgramImage& image, qint64 first_address, qint64 last_address, qint64 max_lines, qint64 marker,
             int marker_count, qint64* sel_start, int* hl_length);
// One line without its CR LF: the address column of `line_address` (a multiple of 16) and its
// bytes up to `stop`. Appends to `out`.
void append_line(QString& out, const ProgramImage& image, qint64 line_address, qint64 stop);
// The address of the dump line that holds `address` (rounded down to a multiple of 16).
qint64 line_of(qint64 address);

} // namespace HexDump
