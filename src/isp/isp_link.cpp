#include "isp/isp_link.h"

#include "isp/frames.h"
#include "base/user_dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The empty counting loop behind every byte gap. A volatile counter keeps the compiler from
// removing or shortening it; it is kept out of line so the calibration times the same code.
Q_NEVER_INLINE void count_passes(quint32 last)
{
    for (volatile quint32 i = 0; i < last; i = i + 1) {
    }
}

} // namespace

struct IspLink::WaitStack {
    std::vector<QEventLoop*> loops;
    QElapsedTimer since_pump;   // time since the send path last processed events
};

IspLink::IspLink(SerialPort* port, UserDialogs* dialogs, QObject* parent)
    : QObject(parent), port_(port), dialogs_(dialogs), waits_(std::make_unique<WaitStack>())
{
    waits_->since_pump.start();
    linger_.setSingleShot(true);
    connect(&linger_, &QTimer::timeout, this, &IspLink::release_port);
    writer_.set_format(format_);
    if (port_) {
        connect(port_, &SerialPort::ready_read, this, &IspLink::on_ready_read);
        connect(port_, &SerialPort::failed, this, &IspLink::on_port_failed);
        if (!port_->is_open())
            port_->set_format(format_);
    }
}

IspLink::~IspLink()
{
    // Any wait still on the stack belongs to a caller that is unwinding; let it go.
    wake();
}

// ---- Port choice and settings -----------------------------------------------------------------

bool IspLink::set_settings(const QString& text)
{
    const std::optional<SerialFormat> f = SerialFormat::parse(text);
    if (!f)
        return false;
    if (port_ && port_->is_open()) {
        // In place, on the open port: the bytes sent at the old settings leave the wire first;
        // what arrives meanwhile stays in the receive queue and the modem lines stay as they are.
        wait_until(writer_.wire_free_at(), {}, false);
        if (!port_->set_format(*f))
            return false;
    } else if (port_ && !port_->set_format(*f)) {
        return false;
    }
    format_ = *f;
    writer_.set_format(format_);
    return true;
}

QString IspLink::settings_text() const
{
    return format_.text();
}

qint32 IspLink::current_baud() const
{
    return format_.baud;
}

bool IspLink::port_open() const
{
    return port_ && port_->is_open() && !closed_in_place_;
}

void IspLink::configure_port()
{
    // Byte mode, a receive event per byte, no send events and null bytes kept are how the port
    // layer always works; what is left is emptying both queues.
    clear_queues();
}

int IspLink::open_port()
{
    if (!port_)
        return -1;
    if (port_open())
        close_port();
    if (closed_in_place_ && port_->is_open() && open_device_ == device_) {
        // Closed moments ago and still held: it opens again in place, as empty as a fresh port.
        linger_.stop();
        closed_in_place_ = false;
        if (port_->format() == format_ || set_settings(format_.text())) {
            port_->clear_input();
            last_open_error_.clear();
            return 0;
        }
        closed_in_place_ = true;   // it refuses the settings: a fresh open says why
    }
    release_port();
    const int err = port_->open(device_, format_);
    writer_.reset();
    if (err > 0) {
        last_open_error_ = port_->error_string();
        if (last_open_error_.isEmpty())
            last_open_error_ = QStringLiteral("Cannot open %1").arg(device_);
        return err;
    }
    last_open_error_.clear();
    if (!port_->is_open())
        return -1;
    ++physical_opens_;
    open_device_ = device_;
    port_lost_ = false;
    low_latency_note_ = port_->low_latency_note();
    return 0;
}

bool IspLink::close_port()
{
    // The device itself stays open a little longer: the road of one board closes and opens the
    // port several times (run, stop), and every open of a USB adapter resets and purges it.
    if (port_open()) {
        closed_in_place_ = true;
        linger_.start(kLingerMs);
    }
    return port_open();
}

void IspLink::release_port()
{
    linger_.stop();
    if (!port_ || !closed_in_place_ || !port_->is_open()) {
        closed_in_place_ = false;
        return;
    }
    closed_in_place_ = false;
    const qint64 settled = writer_.last_write_at() + qint64(port_->close_settle_ms()) * 1000000;
    wait_until(qMax(writer_.wire_free_at(), settled), {}, false);
    if (port_->is_open())
        port_->close();
    writer_.reset();
}

