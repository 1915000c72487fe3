#include "line_format.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace line {

namespace {

constexpr unsigned kCopied = CBAUD | CBAUDEX | CSIZE | PARENB | PARODD | CSTOPB | CMSPAR;

double speed_of(unsigned code)
{
    static const struct {
        unsigned code;
        double baud;
    } table[] = {{B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},   {B2400, 2400},
                 {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400}, {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto &row : table)
        if (row.code == code)
            return row.baud;
    return 0;
}

}  // namespace

bool read_format(int fd, Format *f)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    f->cflag = t.c_cflag & kCopied;
    f->ispeed = t.c_ispeed;
    f->ospeed = t.c_ospeed;
    const unsigned code = t.c_cflag & CBAUD;
    f->baud = code == BOTHER ? double(t.c_ospeed) : speed_of(code);
    if (f->baud <= 0)
        f->baud = double(t.c_ospeed);
    int data = 8;
    switch (t.c_cflag & CSIZE) {
    case CS5: data = 5; break;
    case CS6: data = 6; break;
    case CS7: data = 7; break;
    default: break;
    }
    f->bits = 1 + data + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
    return f->baud > 0;
}

bool write_format(int fd, const Format &f)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = (t.c_cflag & ~kCopied) | f.cflag | CREAD | CLOCAL;
    t.c_ispeed = f.ispeed;
    t.c_ospeed = f.ospeed;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace line
