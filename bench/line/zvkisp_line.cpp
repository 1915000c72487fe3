// zvkisp-line: a serial line between the tool and a board, for the benchmarks and the end-to-end
// tests (never installed). It offers the tool a pseudo-terminal of its own ("PORT /dev/pts/N" on
// the first line of standard output) and relays to the board's device (--far, e.g. zvkisp-sim's
// pseudo-terminal) as a wire would:
//
//  - each direction carries its bytes back to back at the baud the tool has set on its side, no
//    faster: a byte arrives one character time after the wire took it. The board's side follows
//    the tool's settings, byte by byte (a byte keeps the settings it was sent with, so the board
//    sees a baud change exactly where the tool made it);
//  - --rx-latency-ms N hands the board's bytes to the tool in ticks of N ms, as a USB adapter's
//    latency timer does: a free-running timer, and at each tick whatever has arrived goes over.
//
// Plain C++17 and POSIX; exits on SIGTERM/SIGINT or when the board's device goes away.
#include "line_format.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;

extern "C" void on_signal(int) { g_stop = 1; }

int64_t now_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct InFlight {
    uint8_t byte;
    int64_t arrives;         // when its stop bit is over at the far end
    line::Format format;     // the settings it was sent with
};

// A direction of the wire: when the next byte can start, and the bytes on their way.
struct Wire {
    std::deque<InFlight> bytes;
    int64_t free_at = 0;

    void carry(const uint8_t *data, long n, int64_t t, const line::Format &f)
    {
        const int64_t char_ns = int64_t(f.bits * 1e9 / f.baud);
        for (long i = 0; i < n; ++i) {
            free_at = std::max(free_at, t) + char_ns;
            bytes.push_back({data[i], free_at, f});
        }
    }
};

// The board reads the line settings when it gets round to reading the bytes: a change of them
// waits until the bytes before have had this long to be read.
constexpr int64_t kSettleNs = 3000000;

// Writes the bytes that have arrived by `until` to the far side, giving it the settings a byte
// was sent with first (once the bytes before it have settled).
void deliver_far(Wire &wire, int64_t until, int fd, line::Format &format, int64_t &last_write)
{
    std::vector<uint8_t> batch;
    auto flush = [&] {
        if (!batch.empty() && write(fd, batch.data(), batch.size()) > 0)
            last_write = until;
        batch.clear();
    };
    while (!wire.bytes.empty() && wire.bytes.front().arrives <= until) {
        const line::Format f = wire.bytes.front().format;
        if (f != format) {
            flush();
            if (until - last_write < kSettleNs || !line::write_format(fd, f))
                return;
            format = f;
        }
        batch.push_back(wire.bytes.front().byte);
        wire.bytes.pop_front();
    }
    flush();
}

// Writes the bytes that have arrived by `until` to the tool.
void deliver_tool(Wire &wire, int64_t until, int fd)
{
    std::vector<uint8_t> batch;
    while (!wire.bytes.empty() && wire.bytes.front().arrives <= until) {
        batch.push_back(wire.bytes.front().byte);
        wire.bytes.pop_front();
    }
    if (!batch.empty() && write(fd, batch.data(), batch.size()) < 0) {
    }
}

int usage(const char *why)
{
    std::fprintf(stderr,
                 "zvkisp-line: %s\n"
                 "usage: zvkisp-line --far DEVICE [--rx-latency-ms N]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string far_path;
    int64_t tick_ns = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--far" && i + 1 < argc)
            far_path = argv[++i];
        else if (a == "--rx-latency-ms" && i + 1 < argc)
            tick_ns = int64_t(std::atoi(argv[++i])) * 1000000;
        else
            return usage(("unknown option " + a).c_str());
    }
    if (far_path.empty())
        return usage("--far is required");

    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    int tool = -1;
    int tool_slave = -1;   // held, so the tool may close and reopen its side at will
    char name[256] = {0};
    if (openpty(&tool, &tool_slave, name, &raw, nullptr) != 0) {
        std::perror("zvkisp-line: openpty");
        return 1;
    }
    const int far = open(far_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (far < 0) {
        std::fprintf(stderr, "zvkisp-line: %s: %s\n", far_path.c_str(), std::strerror(errno));
        return 1;
    }
    fcntl(tool, F_SETFL, fcntl(tool, F_GETFL) | O_NONBLOCK);
    fcntl(tool, F_SETFD, FD_CLOEXEC);
    fcntl(tool_slave, F_SETFD, FD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);

    line::Format tool_format;
    line::Format far_format;
    line::read_format(tool_slave, &tool_format);
    if (line::write_format(far, tool_format))
        far_format = tool_format;
    std::printf("PORT %s\n", name);
    std::fflush(stdout);

    Wire to_far;
    Wire to_tool;
    const int64_t start = now_ns();
    int64_t far_written = 0;   // when bytes last went to the far side
    constexpr int64_t kLateNs = 250000;        // bytes inside a burst may reach the board this late
    constexpr int64_t kFollowNs = 1000000;     // how often the board's side follows the tool's settings
    uint8_t buf[4096];
    while (!g_stop) {
        const int64_t now = now_ns();
        line::Format current;
        if (line::read_format(tool_slave, &current))
            tool_format = current;
        if (to_far.bytes.empty() && tool_format != far_format && now - far_written >= kSettleNs &&
            line::write_format(far, tool_format))
            far_format = tool_format;
        deliver_far(to_far, now, far, far_format, far_written);
        const int64_t last_tick = tick_ns > 0 ? start + (now - start) / tick_ns * tick_ns : now;
        deliver_tool(to_tool, last_tick, tool);

        int64_t next = now + kFollowNs;
        if (now - far_written < kSettleNs)
            next = std::min(next, far_written + kSettleNs);
        if (!to_far.bytes.empty()) {
            const int64_t first = to_far.bytes.front().arrives;
            next = std::min(next, std::max(first, std::min(to_far.bytes.back().arrives, first + kLateNs)));
        }
        if (!to_tool.bytes.empty()) {
            int64_t at = to_tool.bytes.front().arrives;
            if (tick_ns > 0)
                at = start + ((at - start) / tick_ns + 1) * tick_ns;
            next = std::min(next, at);
        }
        pollfd fds[2] = {{tool, POLLIN, 0}, {far, POLLIN, 0}};
        const int64_t wait = std::max<int64_t>(0, next - now);
        timespec timeout{time_t(wait / 1000000000), long(wait % 1000000000)};
        if (ppoll(fds, 2, &timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            const long n = read(tool, buf, sizeof buf);
            if (n > 0) {
                if (line::read_format(tool_slave, &current))
                    tool_format = current;
                to_far.carry(buf, n, now_ns(), tool_format);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const long n = read(far, buf, sizeof buf);
            if (n > 0)
                to_tool.carry(buf, n, now_ns(), far_format);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                break;   // the board's side is gone
        }
    }
    close(far);
    close(tool);
    close(tool_slave);
    return 0;
}
