#pragma once
// The 8051 glue and tail code that joins the two monitor files into a Soft ICE image, for the
// 32-KB and the 64-KB monitor. Each line is 32 hex digits: 16 bytes of machine code.

#include <QStringList>
#include <cstdint>

namespace MonitorTables {

constexpr quint32 kGlueAddress = 0x2180;
constexpr quint32 kTailAddress = 0x3300;

// The 64-KB variant is used exactly when the model's ROM name is "ZVK64_2003.ROM".
bool is_64k_variant(const QString& rom_name);
const QStringList& glue(bool variant64);   // 23 lines, placed from 0x2180
const QStringList& tail(bool variant64);   // 6 lines, placed from 0x3300

// Writes `lines` from `address` on: line k to address + 16k, the hex pair j of a line to offset j.
// Bytes beyond `size` are skipped.
void write_lines(quint8* buffer, int size, quint32 address, const QStringList& lines);

} // namespace MonitorTables