void IspLink::reopen_port()
{
    close_port();
    for (int attempt = 0; attempt < 3 && port_; ++attempt) {
        open_port();
        if (port_open())
            break;
    }
}

void IspLink::close_port_on_exit()
{
    close_port();
    release_port();
}

void IspLink::flush_receive()
{
    // A closed port has nothing waiting: the next open starts empty (opening it here, as a
    // serial control would, costs a USB adapter a reset).
    if (port_ && port_->is_open()) {
        port_->read(0);
        port_->clear_input();
    }
    rx_count_ = 0;
    reply_received_ = false;
}

void IspLink::clear_queues()
{
    if (!port_open())
        return;
    // The transmit side has nothing to empty: bytes are written only as the line takes them, as a
    // UART's FIFO would, and what a FIFO holds goes out.
    port_->clear_input();
}

// ---- Sending ----------------------------------------------------------------------------------

void IspLink::send_byte(quint8 b, int delay_ms_before)
{
    tx_checksum_ = quint16((tx_checksum_ + b) % 256);
    wait_transmit_empty();
    delay_ms(delay_ms_before);
    const char c = char(b);
    send_paced(&c, 1, 0);
}

void IspLink::send_checksum()
{
    const char c = char(tx_checksum_ & 0xFF);
    send_paced(&c, 1, kChecksumGapLoops);
}

void IspLink::send_byte_spaced(quint8 b, quint32 loops)
{
    spaced_checksum_ = quint16((spaced_checksum_ + b) % 256);
    const char c = char(b);
    send_paced(&c, 1, loops);
}

void IspLink::send_checksum_spaced()
{
    const char c = char(spaced_checksum_ & 0xFF);
    send_paced(&c, 1, byte_gap_loops_);
}

void IspLink::send_paced(const char* bytes, int count, quint32 gap_loops)
{
    const qint64 gap = gap_ns(gap_loops);
    int done = 0;
    while (done < count && port_open()) {
        int n = writer_.writable_now(gap, count - done);
        if (n == 0 && !relevant_stop()) {
            wait_until(writer_.next_chance(gap));
            continue;
        }
        if (n == 0)
            n = count - done;   // a stop ends the waits, not the writes
        port_->write(QByteArray(bytes + done, n));
        writer_.wrote(n, gap);
        done += n;
    }
    pump_now_and_then();
}

qint64 IspLink::gap_ns(quint32 loops) const
{
    if (loops_per_ms_ == 0)
        return 0;
    return qint64(double(loops) * 1e6 / double(loops_per_ms_));
}

void IspLink::write_bytes(const QByteArray& bytes)
{
    if (!port_open() || bytes.isEmpty())
        return;
    port_->write(bytes);
    writer_.wrote(int(bytes.size()));
}

int IspLink::send_short_command(quint8 code)
{
    if (code != Frames::Synchronise && code != Frames::Synchronise2 && code != Frames::Run)
        return -1;
    configure_port();
    if (!port_open() && open_port() == -1)
        return -1;
    rx_count_ = 0;
    reply_received_ = false;
    if (prefix_mode_) {
        send_byte(Frames::kPrefix0, 0);
        send_byte(Frames::kPrefix1, 0);
    }
    write_bytes(Frames::command_frame(code));
    return 0;
}

void IspLink::send_custom_command(quint8 code)
{
    const QByteArray frame = Frames::custom_frame(code);
    wait_transmit_empty();
    delay_ms(20);
    write_bytes(frame);
}

void IspLink::wait_transmit_empty(bool stoppable)
{
    while (port_open() && writer_.writable_now(0, 1) == 0 && !(stoppable && relevant_stop()))
        wait_until(writer_.next_chance(0), {}, stoppable);
    pump_now_and_then();
}

void IspLink::wait_wire_free(const std::function<bool()>& done)
{
    wait_until(writer_.wire_free_at(), done);
}

