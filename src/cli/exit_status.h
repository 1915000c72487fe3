#pragma once
// The exit statuses of zvkisp-cli: one table for every command, printed in every --help.

#include <QString>

enum class ExitStatus : int {
    Ok = 0,            // the command did what it was asked; a batch: every board it programmed is good
    BoardFailed = 1,   // the board failed (connect, erase, program, verify, options)
    Usage = 2,         // bad arguments, a setting the tool refuses, a chip --model auto cannot tell
    Port = 3,          // the port cannot be opened, or vanished
    BadInput = 4,      // the program file is refused; nothing was written to any chip
    Timeout = 5,       // timed out waiting for the MCU (--timeout)
    Interrupted = 130, // SIGINT (Ctrl-C): the port is released, the board in hand is not good
    Terminated = 143,  // SIGTERM: as SIGINT
};

constexpr int exit_code(ExitStatus status) { return int(status); }

// The table as the help prints it (lines of at most 80 columns, ending in a line break).
QString exit_status_help();
