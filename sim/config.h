// Command-line configuration of zvkisp-sim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Serial format as "BAUD,P,D,S" (e.g. 38400,E,8,1).
struct SerialFormat {
    double baud = 1200;
    char parity = 'N';  // 'N', 'E', 'O', 'M', 'S'
    int data_bits = 8;
    int stop_bits = 1;
};

bool parse_serial_format(const std::string &text, SerialFormat *out);
std::string format_text(const SerialFormat &f);

struct Config {
    // Line and process.
    std::string link_path;
    std::string trace_path;
    bool trace_bytes = false;  // also trace the bytes of every frame received, as hex
    std::string flash_out;
    std::string power_control_path;  // FIFO carrying "on"/"off" lines for the board's power
    double baud_tolerance_pct = 3.0;
    int power_on_delay_ms = 0;
    int boards = 1;
    int next_board_delay_ms = 500;
    int exit_grace_ms = 500;

    // The chip.
    std::string model_name;  // catalogue name, or empty for a generic chip of `family`
    int family = 2;
    double clock_hz = 11059200.0;
    double clock_drift_pct = 0.0;
    char variant = 'C';
    uint8_t version = 0x28;
    uint8_t options = 0xFF;
    bool has_identity = true;
    uint8_t identity = 0xF1;
    uint8_t sub_identity = 0x10;
    bool has_extended = true;
    uint8_t extended = 0x00;
    int status_length = 28;    // length byte of the status frame (24..28)
    uint32_t flash_size = 0;   // bytes accepted by the program command, from address 0
    bool ignore_options = false;
    bool short_program_ack = false;

    // Boot-loader timing.
    int erase_ms = 50;
    int program_us = 200;  // writing one program frame into flash; a chip never echoes sooner
    int switch_delay_ms = 30;
    int reply_delay_ms = 0;
    int switch_wait_ms = 400;
    bool instant_line = false;  // answer as soon as a frame is read, without waiting out its wire time   // longest wait for the tool to reach a new baud before answering
    int frame_timeout_ms = 250;

    // Application mode and the in-application download routine.
    bool application = false;
    SerialFormat app_format{38400, 'N', 8, 1};
    std::vector<uint8_t> trigger;
    bool demo_routine = false;
    SerialFormat demo_format{38400, 'N', 8, 1};
    uint16_t demo_id = 0;
    int app_reset_ms = 1000;

    // Faults.
    uint32_t seed = 1;
    double drop_reply = 0.0;  // probability 0..1
    double corrupt = 0.0;     // probability 0..1
    int late_min_ms = 0;
    int late_max_ms = 0;
    long mute_after = -1;    // accepted frames before the chip stops answering; -1 = never
    long vanish_after = -1;  // accepted frames before the line disappears; -1 = never

    // Derived.
    bool prefix_mode() const;
    int reserved_top_size() const;
};

// Parses argv into cfg. Returns 0 to go on, 1 when the program should exit successfully
// (help, list), 2 on an error (message already printed to stderr).
int parse_command_line(int argc, char **argv, Config *cfg);

}  // namespace sim
