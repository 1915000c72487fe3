// zvkisp-sim: a virtual board with an 8051-compatible MCU and its serial boot loader, on a
// pseudo-terminal. See sim/README.md.
#include "board.h"
#include "config.h"
#include "line.h"
#include "scheduler.h"
#include "trace.h"

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;

void on_signal(int)
{
    g_stop = 1;
}

// Removes the symlink at exit, but only while it still points at our slave device.
struct LinkGuard {
    std::string path;
    std::string target;
    ~LinkGuard()
    {
        if (path.empty())
            return;
        char buf[512];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
        if (n >= 0) {
            buf[n] = '\0';
            if (target == buf)
                unlink(path.c_str());
        }
    }
};

// The power line: a FIFO the test side writes "on" / "off" lines to. The sim holds it open for
// reading and writing, so a writer that closes and comes back never ends the stream.
struct PowerControl {
    std::string path;
    bool created = false;
    int fd = -1;
    std::string partial;

    bool open(const std::string &p, std::string *error)
    {
        path = p;
        if (mkfifo(p.c_str(), 0600) == 0) {
            created = true;
        } else if (errno != EEXIST) {
            *error = "cannot create " + p + ": " + std::strerror(errno);
            return false;
        }
        fd = ::open(p.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            *error = "cannot open " + p + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    // Reads what is waiting and hands every complete line to `on_line`.
    template <typename F>
    void read_lines(F on_line)
    {
        char buf[256];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            partial.append(buf, size_t(n));
        }
        size_t pos;
        while ((pos = partial.find('\n')) != std::string::npos) {
            std::string line = partial.substr(0, pos);
            partial.erase(0, pos + 1);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            on_line(line);
        }
    }
    ~PowerControl()
    {
        if (fd >= 0)
            ::close(fd);
        if (created)
            unlink(path.c_str());
    }
};

}  // namespace

int main(int argc, char **argv)
{
    sim::Config cfg;
    int rc = sim::parse_command_line(argc, argv, &cfg);
    if (rc == 1)
        return 0;
    if (rc != 0)
        return 2;

    // SIGINT/SIGTERM are blocked except inside ppoll(), so a signal always ends the wait.
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked, wait_mask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &wait_mask);
    sigdelset(&wait_mask, SIGINT);
    sigdelset(&wait_mask, SIGTERM);

    sim::Trace trace;
    std::string error;
    if (!cfg.trace_path.empty() && !trace.open(cfg.trace_path, &error)) {
        std::fprintf(stderr, "zvkisp-sim: %s\n", error.c_str());
        return 2;
    }

    sim::Pty pty;
    if (!pty.open(&error)) {
        std::fprintf(stderr, "zvkisp-sim: %s\n", error.c_str());
        return 2;
    }
    LinkGuard link;
    if (!cfg.link_path.empty()) {
        unlink(cfg.link_path.c_str());
        if (symlink(pty.slave_path().c_str(), cfg.link_path.c_str()) != 0) {
            std::fprintf(stderr, "zvkisp-sim: cannot create link %s: %s\n", cfg.link_path.c_str(),
                         std::strerror(errno));
            return 2;
        }
        link.path = cfg.link_path;
        link.target = pty.slave_path();
    }
    PowerControl power;
    if (!cfg.power_control_path.empty() && !power.open(cfg.power_control_path, &error)) {
        std::fprintf(stderr, "zvkisp-sim: %s\n", error.c_str());
        return 2;
    }
    std::printf("PORT %s\n", pty.slave_path().c_str());
    std::fflush(stdout);

    sim::Scheduler sched;
    sim::Board board(cfg, pty, sched, trace);
    board.start();

    uint8_t buf[4096];
    while (!g_stop && !board.finished()) {
        sched.run_due();
        if (board.finished())
            break;
        struct pollfd fds[2] {};
        struct pollfd &pfd = fds[0];
        pfd.fd = pty.master_fd();
        pfd.events = POLLIN;
        fds[1].fd = power.fd;
        fds[1].events = POLLIN;
        const int64_t timeout = sched.next_timeout_us();
        struct timespec ts {};
        struct timespec *tsp = nullptr;
        if (timeout >= 0) {
            ts.tv_sec = time_t(timeout / 1000000);
            ts.tv_nsec = long(timeout % 1000000) * 1000L;
            tsp = &ts;
        }
        // A vanished line leaves the power line to poll; the pty entry is then skipped (fd -1).
        int n = ppoll(fds, power.fd >= 0 ? 2 : (pfd.fd >= 0 ? 1 : 0), tsp, &wait_mask);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "zvkisp-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (n > 0 && power.fd >= 0 && (fds[1].revents & POLLIN)) {
            power.read_lines([&](const std::string &line) {
                if (line == "on" || line == "off") {
                    trace.line("power-line %s", line.c_str());
                    board.set_power(line == "on");
                } else if (!line.empty()) {
                    trace.line("note power-control ignored \"%s\"", line.c_str());
                }
            });
        }
        if (n > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR))) {
            long got = pty.read_bytes(buf, sizeof buf);
            if (got > 0) {
                board.on_input(buf, size_t(got));
            } else if (got < 0 || (pfd.revents & (POLLHUP | POLLERR))) {
                // Should not happen while we hold the slave open; avoid spinning on it.
                struct timespec pause {0, 10 * 1000000L};
                nanosleep(&pause, nullptr);
            }
        }
    }
    // Stopped by a signal: what the tool sent before it is still taken in, so a run command that
    // is already on the line writes the flash files even when the signal came first.
    for (long got = 1; g_stop && got > 0 && !board.finished();) {
        got = pty.read_bytes(buf, sizeof buf);
        if (got > 0)
            board.on_input(buf, size_t(got));
    }
    return 0;
}
