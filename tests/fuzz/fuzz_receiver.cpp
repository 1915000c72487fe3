// libFuzzer target: the receive handler of IspLink fed arbitrary bytes in arbitrary chunks
// through an in-memory port. The first byte picks the mode (reply or custom frames), the prefix
// mode and whether replies are awaited; the rest is a list of chunks, each led by a control byte
// (chunk length, and whether the sender clears the receiver or toggles the reply wait before it,
// as the senders do). After every chunk: rx_count stays inside rx_frame, and a raised flag always
// stands for a complete, valid frame of the current mode at the start of rx_frame.

#include "isp/isp_link.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_receiver: %s\n", what);
        std::abort();
    }
}

// A raised flag stands for a complete, valid frame at the start of rx_frame: 68 or 5A A5, the
// length, the end byte and the 8-bit (reply) or 16-bit (custom) sum.
void check_frame(const IspLink& link, bool custom)
{
    const auto& f = link.rx_frame();
    const int head = custom ? 2 : 1;
    check(link.rx_count() >= head + 2, "flag with fewer bytes than a header");
    check(custom ? f[0] == 0x5A && f[1] == 0xA5 : f[0] == 0x68, "flag without the start bytes");
    const int len = f[size_t(head)] * 256 + f[size_t(head + 1)];
    check(len >= head + 2 && len <= IspLink::kFrameCapacity, "flag with an impossible length");
    check(link.rx_count() >= len, "flag before the frame is complete");
    check(f[size_t(len - 1)] == 0x16, "flag without the end byte");
    unsigned sum = 0;
    for (int i = 0; i <= len - 2 - head; ++i)
        sum += f[size_t(i)];
    check(custom ? f[size_t(len - 3)] == sum / 256 && f[size_t(len - 2)] == sum % 256 : quint8(sum) == f[size_t(len - 2)],
          "flag with a wrong checksum");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz_receiver";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    if (size < 1)
        return 0;

    ScriptedDialogs dialogs;
    FakeSerialPort port;
    IspLink link(&port, &dialogs);
    link.set_port_device(QStringLiteral("/dev/fuzz0"));
    link.open_port();
    const uint8_t mode = data[0];
    link.set_custom_frame_mode(mode & 1);
    link.set_prefix_mode(mode & 2);
    link.set_reply_armed(mode & 4);
    bool ever_armed = link.reply_armed();

    size_t pos = 1;
    while (pos < size) {
        const uint8_t control = data[pos++];
        if (control & 0x40) {
            // What a sender does before it sends the next command.
            link.set_rx_count(0);
            link.clear_reply();
            link.clear_custom_reply();
        }
        if (control & 0x80)
            link.set_reply_armed(!link.reply_armed());
        ever_armed = ever_armed || link.reply_armed();
        size_t n = control & 0x3F;
        if (n == 0x3F)
            n = 400;   // now and then a chunk larger than a frame can be
        n = std::min(n, size - pos);
        port.feed(QByteArray(reinterpret_cast<const char*>(data + pos), int(n)));
        pos += n;

        check(link.rx_count() >= 0 && link.rx_count() <= IspLink::kFrameCapacity, "rx_count outside rx_frame");
        if (link.custom_frame_mode()) {
            check(!link.reply_received(), "reply flag in custom mode");
            if (link.custom_reply_received())
                check_frame(link, true);
        } else {
            check(!link.custom_reply_received(), "custom flag in reply mode");
            if (link.reply_received()) {
                check(ever_armed, "reply flag while replies were never awaited");
                check_frame(link, false);
            }
        }
    }
    return 0;
}
