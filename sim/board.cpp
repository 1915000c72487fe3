#include "board.h"

#include <memory>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const SerialFormat kBootFormat{1200, 'N', 8, 1};

std::string baud_text(double baud)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", baud);
    return buf;
}

bool write_file(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "zvkisp-sim: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "zvkisp-sim: write error on %s\n", path.c_str());
    return ok;
}

}  // namespace

Board::Board(const Config &cfg, Pty &pty, Scheduler &sched, Trace &trace)
    : cfg_(cfg), pty_(pty), sched_(sched), trace_(trace), rng_(cfg.seed)
{
}

void Board::start()
{
    state_ = State::Off;
    start_timer_ = sched_.after(cfg_.power_on_delay_ms, [this] {
        start_timer_ = 0;
        power_on();
    });
}

void Board::set_power(bool on)
{
    if (vanished_ || finished_)
        return;
    if (start_timer_) {
        sched_.cancel(start_timer_);
        start_timer_ = 0;
    }
    if (!on) {
        if (state_ == State::Off)
            return;
        trace_.line("power-off board=%d", board_number_);
        ++generation_;
        state_ = State::Off;
        pending_.clear();
        busy_ = false;
        if (frame_timer_) {
            sched_.cancel(frame_timer_);
            frame_timer_ = 0;
        }
        return;
    }
    if (state_ != State::Off)
        return;
    const bool fresh = board_number_ == 0 || board_ran_;
    if (fresh && board_number_ >= cfg_.boards)
        return;   // the last board has run; the sim is about to exit
    power_on(fresh);
}

// ---------------------------------------------------------------------------------------
// Power and modes

void Board::power_on(bool fresh)
{
    if (vanished_)
        return;
    ++generation_;
    if (fresh) {
        ++board_number_;
        board_ran_ = false;
        flash_.assign(cfg_.flash_size, 0xFF);
        options_ = cfg_.options;
    }
    pending_.clear();
    busy_ = false;
    trace_.line("power-on board=%d", board_number_);
    if (board_number_ == 1 && cfg_.application && !pty_.framing_visible())
        trace_.line("note framing-invisible (the pseudo-terminal hides parity and data bits: only the baud is compared)");
    if (cfg_.application) {
        bool straight_to_routine = cfg_.demo_routine && (cfg_.trigger.empty() || board_number_ > 1);
        if (straight_to_routine)
            enter_routine();
        else
            enter_application();
    } else {
        enter_boot_loader();
    }
}

void Board::enter_application()
{
    state_ = State::Application;
    uart_ = cfg_.app_format;
    check_framing_ = true;
    trigger_window_.clear();
    last_rx_note_.clear();
    trace_.line("application format=%s", format_text(uart_).c_str());
}

void Board::enter_boot_loader()
{
    state_ = State::Greeting;
    uart_ = kBootFormat;
    check_framing_ = false;
    prefix_active_ = false;
    sync_count_ = 0;
    command_parser_.reset();
    rx_bytes_.clear();
    last_rx_note_.clear();
}

void Board::enter_routine()
{
    state_ = State::Routine;
    uart_ = cfg_.demo_format;
    check_framing_ = true;
    custom_parser_.reset();
    rx_bytes_.clear();
    last_rx_note_.clear();
    trace_.line("routine format=%s", format_text(uart_).c_str());
}

void Board::board_done(const char *how)
{
    trace_.line("%s", how);
    write_flash_out();
    state_ = State::Running;
    ++generation_;  // nothing pending of this board survives
    pending_.clear();
    busy_ = false;
    board_ran_ = true;
    if (board_number_ >= cfg_.boards) {
        sched_.after(cfg_.exit_grace_ms, [this] { finished_ = true; });
        return;
    }
    // With a power line the next board comes up when the tool switches the power on again.
    if (!cfg_.power_control_path.empty())
        return;
    // Power off; the next board is switched on a little later.
    sched_.after(cfg_.next_board_delay_ms, [this] {
        if (!vanished_)
            power_on();
    });
}

