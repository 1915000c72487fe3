// Reading the slave side's line settings. Kept alone: <asm/termbits.h> (termios2, BOTHER)
// clashes with the C library's <termios.h>.
#include "line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {

namespace {

double speed_of_code(unsigned code)
{
    switch (code) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B576000: return 576000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    default: return 0;
    }
}

}  // namespace

ToolFormat read_tool_format(int fd)
{
    ToolFormat f;
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        struct termios old {};
        if (ioctl(fd, TCGETS, &old) != 0)
            return f;
        t.c_cflag = old.c_cflag;
        t.c_ospeed = 0;
    }
    unsigned code = t.c_cflag & CBAUD;
    if (code == BOTHER)
        f.baud = double(t.c_ospeed);
    else
        f.baud = speed_of_code(code);
    if (f.baud == 0 && t.c_ospeed != 0)
        f.baud = double(t.c_ospeed);
    if (t.c_cflag & PARENB) {
        if (t.c_cflag & CMSPAR)
            f.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
        else
            f.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    } else {
        f.parity = 'N';
    }
    switch (t.c_cflag & CSIZE) {
    case CS5: f.data_bits = 5; break;
    case CS6: f.data_bits = 6; break;
    case CS7: f.data_bits = 7; break;
    default: f.data_bits = 8; break;
    }
    f.stop_bits = (t.c_cflag & CSTOPB) ? 2 : 1;
    f.valid = f.baud > 0;
    return f;
}

}  // namespace sim