bool IspLink::wait_until(qint64 at_ns, const std::function<bool()>& done, bool stoppable)
{
    // A timer of its own: a wait nested in this one's event handling must not take it away.
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &IspLink::wake);
    const quint64 failures = port_failures_;
    for (;;) {
        if ((done && done()) || (stoppable && relevant_stop()) || failures != port_failures_)
            break;
        const qint64 left = at_ns - writer_.now();
        if (left <= 0)
            break;
        // Whole milliseconds, rounded down: the look-ahead covers the rest.
        timer.start(int(qBound<qint64>(qint64(1), left / 1000000, qint64(1000))));
        run_wait_loop();
    }
    waits_->since_pump.restart();
    return done ? done() : true;
}

void IspLink::pump_now_and_then()
{
    // Often enough for received bytes and clicks to be handled promptly, rarely enough that a
    // byte-by-byte send stays cheap.
    if (waits_->since_pump.nsecsElapsed() >= 2000000) {
        QCoreApplication::processEvents();
        waits_->since_pump.restart();
    }
}

void IspLink::compute_byte_gap(const QString& settings_text)
{
    bool ok = false;
    const qint64 baud = settings_text.section(QLatin1Char(','), 0, 0).trimmed().toLongLong(&ok);
    if (!ok || baud <= 0)
        return;
    double factor = 1.0;
    if (baud_error_pct_ < 0)
        factor = std::fabs(baud_error_pct_ + 1) * 0.2 + 1;
    const double loops = std::round(double(loops_per_ms_) / double(baud) * 6000.0 * factor);
    byte_gap_loops_ = quint32(qBound(0.0, loops, double(std::numeric_limits<quint32>::max())));
}

void IspLink::calibrate_delay_loop()
{
    // Grow a batch until it takes a few milliseconds, then time several batches of that size and
    // keep the fastest: being descheduled only ever makes a batch look slower, and a rate taken
    // too low would make the byte gaps too short. The whole calibration stays near 100 ms.
    constexpr qint64 kBatchNs = 8 * 1000 * 1000;
    constexpr qint64 kBudgetNs = 120 * 1000 * 1000;
    constexpr int kBatches = 8;
    QElapsedTimer total;
    total.start();
    auto timed = [](quint32 passes) {
        QElapsedTimer t;
        t.start();
        count_passes(passes);
        // A clock that did not move still means the loop ran: one microsecond is the floor.
        return qMax<qint64>(t.nsecsElapsed(), 1000);
    };

    quint32 passes = 1u << 16;
    qint64 ns = timed(passes);
    while (ns < kBatchNs && passes < (1u << 30) && total.nsecsElapsed() + ns * 4 < kBudgetNs) {
        passes *= 4;
        ns = timed(passes);
    }
    double best = double(passes) * 1e6 / double(ns);
    for (int i = 1; i < kBatches && total.nsecsElapsed() + ns < kBudgetNs; ++i) {
        const qint64 again = timed(passes);
        best = qMax(best, double(passes) * 1e6 / double(again));
    }
    loops_per_ms_ = quint32(qBound(1.0, std::round(best), double(std::numeric_limits<quint32>::max())));
}

bool IspLink::adopt_loops_per_ms(quint32 stored)
{
    constexpr quint32 kLowest = 1000;
    constexpr quint32 kHighest = 1000000000;
    if (stored < kLowest || stored > kHighest)
        return false;
    // A millisecond's worth by the stored figure, best of three (being descheduled only ever
    // makes a count look slower): half to twice a millisecond is this machine's figure.
    qint64 best = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        count_passes(stored);
        best = qMin(best, t.nsecsElapsed());
    }
    if (best < 500000 || best > 2000000)
        return false;
    loops_per_ms_ = stored;
    return true;
}

// ---- Timers and waits -------------------------------------------------------------------------

void IspLink::delay_ms(int ms)
{
    if (ms <= 0)
        return;
    Timer6.set_enabled(false);
    Timer6.set_interval(ms);
    Timer6.set_enabled(true);
    wait_tick(Timer6);
}

void IspLink::beep_times(int n)
{
    for (int i = 0; i < n; ++i) {
        if (dialogs_)
            dialogs_->beep();
        Timer_beep.set_interval(150);
        Timer_beep.set_enabled(true);
        wait_tick(Timer_beep);
    }
}