void Board::vanish()
{
    trace_.line("vanish");
    vanished_ = true;
    ++generation_;
    state_ = State::Off;
    pending_.clear();
    pty_.vanish();
    sched_.after(cfg_.exit_grace_ms, [this] { finished_ = true; });
}

// ---------------------------------------------------------------------------------------
// Receiving

void Board::on_input(const uint8_t *data, size_t size)
{
    if (state_ == State::Off || state_ == State::Running || state_ == State::Resetting || size == 0)
        return;
    ToolFormat tool = pty_.tool_format();
    const double now = sched_.now_precise_ms();
    if (state_ == State::Greeting) {
        // The greeting bytes may come faster than a wire could carry them; they only start
        // the answer, they do not queue it.
        rx_wire_end_ms_ = now;
    } else if (tool.valid && !cfg_.instant_line) {
        const double bits = 1 + tool.data_bits + (tool.parity == 'N' ? 0 : 1) + tool.stop_bits;
        const double char_ms = bits * 1000.0 / tool.baud;
        rx_wire_end_ms_ = std::max(now, rx_wire_end_ms_) + char_ms * double(size);
        if (rx_wire_end_ms_ > now + 2000)
            rx_wire_end_ms_ = now + 2000;
    }
    std::vector<uint8_t> bytes(data, data + size);
    if (!formats_agree(tool, uart_, cfg_.baud_tolerance_pct, check_framing_ && pty_.framing_visible())) {
        // A tool changes its settings only after a whole frame has left the wire, but a
        // pseudo-terminal shows the settings at the read, not at the write: the bytes that complete
        // a frame begun at the UART's format were sent before the change. What follows them is junk.
        size_t late = 0;
        while (late < bytes.size() && !busy_ && pending_.empty() && frame_open()) {
            if (late == 0)
                trace_.line("note late-read (the end of a frame, read after the tool changed its settings)");
            pending_.push_back(bytes[late++]);
            drain();
        }
        bytes.erase(bytes.begin(), bytes.begin() + long(late));
        if (bytes.empty())
            return;
        note_garbled("rx", tool);
        bytes = garbler_.garble(bytes, tool.baud, uart_.baud);
    } else {
        last_rx_note_.clear();
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    drain();
}

bool Board::frame_open() const
{
    return state_ == State::Command ? command_parser_.in_frame() : state_ == State::Routine && custom_parser_.in_frame();
}

void Board::drain()
{
    while (!busy_ && !pending_.empty()) {
        if (state_ == State::Off || state_ == State::Running || state_ == State::Resetting) {
            pending_.clear();
            return;
        }
        uint8_t b = pending_.front();
        pending_.pop_front();
        handle_byte(b);
    }
}

void Board::handle_byte(uint8_t b)
{
    switch (state_) {
    case State::Greeting:
        // The boot loader times the 0x7F bytes and answers once.
        if (b != 0x7F) {
            sync_count_ = 0;
            return;
        }
        if (++sync_count_ >= 2)
            send_status_frame();
        return;
    case State::Command:
        if (cfg_.trace_bytes)
            rx_bytes_.push_back(b);
        handle_parsed(command_parser_.feed(b));
        arm_frame_timeout();
        return;
    case State::Routine:
        if (cfg_.trace_bytes)
            rx_bytes_.push_back(b);
        handle_parsed(custom_parser_.feed(b));
        arm_frame_timeout();
        return;
    case State::Application:
        if (cfg_.trigger.empty())
            return;
        trigger_window_.push_back(b);
        if (trigger_window_.size() > cfg_.trigger.size())
            trigger_window_.erase(trigger_window_.begin());
        if (trigger_window_ == cfg_.trigger) {
            trace_.line("trigger");
            trigger_window_.clear();
            if (cfg_.demo_routine) {
                enter_routine();
            } else {
                state_ = State::Resetting;
                uint64_t gen = generation_;
                sched_.after(cfg_.app_reset_ms, [this, gen] {
                    if (gen != generation_)
                        return;
                    trace_.line("reset");
                    enter_boot_loader();
                });
            }
        }
        return;
    default:
        return;
    }
}

void Board::arm_frame_timeout()
{
    if (frame_timer_) {
        sched_.cancel(frame_timer_);
        frame_timer_ = 0;
    }
    if (!frame_open())
        return;
    uint64_t gen = generation_;
    frame_timer_ = sched_.after(cfg_.frame_timeout_ms, [this, gen] {
        frame_timer_ = 0;
        if (gen != generation_)
            return;
        if (state_ == State::Command)
            handle_parsed(command_parser_.abandon());
        else if (state_ == State::Routine)
            handle_parsed(custom_parser_.abandon());
    });
}

void Board::handle_parsed(const ParsedFrame &f)
{
    if (f.kind != ParsedFrame::None && cfg_.trace_bytes) {
        // The frame with whatever came before it since the last one (a prefix, stray bytes).
        std::string hex = "rx";
        char byte[4];
        for (uint8_t b : rx_bytes_) {
            std::snprintf(byte, sizeof byte, " %02X", b);
            hex += byte;
        }
        rx_bytes_.clear();
        trace_.line("%s", hex.c_str());
    }
    if (f.kind == ParsedFrame::Reject) {
        reject(f.reason);
        return;
    }
    if (f.kind != ParsedFrame::Frame)
        return;
    if (state_ == State::Command)
        handle_command(f);
    else if (state_ == State::Routine)
        handle_custom(f);
}

void Board::reject(const std::string &reason)
{
    trace_.line("reject %s", reason.c_str());
}

// Counts an accepted frame of command `code`; false when the chip must not react (muted or vanished).
bool Board::count_accepted_frame(uint8_t code)
{
    ++accepted_frames_;
    if (code == cfg_.vanish_on_code)
        ++vanish_code_frames_;
    if ((cfg_.vanish_after >= 0 && accepted_frames_ > cfg_.vanish_after) ||
        (cfg_.vanish_on_code >= 0 && vanish_code_frames_ >= cfg_.vanish_on_count)) {
        vanish();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Boot-loader commands

void Board::handle_command(const ParsedFrame &f)
{
    const size_t n = f.data.size();
    char text[96];
    auto data_length = [&]() {
        std::snprintf(text, sizeof text, "data-length code=0x%02X len=%zu", f.code, n + 6);
        reject(text);
    };

    if (prefix_active_ && !f.prefixed) {
        std::snprintf(text, sizeof text, "missing-prefix code=0x%02X", f.code);
        reject(text);
        return;
    }

    switch (f.code) {
    case 0x50:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("status");
        answer(build_reply({0x50, 0, 0, 0, 0, 0, 0, 0, cfg_.version, uint8_t(cfg_.variant), options_}));
        return;

    case 0x80:
    case 0x81:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        if (f.code == 0x80)
            trace_.line("sync");
        else
            trace_.line("sync code=0x81");
        answer(build_reply({f.code}));
        return;

    case 0x82:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        board_done("run");
        return;

    case 0x84: {
        if (n != 1)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        unsigned pages = f.data[0];
        trace_.line("erase pages=%u", pages);
        erase(size_t(pages) * 512);
        answer(build_reply({0x84}), int64_t(cfg_.erase_ms) * 1000);
        return;
    }

    case 0x86:
        if (n != 1)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("wdt pin=0x%02X", f.data[0]);
        answer(build_reply({0x86}));
        return;

    case 0x8D: {
        size_t want = cfg_.family == 0 ? 1 : cfg_.family == 2 ? 3 : 0;
        if (want == 0) {
            std::snprintf(text, sizeof text, "unsupported code=0x%02X", f.code);
            reject(text);
            return;
        }
        if (n != want)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        if (cfg_.family == 0)
            trace_.line("options v=0x%02X", f.data[0]);
        else
            trace_.line("options o=0x%02X reload=0x%02X%02X", f.data[0], f.data[1], f.data[2]);
        if (!cfg_.ignore_options)
            options_ = f.data[0];
        answer(build_reply({0x8D}));
        return;
    }

    case 0x8E:
    case 0x8F: {
        size_t want = f.code == 0x8E ? 5 : 6;
        if (n != want)
            return data_length();
        uint8_t hi = f.data[0], lo = f.data[1];
        if (f.data[2] != uint8_t(255 - hi)) {
            std::snprintf(text, sizeof text, "bad-reload code=0x%02X", f.code);
            reject(text);
            return;
        }
        if (!count_accepted_frame(f.code))
            return;
        double baud = negotiated_baud(hi, lo);
        std::vector<uint8_t> reply = build_reply({f.code});
        if (f.code == 0x8E) {
            trace_.line("switch-baud baud=%s", baud_text(baud).c_str());
            // The loader switches its UART, then answers at the new baud and stays there.
            busy_then(int64_t(cfg_.switch_delay_ms) * 1000, [this, baud, reply] {
                uart_.baud = baud;
                when_tool_listens_at(baud, [this, reply] { transmit(reply, false); });
            });
        } else {
            // Answers at the candidate baud, then goes back to the baud it had.
            busy_then(int64_t(cfg_.switch_delay_ms) * 1000, [this, baud, reply] {
                when_tool_listens_at(baud, [this, baud, reply] {
                    double before = uart_.baud;
                    uart_.baud = baud;
                    Sent s = transmit(reply, false);
                    uart_.baud = before;
                    trace_.line("test-baud baud=%s %s", baud_text(baud).c_str(),
                                s == Sent::Ok ? "ok" : s == Sent::Garbled ? "fail" : "suppressed");
                });
            });
        }
        return;
    }

    case 0x00:
    case 0x30: {
        if (n < 6)
            return data_length();
        uint32_t addr = uint32_t(f.data[0]) << 24 | uint32_t(f.data[1]) << 16 | uint32_t(f.data[2]) << 8 |
                        f.data[3];
        size_t count = size_t(f.data[4]) << 8 | f.data[5];
        if (count == 0 || count != n - 6)
            return data_length();
        if (uint64_t(addr) + count > flash_.size()) {
            std::snprintf(text, sizeof text, "address code=0x%02X addr=0x%04X len=%zu", f.code, addr, count);
            reject(text);
            return;
        }
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("program addr=0x%04X len=%zu code=0x%02X", addr, count, f.code);
        const uint8_t *d = f.data.data() + 6;
        program(addr, d, count);
        unsigned sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += d[i];
        if (cfg_.short_program_ack)
            answer(build_reply({0x80}), cfg_.program_us);
        else
            answer(build_reply({0x80, uint8_t(sum & 0xFF)}), cfg_.program_us);
        return;
    }

    default:
        std::snprintf(text, sizeof text, "unknown-code code=0x%02X", f.code);
        reject(text);
        return;
    }
}

// ---------------------------------------------------------------------------------------
// In-application download routine

void Board::handle_custom(const ParsedFrame &f)
{
    const size_t n = f.data.size();
    char text[96];
    auto data_length = [&]() {
        std::snprintf(text, sizeof text, "data-length code=0x%02X len=%zu", f.code, n + 8);
        reject(text);
    };

    switch (f.code) {
    case 0xB0:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("custom-sync");
        answer(build_custom(0xB0, {}));
        return;

    case 0xB5:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("custom-id id=%04X", cfg_.demo_id);
        answer(build_custom(0xB5, {0x00, uint8_t(cfg_.demo_id >> 8), uint8_t(cfg_.demo_id & 0xFF), options_}));
        return;

    case 0xB2:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("custom-erase");
        erase(flash_.size());
        answer(build_custom(0xB2, {}), int64_t(cfg_.erase_ms) * 1000);
        return;

    case 0xB1:
        if (n != 0)
            return data_length();
        if (!count_accepted_frame(f.code))
            return;
        board_done("custom-finish");
        return;

    case 0xB3:
    case 0xB4: {
        if (n < 6)
            return data_length();
        uint32_t addr = uint32_t(f.data[0]) << 24 | uint32_t(f.data[1]) << 16 | uint32_t(f.data[2]) << 8 |
                        f.data[3];
        size_t count = size_t(f.data[4]) << 8 | f.data[5];
        if (count == 0 || count != n - 6)
            return data_length();
        if (uint64_t(addr) + count > flash_.size()) {
            std::snprintf(text, sizeof text, "address code=0x%02X addr=0x%04X len=%zu", f.code, addr, count);
            reject(text);
            return;
        }
        if (!count_accepted_frame(f.code))
            return;
        trace_.line("custom-program addr=0x%04X len=%zu code=0x%02X", addr, count, f.code);
        const uint8_t *d = f.data.data() + 6;
        program(addr, d, count);
        unsigned sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += d[i];
        answer(build_custom(f.code, {uint8_t((sum >> 8) & 0xFF), uint8_t(sum & 0xFF)}), cfg_.program_us);
        return;
    }

    default:
        std::snprintf(text, sizeof text, "unknown-code code=0x%02X", f.code);
        reject(text);
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Answering

void Board::busy_then(int64_t delay_us, std::function<void()> action)
{
    const double wire_left_ms = rx_wire_end_ms_ - sched_.now_precise_ms();
    int64_t delay = delay_us + int64_t(cfg_.reply_delay_ms) * 1000 +
                    (wire_left_ms > 0 ? int64_t(std::ceil(wire_left_ms * 1000.0)) : 0);
    if (cfg_.late_max_ms > 0) {
        std::uniform_int_distribution<int> late(cfg_.late_min_ms, cfg_.late_max_ms);
        delay += int64_t(late(rng_)) * 1000;
    }
    if (delay <= 0) {
        action();
        return;
    }
    busy_ = true;
    uint64_t gen = generation_;
    sched_.after_us(delay, [this, gen, action] {
        if (gen != generation_)
            return;
        action();
        busy_ = false;
        drain();
    });
}

// A loader that has just switched its UART answers once; on a real line the PC has switched
// too by then. A pseudo-terminal on a busy machine may see the tool reconfigure a little later,
// so the answer waits (up to --switch-wait) until the tool's side shows a baud the UART at
// `baud` understands. A baud the tool never takes (a drifting clock) still gets its garbled
// answer when the wait runs out.
void Board::when_tool_listens_at(double baud, std::function<void()> action)
{
    busy_ = true;
    const uint64_t gen = generation_;
    const double give_up = sched_.now_precise_ms() + cfg_.switch_wait_ms;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [this, gen, baud, give_up, action, poll] {
        if (gen != generation_)
            return;
        SerialFormat at = uart_;
        at.baud = baud;
        const bool listening =
            formats_agree(pty_.tool_format(), at, cfg_.baud_tolerance_pct, check_framing_ && pty_.framing_visible());
        if (listening || sched_.now_precise_ms() >= give_up) {
            action();
            busy_ = false;
            drain();
            return;
        }
        sched_.after(2, *poll);
    };
    (*poll)();
}

void Board::answer(std::vector<uint8_t> frame, int64_t delay_us)
{
    busy_then(delay_us, [this, frame] { transmit(frame, false); });
}

Board::Sent Board::transmit(std::vector<uint8_t> frame, bool exempt_from_faults)
{
    if (vanished_)
        return Sent::Suppressed;
    if (!exempt_from_faults) {
        if (cfg_.mute_after >= 0 && accepted_frames_ > cfg_.mute_after) {
            if (!mute_noted_)
                trace_.line("fault mute");
            mute_noted_ = true;
            return Sent::Suppressed;
        }
        std::uniform_real_distribution<double> p(0.0, 1.0);
        if (cfg_.drop_reply > 0 && p(rng_) < cfg_.drop_reply) {
            trace_.line("fault drop-reply");
            return Sent::Suppressed;
        }
        if (cfg_.corrupt > 0 && p(rng_) < cfg_.corrupt && frame.size() > 5) {
            // One bit of the contents or checksum flips on the way.
            size_t first = frame[0] == kCustomStart1 ? 4 : 3;
            std::uniform_int_distribution<size_t> pos(first, frame.size() - 2);
            std::uniform_int_distribution<int> bit(0, 7);
            size_t at = pos(rng_);
            frame[at] ^= uint8_t(1u << bit(rng_));
            trace_.line("fault corrupt byte=%zu", at);
        }
    }
    if (prefix_active_ && state_ == State::Command)
        frame.insert(frame.begin(), {kPrefix1, kPrefix2});
    return send_line(frame) ? Sent::Ok : Sent::Garbled;
}

bool Board::send_line(const std::vector<uint8_t> &bytes)
{
    ToolFormat tool = pty_.tool_format();
    if (formats_agree(tool, uart_, cfg_.baud_tolerance_pct, check_framing_ && pty_.framing_visible())) {
        pty_.write_bytes(bytes);
        return true;
    }
    note_garbled("tx", tool);
    pty_.write_bytes(garbler_.garble(bytes, uart_.baud, tool.baud));
    return false;
}

void Board::note_garbled(const char *direction, const ToolFormat &tool)
{
    char text[160];
    std::snprintf(text, sizeof text, "garbled %s tool=%s,%c,%d uart=%s", direction, baud_text(tool.baud).c_str(),
                  tool.parity, tool.data_bits, format_text(uart_).c_str());
    // Received junk is noted once per change of the two settings; sent junk every time.
    if (std::strcmp(direction, "rx") == 0) {
        if (last_rx_note_ == text)
            return;
        last_rx_note_ = text;
    }
    trace_.line("%s", text);
}

// ---------------------------------------------------------------------------------------
// Status, baud and flash

std::vector<uint8_t> Board::status_frame() const
{
    // Contents from byte 3: byte 3, eight timing counts (4..19), version (20), variant (21),
    // option byte (22), identity (23), sub-identity (24), extended option byte (25).
    std::vector<uint8_t> c(23, 0);
    long mean = std::lround(cfg_.clock_hz / 2061.0) - 6;
    if (mean < 0)
        mean = 0;
    if (mean > 65535)
        mean = 65535;
    static const int kJitter[8] = {1, -1, 2, -2, 0, 1, 0, -1};
    bool jitter = mean >= 2 && mean <= 65533;
    for (int i = 0; i < 8; ++i) {
        long v = mean + (jitter ? kJitter[i] : 0);
        c[size_t(1 + 2 * i)] = uint8_t(v >> 8);
        c[size_t(2 + 2 * i)] = uint8_t(v & 0xFF);
    }
    c[17] = cfg_.version;
    c[18] = uint8_t(cfg_.variant);
    c[19] = options_;
    c[20] = cfg_.has_identity ? cfg_.identity : 0;
    c[21] = cfg_.has_identity ? cfg_.sub_identity : 0;
    c[22] = cfg_.has_extended ? cfg_.extended : 0;
    c.resize(size_t(cfg_.status_length - 5));
    return build_reply(c);
}

void Board::send_status_frame()
{
    state_ = State::Command;
    command_parser_.reset();
    std::vector<uint8_t> frame = status_frame();
    trace_.line("greeting");
    busy_then(0, [this, frame] {
        transmit(frame, true);
        prefix_active_ = cfg_.prefix_mode();
    });
}

double Board::negotiated_baud(uint8_t hi, uint8_t lo) const
{
    unsigned reload = unsigned(hi) << 8 | lo;
    unsigned count = 65536u - reload;
    double real_clock = cfg_.clock_hz * (1.0 + cfg_.clock_drift_pct / 100.0);
    return real_clock / 32.0 / double(count);
}

void Board::program(uint32_t addr, const uint8_t *data, size_t n)
{
    // Flash cells only go from 1 to 0 until the next erase.
    for (size_t i = 0; i < n; ++i)
        flash_[addr + i] &= data[i];
}

void Board::erase(size_t bytes)
{
    if (bytes > flash_.size())
        bytes = flash_.size();
    std::fill(flash_.begin(), flash_.begin() + long(bytes), uint8_t(0xFF));
}

void Board::write_flash_out()
{
    if (cfg_.flash_out.empty())
        return;
    std::vector<std::string> names{cfg_.flash_out};
    if (cfg_.boards > 1)
        names.push_back(cfg_.flash_out + "." + std::to_string(board_number_));
    for (const std::string &name : names) {
        write_file(name, flash_.data(), flash_.size());
        write_file(name + ".opt", &options_, 1);
    }
}

}  // namespace sim
