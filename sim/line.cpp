#include "line.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Pty::~Pty()
{
    vanish();
}

bool Pty::open(std::string *error)
{
    char name[256] = {0};
    struct termios raw {};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // A speed no tool uses: while the slave holds these settings no tool has it open (a tool's
    // close puts back what it found), and a relay or tool that sets 9600 is not taken for a close.
    cfsetispeed(&raw, B50);
    cfsetospeed(&raw, B50);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    slave_path_ = name;

    struct termios probe = raw;
    probe.c_cflag = (probe.c_cflag & ~(CSIZE | PARODD)) | CS7 | PARENB;
    tcsetattr(slave_, TCSANOW, &probe);
    struct termios back {};
    framing_visible_ = tcgetattr(slave_, &back) == 0 && (back.c_cflag & PARENB) && (back.c_cflag & CSIZE) == CS7;
    tcsetattr(slave_, TCSANOW, &raw);
    struct termios closed {};
    tcgetattr(slave_, &closed);
    closed_flags_[0] = closed.c_iflag;
    closed_flags_[1] = closed.c_oflag;
    closed_flags_[2] = closed.c_cflag;
    closed_flags_[3] = closed.c_lflag;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    int fl = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, fl | O_NONBLOCK);
    return true;
}

ToolFormat Pty::tool_format() const
{
    if (slave_ < 0)
        return ToolFormat{};
    struct termios now {};
    if (tcgetattr(slave_, &now) == 0 && now.c_iflag == closed_flags_[0] && now.c_oflag == closed_flags_[1] &&
        now.c_cflag == closed_flags_[2] && now.c_lflag == closed_flags_[3])
        return last_open_;
    last_open_ = read_tool_format(slave_);
    return last_open_;
}

void Pty::write_bytes(const std::vector<uint8_t> &bytes)
{
    if (master_ < 0)
        return;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // queue full or line gone: the rest is lost
    }
}

long Pty::read_bytes(uint8_t *buf, size_t size)
{
    if (master_ < 0)
        return -1;
    for (;;) {
        ssize_t n = ::read(master_, buf, size);
        if (n >= 0)
            return long(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

void Pty::vanish()
{
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = -1;
    slave_ = -1;
}

bool formats_agree(const ToolFormat &tool, const SerialFormat &uart, double tol_pct, bool check_framing)
{
    if (!tool.valid || uart.baud <= 0)
        return false;
    double diff = std::fabs(tool.baud - uart.baud) / uart.baud * 100.0;
    if (diff > tol_pct + 1e-9)
        return false;
    if (check_framing) {
        if (tool.parity != uart.parity || tool.data_bits != uart.data_bits)
            return false;
    }
    return true;
}

std::vector<uint8_t> Garbler::garble(const std::vector<uint8_t> &in, double sender_baud, double receiver_baud)
{
    // Junk a mis-clocked UART typically produces; none of these starts a frame or a prefix.
    static const uint8_t kJunk[] = {0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF};
    std::vector<uint8_t> out;
    if (in.empty())
        return out;
    size_t n = in.size();
    if (sender_baud > 0 && receiver_baud > 0 && receiver_baud < sender_baud) {
        // A slower receiver sees several characters run together as one.
        n = size_t(std::floor(double(in.size()) * receiver_baud / sender_baud));
        if (n == 0)
            n = 1;
    }
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = in[i % in.size()];
        out.push_back(kJunk[(b + counter_++) % sizeof kJunk]);
    }
    return out;
}

}  // namespace sim