void IspLink::start_block_reply_timer(double clock_hz)
{
    int interval;
    if (clock_hz < 3e6)
        interval = 4000;
    else if (clock_hz < 4e6)
        interval = 3000;
    else if (clock_hz < 6e6)
        interval = 2000;
    else if (clock_hz < 8e6)
        interval = 1500;
    else if (clock_hz < 12e6)
        interval = 1200;
    else
        interval = 1000;
    const qint32 baud = current_baud();
    if (baud <= 1200 && interval < 5000)
        interval = 5000;
    else if (baud <= 2400 && interval < 3000)
        interval = 3000;
    else if (baud <= 4800 && interval < 2000)
        interval = 2000;
    else if (baud <= 9600 && interval < 1500)
        interval = 1500;
    Timer7.set_interval(interval);
    Timer7.set_enabled(true);
}

void IspLink::run_wait_loop()
{
    QEventLoop loop;
    waits_->loops.push_back(&loop);
    loop.exec();
    waits_->loops.pop_back();
}

void IspLink::wake()
{
    for (QEventLoop* loop : waits_->loops)
        loop->quit();
}

bool IspLink::wait_on(OneShotTimer& timer, const std::function<bool()>& done)
{
    const auto c = connect(&timer, &OneShotTimer::tick, this, &IspLink::wake);
    const quint64 failures = port_failures_;
    for (;;) {
        if (done() || !timer.enabled() || relevant_stop())
            break;
        if (failures != port_failures_ ||
            (port_lost_ && !port_->is_open() && (&timer == &Timer7 || &timer == &Timer8))) {
            // The port went away (now, or earlier and it could not be opened again): no reply
            // can come, so the wait ends as its time-out would.
            timer.stop();
            break;
        }
        run_wait_loop();
    }
    disconnect(c);
    return done();
}

bool IspLink::wait_reply(int ms)
{
    Timer7.restart(ms);
    if (custom_frame_mode_)
        return wait_on(Timer7, [this] { return custom_reply_received_; });
    return wait_on(Timer7, [this] { return reply_received_; });
}

void IspLink::pump_events()
{
    QCoreApplication::processEvents();
    waits_->since_pump.restart();
}

void IspLink::wait_tick(OneShotTimer& timer)
{
    const auto c = connect(&timer, &OneShotTimer::tick, this, &IspLink::wake);
    while (timer.enabled())
        run_wait_loop();
    disconnect(c);
}

void IspLink::request_stop()
{
    stop_requested_ = true;
    wake();
}

void IspLink::request_custom_stop()
{
    custom_stop_requested_ = true;
    wake();
}

void IspLink::on_port_failed(const QString& reason)
{
    ++port_failures_;
    port_lost_ = true;
    linger_.stop();
    closed_in_place_ = false;
    if (port_ && port_->is_open())
        port_->close();
    emit port_failed(reason);
    wake();
}

// ---- Receiving --------------------------------------------------------------------------------

int IspLink::get_received_frame(std::array<quint8, kFrameCapacity>& frame) const
{
    frame = rx_frame_;
    return rx_count_;
}

void IspLink::clear_prefix_mode_flags()
{
    prefix_mode_ = false;
    prefix_first_seen_ = false;
    prefix_second_seen_ = false;
}

void IspLink::reset_receiver()
{
    reply_received_ = false;
    custom_reply_received_ = false;
    prefix_first_seen_ = false;
    prefix_second_seen_ = false;
    rx_count_ = 0;
}

void IspLink::append_received(const QByteArray& bytes, int from)
{
    for (int i = qMax(0, from); i < bytes.size() && rx_count_ < kFrameCapacity; ++i)
        rx_frame_[size_t(rx_count_++)] = quint8(bytes[i]);
}

void IspLink::on_ready_read()
{
    if (!port_ || in_receive_handler_)
        return;
    if (!port_open()) {
        // Closed for the link (and only held for a moment): what arrives now is lost.
        if (port_->is_open())
            port_->read(0);
        return;
    }
    in_receive_handler_ = true;
    if (custom_frame_mode_)
        assemble_custom();
    else
        assemble_reply();
    in_receive_handler_ = false;
    wake();
}

