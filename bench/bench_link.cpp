// Prints what the link costs on a pseudo-terminal: program frames sent one byte at a time with the
// one-pass gap (as the programming phase sends them) go out paced by the wire at 115200 baud (about
// 100 % of its time), with the main thread's CPU beside it; and how long the busy-loop calibration
// takes and what it found.
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "isp/qt_serial_port.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

double thread_cpu_us()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? qMax(1, atoi(argv[1])) : 128;   // 128 x 128 bytes = 16 KiB

    Pty pty;
    if (!pty.open()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    // The far end drains the master as fast as it can.
    std::atomic<bool> done{false};
    std::atomic<long long> drained{0};
    std::thread reader([&] {
        char buf[8192];
        while (!done.load()) {
            pollfd p{pty.master_fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
                const ssize_t n = ::read(pty.master_fd(), buf, sizeof buf);
                if (n > 0)
                    drained += n;
            }
        }
    });

    QtSerialPort port;
    IspLink link(&port, nullptr);
    link.set_port_device(pty.slave_path());
    link.set_settings(QStringLiteral("115200,n,8,1"));
    if (link.open_port() != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(pty.slave_path()), qPrintable(link.last_open_error()));
        done = true;
        reader.join();
        return 1;
    }

    // Calibration.
    QElapsedTimer cal;
    cal.start();
    link.calibrate_delay_loop();
    const double cal_ms = double(cal.nsecsElapsed()) / 1e6;
    link.compute_byte_gap(link.settings_text());
    std::printf("calibrate_delay_loop: %.1f ms, loops_per_ms = %u (byte gap at 115200: %u loops)\n", cal_ms,
                link.loops_per_ms(), link.byte_gap_loops());

    // Program frames: 6A len(2) 00 address(4) count(2) data(128) checksum 16 = 140 bytes each.
    QByteArray data(128, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    const long long expected = 140LL * frames;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = thread_cpu_us();
    for (int f = 0; f < frames; ++f) {
        link.set_spaced_checksum(0);
        QByteArray frame;
        frame.append(char(Frames::kCommandStart));
        frame.append(char(0x00));
        frame.append(char(140));
        frame.append(char(Frames::Program));
        frame.append(Frames::program_header(quint32(f) * 128, 128));
        frame.append(data);
        for (char c : frame)
            link.send_byte_spaced(quint8(c), 1);
        link.send_checksum_spaced();
        link.send_byte_spaced(Frames::kEnd, 1);
    }
    link.wait_transmit_empty();
    const double sent_us = double(wall.nsecsElapsed()) / 1e3;
    const double cpu_us = thread_cpu_us() - cpu0;

    // Let the reader catch up before counting.
    QElapsedTimer settle;
    settle.start();
    while (drained.load() < expected && settle.elapsed() < 3000)
        ::poll(nullptr, 0, 5);
    done = true;
    reader.join();

    const double bytes = double(expected);
    const double wire_us_per_byte = 10.0 * 1e6 / 115200.0;
    const double us_per_byte = sent_us / bytes;
    std::printf("program frames: %d x 140 bytes, byte by byte, one-pass gap, pseudo-terminal\n", frames);
    std::printf("  wall %.1f ms, %.2f us/byte = %.1f %% of the wire time at 115200 (%.1f us/byte)\n", sent_us / 1e3,
                us_per_byte, 100.0 * us_per_byte / wire_us_per_byte, wire_us_per_byte);
    std::printf("  main-thread CPU %.1f ms = %.1f %% of the wall time\n", cpu_us / 1e3, 100.0 * cpu_us / sent_us);
    std::printf("  64 KiB at this rate: %.0f ms (wire time at 115200: %.0f ms)\n", us_per_byte * 65536 * 140 / 128 / 1e3,
                wire_us_per_byte * 65536 * 140 / 128 / 1e3);
    std::printf("  bytes received by the far end: %lld of %lld%s\n", drained.load(), expected,
                drained.load() == expected ? "" : "  <-- LOST BYTES");
    link.close_port();
    return drained.load() == expected ? 0 : 2;
}
