#include "support/pty.h"

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::~Pty()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool Pty::open(bool keep_slave_open)
{
    if (master_ >= 0)
        return false;
    char name[256] = {};
    int m = -1;
    int s = -1;
    if (::openpty(&m, &s, name, nullptr, nullptr) != 0)
        return false;
    termios t{};
    if (::tcgetattr(s, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(s, TCSANOW, &t);
    }
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    master_ = m;
    slave_path_ = QString::fromLocal8Bit(name);
    if (keep_slave_open)
        slave_ = s;
    else
        ::close(s);
    return true;
}

QByteArray Pty::read_master(int timeout_ms, int max)
{
    QByteArray out;
    if (master_ < 0)
        return out;
    QElapsedTimer t;
    t.start();
    for (;;) {
        const int left = int(qMax<qint64>(0, timeout_ms - t.elapsed()));
        pollfd p{master_, POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const int want = max > 0 ? qMin<int>(int(sizeof buf), max - int(out.size())) : int(sizeof buf);
            const ssize_t n = ::read(master_, buf, size_t(want));
            if (n > 0) {
                out.append(buf, int(n));
                if (max > 0 && out.size() >= max)
                    return out;
                continue;   // take what else is there at once
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return out;
        } else if (r > 0) {
            // Hang-up without data (no slave open): wait a little rather than spin.
            ::poll(nullptr, 0, qMin(left, 5));
        }
        if (t.elapsed() >= timeout_ms || (!out.isEmpty() && r <= 0))
            return out;
    }
}

QByteArray Pty::read_master_exactly(int count, int timeout_ms)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.size() < count && t.elapsed() < timeout_ms)
        out += read_master(int(qMax<qint64>(1, timeout_ms - t.elapsed())), count - int(out.size()));
    return out;
}

bool Pty::slave_termios(termios* out) const
{
    return master_ >= 0 && ::tcgetattr(master_, out) == 0;
}

int Pty::slave_baud() const
{
    termios t{};
    if (!slave_termios(&t))
        return 0;
    switch (::cfgetospeed(&t)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}
