// zvkisp-sim: a virtual board with an 8051-compatible MCU and its serial boot loader, on a
// pseudo-terminal. See sim/README.md.
#include "board.h"
#include "config.h"
#include "line.h"
#include "scheduler.h"
#include "trace.h"

#include <cerrno>
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
        struct pollfd pfd {};
        pfd.fd = pty.master_fd();
        pfd.events = POLLIN;
        int timeout = sched.next_timeout_ms();
        struct timespec ts {};
        struct timespec *tsp = nullptr;
        if (timeout >= 0) {
            ts.tv_sec = timeout / 1000;
            ts.tv_nsec = long(timeout % 1000) * 1000000L;
            tsp = &ts;
        }
        int n = ppoll(&pfd, pfd.fd >= 0 ? 1 : 0, tsp, &wait_mask);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "zvkisp-sim: poll: %s\n", std::strerror(errno));
            return 1;
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
    return 0;
}
