// The line settings of a tty as the relay copies them: the kernel's termios2, kept apart from
// <termios.h> (the two headers cannot share a translation unit).
#pragma once

namespace line {

struct Format {
    unsigned cflag = 0;      // speed, size, parity and stop bits
    unsigned ispeed = 0;
    unsigned ospeed = 0;
    double baud = 0;
    double bits = 10;        // start + data + parity + stop bits of one character
    bool operator==(const Format &o) const
    {
        return cflag == o.cflag && ispeed == o.ispeed && ospeed == o.ospeed;
    }
    bool operator!=(const Format &o) const { return !(*this == o); }
};

// The format `fd` is set to; false when it cannot be read.
bool read_format(int fd, Format *f);
// Gives `fd` the speed and character format of `f` (raw otherwise).
bool write_format(int fd, const Format &f);

}  // namespace line
