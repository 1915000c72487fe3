#include "isp/paced_writer.h"

#include <algorithm>
#include <cmath>

namespace {

// Writes run up to about 4 ms of wire ahead of the line: a late wake-up of a busy PC (a few
// milliseconds) leaves no gap on the wire, and what is written can never be more than a moment
// ahead of what the board has seen.
constexpr qint64 kLookaheadNs = 4000000;
constexpr int kMinLookaheadChars = 2;      // never less than two characters (slow bauds) ...
constexpr int kMaxLookaheadChars = 48;     // ... nor more than 48 characters
constexpr qint64 kRefillNs = 1000000;      // a waiting writer wakes once about 1 ms has drained

} // namespace

PacedWriter::PacedWriter(Clock clock) : clock_(std::move(clock))
{
    own_clock_.start();
    set_format(format_);
}

qint64 PacedWriter::now() const
{
    return clock_ ? clock_() : own_clock_.nsecsElapsed();
}

void PacedWriter::set_format(const SerialFormat& format)
{
    format_ = format;
    char_ns_ = qint64(std::llround(format.bits_per_char() * 1e9 / double(qMax(1, format.baud))));
    lookahead_ns_ = std::clamp(kLookaheadNs, kMinLookaheadChars * char_ns_, kMaxLookaheadChars * char_ns_);
}

int PacedWriter::writable_now(qint64 gap_ns, int wanted) const
{
    const qint64 t = now();
    qint64 last = last_write_;
    qint64 end = wire_end_;
    int n = 0;
    while (n < wanted) {
        const qint64 due = last + gap_ns;
        // The gap holds the byte back only where the wire would fall idle before it is over.
        if (due > end && due > t)
            break;
        const qint64 written = std::max(due, t);
        const qint64 leaves = std::max(written, end) + char_ns_;
        if (leaves - t > lookahead_ns_)
            break;   // no room on the line
        last = written;
        end = leaves;
        ++n;
    }
    return n;
}

qint64 PacedWriter::next_chance(qint64 gap_ns) const
{
    const qint64 due = last_write_ + gap_ns;
    if (due > wire_end_)
        return due;
    return std::max(due, wire_end_ - lookahead_ns_ + std::max(char_ns_, kRefillNs));
}

void PacedWriter::wrote(int count, qint64 gap_ns)
{
    const qint64 t = now();
    for (int i = 0; i < count; ++i) {
        last_write_ = std::max(last_write_ + gap_ns, t);
        wire_end_ = std::max(last_write_, wire_end_) + char_ns_;
    }
}

void PacedWriter::reset()
{
    wire_end_ = std::min(wire_end_, now());
}
