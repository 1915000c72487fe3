// Programs a full image (63488 bytes, ZVK7H64B+, 11.0592 MHz, 115200 baud) into zvkisp-sim over a
// pseudo-terminal and prints how long the program phase took against the time its bytes need on
// a real line, and how much CPU it used. The tool paces its bytes by the wire, also on a
// pseudo-terminal, so the phase takes about the wire time; bench_line runs it over modelled lines.
#include "device/workbench.h"
#include "isp/qt_serial_port.h"
#include "base/user_dialogs.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

class QuietDialogs : public UserDialogs {
public:
    void beep() override {}
    void message_box(const QString& text, const QString&, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool ask_yes_no(const QString&, const QString&) override { return false; }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return {}; }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return {}; }
};

// The real port with a count of the bytes that crossed it each way.
class CountingPort : public QtSerialPort {
public:
    QByteArray read(qint64 max = 0) override
    {
        QByteArray b = QtSerialPort::read(max);
        received += b.size();
        return b;
    }
    void write(const QByteArray& bytes) override
    {
        if (is_open())
            sent += bytes.size();
        QtSerialPort::write(bytes);
        last_write_ns = clock.nsecsElapsed();
    }
    qint64 sent = 0;
    qint64 received = 0;
    QElapsedTimer clock;
    qint64 last_write_ns = 0;
};

double cpu_seconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString model = QStringLiteral("ZVK7H64B+");
    SimProcess sim;
    if (!sim.start({QStringLiteral("--model"), model, QStringLiteral("--clock"), QStringLiteral("11059200"),
                    QStringLiteral("--instant-line")})) {
        std::fprintf(stderr, "bench_download: zvkisp-sim did not start (%s)\n", qPrintable(SimProcess::binary()));
        return 1;
    }

    CountingPort port;
    QuietDialogs dialogs;
    Workbench bench(&port, &dialogs);
    bench.select_model(model);
    bench.choices.max_baud = 115200;
    bench.link.set_port_device(sim.port());
    bench.link.calibrate_delay_loop();

    const int size = 63488;
    quint32 x = 1;
    for (int a = 0; a < size; ++a) {
        x = x * 1103515245u + 12345u;
        bench.image.program_buffer[size_t(a)] = quint8(x >> 16);
    }
    bench.image.image_start = 0;
    bench.image.image_end = size - 1;
    bench.image.file_loaded = true;

    bench.link.clear_stop();
    if (!bench.eraser.connect_and_erase()) {
        std::fprintf(stderr, "bench_download: connect and erase failed\n%s\n", qPrintable(bench.log.text()));
        return 1;
    }
    const qint32 baud = bench.link.current_baud();

    port.sent = 0;
    port.received = 0;
    // The tool's own part of each frame: from the start of the frame to its last byte written.
    // The rest of the phase is the hand-off to the simulator and its answer; with --instant-line
    // it echoes each frame 0.2 ms after reading it (its flash write), so the whole phase is what
    // the tool and the pseudo-terminal cost.
    port.clock.start();
    qint64 frame_start_ns = -1;
    qint64 sending_ns = 0;
    int resent = 0;
    bench.programmer.chunk_observer = [&](qint32, int, bool resend, quint32) {
        resent += resend ? 1 : 0;
        if (frame_start_ns >= 0)
            sending_ns += port.last_write_ns - frame_start_ns;
        frame_start_ns = port.clock.nsecsElapsed();
    };
    const double cpu0 = cpu_seconds();
    QElapsedTimer t;
    t.start();
    const bool programmed = bench.programmer.program_and_verify();
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const double cpu = cpu_seconds() - cpu0;
    if (frame_start_ns >= 0)
        sending_ns += port.last_write_ns - frame_start_ns;
    const double sending = double(sending_ns) / 1e9;
    bench.stop_run.stop_download();

    const qint64 bytes = port.sent + port.received;
    const double wire = double(bytes) * 10.0 / 115200.0;
    std::printf("program phase: %s at %d baud, %d bytes of image\n", programmed ? "OK" : "FAILED",
                baud, size);
    std::printf("  time              %8.3f s\n", seconds);
    std::printf("  bytes sent        %8lld\n", static_cast<long long>(port.sent));
    std::printf("  bytes received    %8lld\n", static_cast<long long>(port.received));
    std::printf("  wire time 115200  %8.3f s  (bytes x 10 / 115200)\n", wire);
    std::printf("  time / wire time  %8.1f %%  (paced by the wire; the simulator echoes 0.2 ms after a frame)\n",
                100.0 * seconds / wire);
    std::printf("  tool's own time   %8.3f s  (%.1f %% of wire time: frame start to last byte written)\n", sending,
                100.0 * sending / wire);
    std::printf("  CPU time          %8.3f s  (%.1f %% of one core while programming, target <= 25 %%)\n", cpu,
                100.0 * cpu / seconds);
    std::printf("  frames            %8llu  (%d resent)\n", static_cast<unsigned long long>(bench.programmer.frames_sent),
                resent);
    sim.stop();
    return programmed ? 0 : 1;
}
