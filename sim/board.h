// The board: power, the MCU's UART, its boot loader, the optional user application with its
// in-application download routine, and the flash.
#pragma once

#include "config.h"
#include "frames.h"
#include "line.h"
#include "scheduler.h"
#include "trace.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace sim {

class Board {
public:
    Board(const Config &cfg, Pty &pty, Scheduler &sched, Trace &trace);

    void start();
    // Bytes the tool sent; the line settings are sampled now.
    void on_input(const uint8_t *data, size_t size);
    bool finished() const { return finished_; }
    // The power line (--power-control): off swallows everything and loses the chip's state; on
    // powers the board up again (the same chip until it has run, then the next, fresh board).
    void set_power(bool on);

private:
    enum class State {
        Off,           // no power: everything is swallowed
        Application,   // user application at its own format, watching for the trigger
        Resetting,     // trigger seen, the application resets into the boot loader shortly
        Greeting,      // boot loader after reset, waiting for 0x7F at 1200 baud
        Command,       // boot loader answering command frames
        Routine,       // in-application download routine (custom frames)
        Running,       // user program started after the download: the line is ignored
    };
    enum class Sent { Ok, Garbled, Suppressed };

    void power_on(bool fresh = true);
    void enter_application();
    void enter_boot_loader();
    void enter_routine();
    void board_done(const char *how);
    void vanish();

    void drain();
    void handle_byte(uint8_t b);
    void handle_parsed(const ParsedFrame &f);
    void handle_command(const ParsedFrame &f);
    void handle_custom(const ParsedFrame &f);
    void arm_frame_timeout();
    // A command or custom frame has begun and is not complete yet.
    bool frame_open() const;
    bool count_accepted_frame(uint8_t code);

    // Runs `action` after `delay_us` microseconds (plus the configured reply delay and lateness)
    // while the chip is busy; bytes that arrive meanwhile wait in the queue.
    void busy_then(int64_t delay_us, std::function<void()> action);
    void when_tool_listens_at(double baud, std::function<void()> action);
    void answer(std::vector<uint8_t> frame, int64_t delay_us = 0);
    Sent transmit(std::vector<uint8_t> frame, bool exempt_from_faults);
    bool send_line(const std::vector<uint8_t> &bytes);
    void note_garbled(const char *direction, const ToolFormat &tool);

    void send_status_frame();
    std::vector<uint8_t> status_frame() const;
    double negotiated_baud(uint8_t hi, uint8_t lo) const;
    void program(uint32_t addr, const uint8_t *data, size_t n);
    void erase(size_t bytes);
    void write_flash_out();
    void reject(const std::string &reason);

    const Config &cfg_;
    Pty &pty_;
    Scheduler &sched_;
    Trace &trace_;
    std::mt19937 rng_;
    Garbler garbler_;

    State state_ = State::Off;
    uint64_t generation_ = 0;  // bumps at every power-on; stale timed actions check it
    int board_number_ = 0;
    uint64_t start_timer_ = 0;   // the first power-on after --power-on-delay
    bool board_ran_ = false;     // the current board has started its user program
    bool finished_ = false;
    bool vanished_ = false;

    SerialFormat uart_{1200, 'N', 8, 1};
    bool check_framing_ = false;  // parity and data bits matter (application and routine)
    bool prefix_active_ = false;
    std::vector<uint8_t> flash_;
    uint8_t options_ = 0;

    // When the last received byte has fully arrived on a real wire at the tool's baud (the
    // pseudo-terminal hands bytes over at once; the chip cannot answer before that moment).
    double rx_wire_end_ms_ = 0;

    std::deque<uint8_t> pending_;
    bool busy_ = false;
    int sync_count_ = 0;
    std::vector<uint8_t> trigger_window_;
    CommandParser command_parser_;
    CustomParser custom_parser_;
    uint64_t frame_timer_ = 0;
    std::vector<uint8_t> rx_bytes_;  // --trace-bytes: received since the last frame ended

    long accepted_frames_ = 0;
    long vanish_code_frames_ = 0;   // accepted frames of cfg_.vanish_on_code
    bool mute_noted_ = false;
    std::string last_rx_note_;
};

}  // namespace sim
