#pragma once
// The bytes exchanged with the boot loader: command codes, and the builders of command, reply
// and custom frames. The one place that knows frame shapes.

#include <QByteArray>
#include <cstdint>

namespace Frames {

constexpr quint8 kCommandStart = 0x6A;
constexpr quint8 kReplyStart = 0x68;
constexpr quint8 kCustomStart0 = 0x5A;
constexpr quint8 kCustomStart1 = 0xA5;
constexpr quint8 kEnd = 0x16;
constexpr quint8 kPrefix0 = 0x46;
constexpr quint8 kPrefix1 = 0xB9;
constexpr quint8 kGreeting = 0x7F;

enum Command : quint8 {
    ReadStatus = 0x50,
    Synchronise = 0x80,
    Synchronise2 = 0x81,
    Run = 0x82,
    Erase = 0x84,
    WatchdogPin = 0x86,
    SetOptions = 0x8D,
    SwitchBaud = 0x8E,
    TestBaud = 0x8F,
    Program = 0x00,
    ProgramAgain = 0x30,
    CustomSync = 0xB0,
    CustomFinish = 0xB1,
    CustomErase = 0xB2,
    CustomProgram = 0xB3,
    CustomProgramAgain = 0xB4,
    CustomReadId = 0xB5,
};

constexpr quint8 kProgramAck = 0x80;    // byte 3 of a program acknowledgement

// 8-bit sum of bytes, as the command and reply checksums use it. Both sums take the bytes from
// index `from` up to but not including `to` (-1 = to the end).
quint8 sum8(const QByteArray& bytes, int from = 0, int to = -1);
// 16-bit (plain integer) sum, as the custom checksums use it.
quint32 sum_plain(const QByteArray& bytes, int from = 0, int to = -1);

// 6A len(2) code data checksum 16; with_prefix puts 46 B9 in front (not counted, not summed).
QByteArray command_frame(quint8 code, const QByteArray& data = {}, bool with_prefix = false);
// 68 len(2) contents checksum 16 (the boot loader's side; used by tests and stand-ins).
QByteArray reply_frame(const QByteArray& contents);
// 5A A5 len(2) code data sumHi sumLo 16.
QByteArray custom_frame(quint8 code, const QByteArray& data = {});
// The header of a program frame: address (4 bytes, big-endian) and count (2 bytes).
QByteArray program_header(quint32 address, quint16 count);

} // namespace Frames