void IspLink::assemble_reply()
{
    while (port_open() && port_->bytes_available() > 0) {
        if (prefix_mode_ && rx_count_ == 0) {
            if (!prefix_first_seen_) {
                const QByteArray b = port_->read(1);
                if (b.isEmpty())
                    return;
                if (quint8(b[0]) == Frames::kPrefix0) {
                    prefix_first_seen_ = true;
                    prefix_second_seen_ = false;
                }
                continue;
            }
            if (!prefix_second_seen_) {
                // One byte for the second half of the pair; matched or not, the handler goes on
                // to read what else is waiting.
                const QByteArray b = port_->read(1);
                if (b.isEmpty())
                    return;
                if (quint8(b[0]) == Frames::kPrefix1) {
                    prefix_second_seen_ = true;
                } else {
                    prefix_first_seen_ = false;
                    prefix_second_seen_ = false;
                }
            }
        }

        const QByteArray data = port_->read(0);
        if (data.isEmpty())
            return;
        if (!reply_armed_)
            return;

        if (rx_count_ > 0) {
            append_received(data);
        } else {
            const int start = int(data.indexOf(char(Frames::kReplyStart)));
            if (start >= 0)
                append_received(data, start);
        }

        // The expected length is kept from event to event (and from the previous frame until
        // three bytes of this one are in).
        if (rx_count_ >= 3) {
            expected_length_ = rx_frame_[1] * 256 + rx_frame_[2];
            if (expected_length_ > kFrameCapacity) {
                reset_receiver();   // longer than rx_frame_ can hold: never accepted
                continue;
            }
        }
        if (expected_length_ <= 0 || rx_count_ < expected_length_)
            continue;

        const int len = expected_length_;
        if (rx_frame_[size_t(len - 1)] == Frames::kEnd) {
            quint32 sum = 0;
            for (int i = 0; i <= len - 3; ++i)
                sum += rx_frame_[size_t(i)];
            if (len >= 2 && quint8(sum & 0xFF) == rx_frame_[size_t(len - 2)]) {
                reply_received_ = true;
                prefix_first_seen_ = false;
                prefix_second_seen_ = false;
                return;
            }
            reset_receiver();
        } else {
            rx_frame_[0] = 0;
            rx_count_ = 0;
            reset_receiver();
        }
    }
}

void IspLink::assemble_custom()
{
    while (port_open() && port_->bytes_available() > 0) {
        if (rx_count_ == 0 || rx_count_ == 1) {
            const QByteArray b = port_->read(1);
            if (b.isEmpty())
                return;
            const quint8 want = rx_count_ == 0 ? Frames::kCustomStart0 : Frames::kCustomStart1;
            if (quint8(b[0]) == want) {
                rx_frame_[size_t(rx_count_)] = want;
                ++rx_count_;
            } else {
                rx_frame_[0] = 0;
                rx_count_ = 0;
            }
            continue;
        }

        const QByteArray data = port_->read(0);
        if (data.isEmpty())
            return;
        append_received(data);

        if (rx_count_ >= 4) {
            expected_length_ = rx_frame_[2] * 256 + rx_frame_[3];
            if (expected_length_ > kFrameCapacity) {
                reset_receiver();   // longer than rx_frame_ can hold: never accepted
                continue;
            }
        }
        if (expected_length_ <= 0 || rx_count_ < expected_length_)
            continue;

        const int len = expected_length_;
        if (rx_frame_[size_t(len - 1)] == Frames::kEnd) {
            quint32 sum = 0;
            for (int i = 0; i <= len - 4; ++i)
                sum += rx_frame_[size_t(i)];
            if (len >= 3 && rx_frame_[size_t(len - 3)] == sum / 256 && rx_frame_[size_t(len - 2)] == sum % 256) {
                custom_reply_received_ = true;
                return;
            }
            reset_receiver();
        } else {
            flush_receive();
            rx_frame_[0] = 0;
            rx_count_ = 0;
            reset_receiver();
        }
    }
}
