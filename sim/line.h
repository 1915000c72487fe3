// The serial line: a pseudo-terminal whose slave side the tool opens. The sim reads the
// tool's line settings from the slave's termios whenever bytes cross the line.
#pragma once

#include "config.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Line settings the tool has set on the slave side, as read from its termios.
struct ToolFormat {
    double baud = 0;
    char parity = 'N';
    int data_bits = 8;
    int stop_bits = 1;
    bool valid = false;
};

// Reads the slave's settings with TCGETS2 (non-standard rates via BOTHER), falling back to
// the classic termios speed codes. Defined apart from the rest: the kernel's termios2
// header cannot share a translation unit with <termios.h>.
ToolFormat read_tool_format(int fd);

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool open(std::string *error);
    int master_fd() const { return master_; }
    const std::string &slave_path() const { return slave_path_; }

    // The tool's settings as the slave holds them. A tool that closes the port puts back the
    // settings the slave had before (ours): bytes read then were sent before the close, at the
    // settings the tool had last, and those are returned.
    ToolFormat tool_format() const;
    // Some kernels force 8 data bits and no parity on pseudo-terminals: then the tool's
    // parity and data bits cannot be seen and only the baud can be compared.
    bool framing_visible() const { return framing_visible_; }

    // Non-blocking write of the bytes; what the slave's queue cannot take is lost, as on a
    // line nobody listens to.
    void write_bytes(const std::vector<uint8_t> &bytes);
    // Reads what is waiting (non-blocking); returns -1 when the master failed.
    long read_bytes(uint8_t *buf, size_t size);

    // Makes the line disappear: closes the master (and our slave handle).
    void vanish();
    bool vanished() const { return master_ < 0; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
    bool framing_visible_ = false;
    unsigned closed_flags_[4] = {};   // the slave's mode flags (i, o, c, l) while no tool holds it open
    mutable ToolFormat last_open_;    // the settings last seen while a tool held it open
};

// True when a UART at `uart` understands bytes sent at the tool's settings (and the other way
// round): bauds within tol_pct of each other; with check_framing also the same parity and
// data bits.
bool formats_agree(const ToolFormat &tool, const SerialFormat &uart, double tol_pct, bool check_framing);

// Turns bytes sent at one baud and received at another into the junk a UART would make of
// them: never a start byte of any frame, fewer bytes when the receiver is slower.
class Garbler {
public:
    std::vector<uint8_t> garble(const std::vector<uint8_t> &in, double sender_baud, double receiver_baud);

private:
    uint32_t counter_ = 0;
};

}  // namespace sim
