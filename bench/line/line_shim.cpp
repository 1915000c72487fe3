// libzvkisp-line-shim: preloaded (LD_PRELOAD) into the tool for the benchmarks and the end-to-end
// tests, never installed. It watches the serial devices named in ZVKISP_LINE_PORTS (a comma list
// of /dev/pts/N paths, e.g. zvkisp-line's) and, with ZVKISP_LINE_USB set, makes them behave as a
// USB serial adapter's driver does:
//
//  - the transmit count (TIOCOUTQ) reports the bytes written until their wire time at the port's
//    baud has passed, and tcdrain() returns only then;
//  - TIOCGSERIAL answers; TIOCSSERIAL (asking for low latency) is accepted, or refused with EPERM
//    when ZVKISP_LINE_USB is "refuse";
//  - every open costs kOpenResetUs, as the reset and purge of a real adapter do.
//
// With ZVKISP_LINE_REPORT naming a file it appends at exit, per watched device: the opens, the
// bytes written and read (by baud), the greeting pairs (and those before the first reply), the
// first and last write and the first read (CLOCK_MONOTONIC ns); and the process's CPU time.
#include "line_format.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

extern "C" int tcdrain(int fd);

namespace {

constexpr int kMaxFd = 4096;
constexpr long kOpenResetUs = 8000;

int64_t now_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Stats {
    int opens = 0;
    std::map<long, long long> written;   // baud -> bytes
    std::map<long, long long> read;
    long long greeting_pairs = 0;
    long long pairs_before_reply = 0;
    int64_t first_write = 0, last_write = 0, first_read = 0;
    double bits = 10;                    // of the last format seen (the report's wire times)
};

struct Watched {
    bool on = false;
    std::string path;
    int64_t wire_end = 0;
    bool low_latency = false;
};

std::mutex g_mutex;
Watched g_fd[kMaxFd];
std::map<std::string, Stats> *g_stats = nullptr;

template <typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

const char *env(const char *name)
{
    const char *v = std::getenv(name);
    return v && *v ? v : nullptr;
}

bool watched_path(const std::string &path)
{
    const char *ports = env("ZVKISP_LINE_PORTS");
    if (!ports || path.empty())
        return false;
    const std::string list = std::string(",") + ports + ",";
    return list.find("," + path + ",") != std::string::npos;
}

bool usb() { return env("ZVKISP_LINE_USB") != nullptr; }

std::string resolved(const char *path)
{
    char buf[4096];
    return realpath(path, buf) ? std::string(buf) : std::string();
}

// Notes an open of a watched device (and charges it the adapter's reset); returns `fd`.
int note_open(int fd, const char *path)
{
    if (fd < 0 || fd >= kMaxFd)
        return fd;
    const std::string p = resolved(path);
    if (!watched_path(p))
        return fd;
    if (usb())
        usleep(kOpenResetUs);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fd[fd] = Watched{true, p, 0, false};
    if (!g_stats)
        g_stats = new std::map<std::string, Stats>;
    ++(*g_stats)[p].opens;
    return fd;
}

int64_t char_ns(int fd, line::Format *f)
{
    if (!line::read_format(fd, f))
        return 0;
    return int64_t(f->bits * 1e9 / f->baud);
}

__attribute__((destructor)) void report()
{
    const char *file = env("ZVKISP_LINE_REPORT");
    if (!file || !g_stats)
        return;
    FILE *out = std::fopen(file, "a");
    if (!out)
        return;
    for (const auto &[path, s] : *g_stats) {
        std::fprintf(out,
                     "port %s opens %d greeting-pairs %lld first-write %lld last-write %lld first-read %lld "
                     "pairs-before-reply %lld\n",
                     path.c_str(), s.opens, s.greeting_pairs, (long long)s.first_write, (long long)s.last_write,
                     (long long)s.first_read, s.pairs_before_reply);
        for (const auto &[baud, n] : s.written)
            std::fprintf(out, "port %s wrote %ld %lld %.0f\n", path.c_str(), baud, n, s.bits);
        for (const auto &[baud, n] : s.read)
            std::fprintf(out, "port %s read %ld %lld %.0f\n", path.c_str(), baud, n, s.bits);
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::fprintf(out, "cpu %.3f\n",
                 double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6);
    std::fclose(out);
}

}  // namespace

extern "C" {

// The mode argument, where the flags call for one.
#define ZVKISP_MODE(flags)                        \
    mode_t mode = 0;                              \
    if ((flags) & (O_CREAT | O_TMPFILE)) {        \
        va_list ap;                               \
        va_start(ap, flags);                      \
        mode = mode_t(va_arg(ap, int));           \
        va_end(ap);                               \
    }

int open(const char *path, int flags, ...)
{
    ZVKISP_MODE(flags)
    static auto next = real<int (*)(const char *, int, ...)>("open");
    return note_open(next(path, flags, mode), path);
}

int open64(const char *path, int flags, ...)
{
    ZVKISP_MODE(flags)
    static auto next = real<int (*)(const char *, int, ...)>("open64");
    return note_open(next(path, flags, mode), path);
}

int openat(int dir, const char *path, int flags, ...)
{
    ZVKISP_MODE(flags)
    static auto next = real<int (*)(int, const char *, int, ...)>("openat");
    return note_open(next(dir, path, flags, mode), path);
}

int openat64(int dir, const char *path, int flags, ...)
{
    ZVKISP_MODE(flags)
    static auto next = real<int (*)(int, const char *, int, ...)>("openat64");
    return note_open(next(dir, path, flags, mode), path);
}

int close(int fd)
{
    static auto next = real<int (*)(int)>("close");
    if (fd >= 0 && fd < kMaxFd) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_fd[fd].on = false;
    }
    return next(fd);
}

ssize_t write(int fd, const void *buf, size_t n)
{
    static auto next = real<ssize_t (*)(int, const void *, size_t)>("write");
    const ssize_t done = next(fd, buf, n);
    if (done <= 0 || fd < 0 || fd >= kMaxFd || !g_fd[fd].on)
        return done;
    line::Format f;
    const int64_t c = char_ns(fd, &f);
    const int64_t t = now_ns();
    std::lock_guard<std::mutex> lock(g_mutex);
    Watched &w = g_fd[fd];
    w.wire_end = std::max(w.wire_end, t) + c * done;
    Stats &s = (*g_stats)[w.path];
    s.written[long(f.baud)] += done;
    s.bits = f.bits;
    if (!s.first_write)
        s.first_write = t;
    s.last_write = t;
    const auto *b = static_cast<const unsigned char *>(buf);
    if (done == 2 && b[0] == 0x7F && b[1] == 0x7F) {
        ++s.greeting_pairs;
        s.pairs_before_reply += s.first_read ? 0 : 1;
    }
    return done;
}

ssize_t read(int fd, void *buf, size_t n)
{
    static auto next = real<ssize_t (*)(int, void *, size_t)>("read");
    const ssize_t done = next(fd, buf, n);
    if (done <= 0 || fd < 0 || fd >= kMaxFd || !g_fd[fd].on)
        return done;
    line::Format f;
    char_ns(fd, &f);
    std::lock_guard<std::mutex> lock(g_mutex);
    Stats &s = (*g_stats)[g_fd[fd].path];
    s.read[long(f.baud)] += done;
    if (!s.first_read)
        s.first_read = now_ns();
    return done;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    static auto next = real<int (*)(int, unsigned long, void *)>("ioctl");
    if (fd < 0 || fd >= kMaxFd || !g_fd[fd].on || !usb())
        return next(fd, request, arg);
    Watched &w = g_fd[fd];
    if (request == TIOCOUTQ) {
        line::Format f;
        const int64_t c = char_ns(fd, &f);
        const int64_t left = w.wire_end - now_ns();
        *static_cast<int *>(arg) = c > 0 && left > 0 ? int((left + c - 1) / c) : 0;
        return 0;
    }
    if (request == TIOCGSERIAL) {
        auto *ss = static_cast<serial_struct *>(arg);
        std::memset(ss, 0, sizeof *ss);
        ss->type = PORT_16550A;
        ss->line = fd;
        ss->baud_base = 3000000;
        ss->xmit_fifo_size = 256;
        ss->flags = w.low_latency ? ASYNC_LOW_LATENCY : 0;
        return 0;
    }
    if (request == TIOCSSERIAL) {
        if (std::strcmp(env("ZVKISP_LINE_USB"), "refuse") == 0) {
            errno = EPERM;
            return -1;
        }
        w.low_latency = (static_cast<serial_struct *>(arg)->flags & ASYNC_LOW_LATENCY) != 0;
        return 0;
    }
    return next(fd, request, arg);
}

int tcdrain(int fd)
{
    static auto next = real<int (*)(int)>("tcdrain");
    if (fd >= 0 && fd < kMaxFd && g_fd[fd].on && usb()) {
        const int64_t left = g_fd[fd].wire_end - now_ns();
        if (left > 0) {
            const timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
            nanosleep(&ts, nullptr);
        }
    }
    return next(fd);
}

}  // extern "C"
