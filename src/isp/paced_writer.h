#pragma once
// PacedWriter: when the bytes written to a serial line are on the wire, and when the next one may
// be written. A UART takes each byte into its FIFO at once and the wire carries the bytes back to
// back; a USB adapter does the same behind a transmit count that still includes what is in flight.
// So the writer keeps its own account, from a monotonic clock and the line's format, and never
// asks the driver how far it is.
//
// Byte k may be written at the later of (byte k-1's write + the gap) and (the moment the line has
// room for it: at most `lookahead_ns()` of wire time ahead of the wire). A gap shorter than one
// character never shows on the wire, since the wire is still busy with byte k-1 by then; so bytes
// whose gap falls within the wire's busy time may be written together, and nobody has to wait a
// fraction of a millisecond per byte.
//
// Pure arithmetic over the clock: the waiting belongs to the caller.

#include "isp/serial_port.h"

#include <QElapsedTimer>
#include <QtGlobal>
#include <functional>
#include <limits>

class PacedWriter {
public:
    // Monotonic nanoseconds; a QElapsedTimer's when none is given (tests hand in their own).
    using Clock = std::function<qint64()>;
    explicit PacedWriter(Clock clock = {});

    void set_format(const SerialFormat& format);
    const SerialFormat& format() const { return format_; }
    // Wire time of one character: start, data, parity and stop bits at the baud.
    qint64 char_ns() const { return char_ns_; }
    // How far writes may run ahead of the wire: about 4 ms, at least two characters, at most 48.
    qint64 lookahead_ns() const { return lookahead_ns_; }
    qint64 now() const;

    // How many of the next `wanted` bytes, each `gap_ns` after the one before, may be written now.
    int writable_now(qint64 gap_ns, int wanted) const;
    // When to look again after writable_now() said 0: once about a millisecond's worth (at least
    // a character) has drained, or when the gap is over if the gap holds the byte back.
    qint64 next_chance(qint64 gap_ns) const;
    // `count` bytes were handed to the port now, each `gap_ns` after the one before.
    void wrote(int count, qint64 gap_ns = 0);
    // When everything written so far has left the wire (in the past when the line is idle).
    qint64 wire_free_at() const { return wire_end_; }
    // When the last byte was written (as paced).
    qint64 last_write_at() const { return last_write_; }
    // The port was closed or opened: nothing is on its way.
    void reset();

private:
    Clock clock_;
    QElapsedTimer own_clock_;
    SerialFormat format_;
    qint64 char_ns_ = 0;
    qint64 lookahead_ns_ = 0;
    qint64 last_write_ = std::numeric_limits<qint64>::min() / 2;   // when the previous byte was written (as paced)
    qint64 wire_end_ = std::numeric_limits<qint64>::min() / 2;     // when the last byte written leaves the wire
};
