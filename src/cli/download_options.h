#pragma once
// Pieces the downloading commands (download, custom-download, send-user-code, softice) share:
// the usage error, the FILE argument, the buffer options and loading the program image into the
// workbench as the window loads it.

#include "image/file_loader.h"
#include "image/serial_number.h"

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;
class UserDialogs;
class Workbench;
struct SelectedModel;

// Prints "<command>: <text>" on standard error; returns the usage exit status (2).
int cli_usage_error(const char* command, const QString& text);

// Exit status for a program file that is refused.
constexpr int kExitBadInput = 4;

// The single FILE argument. False with a reason.
bool single_file_argument(const QCommandLineParser& parser, QString& file, QString& error);

// --force: load the program file as the window does, without the strict check.
QCommandLineOption force_option();

// --fill (FF or 00), --start (hexadecimal buffer start address) and --force.
struct BufferOptions {
    bool fill_ff = false;
    QString start;
    bool force = false;
};
bool parse_buffer_options(const QCommandLineParser& parser, BufferOptions& out, QString& error);

// The window's serial number and file loader over a workbench's image.
struct BenchImageTools {
    BenchImageTools(Workbench& bench, UserDialogs* dialogs);
    SerialNumber serial;
    FileLoader loader;
};

// The strict check of the program file for the selected model and buffer start (with --force only
// that it is a file): 0 when it may be loaded; else the reason is on standard error and the
// result is kExitBadInput. Runs before any port is opened.
int check_program_input(const char* command, const QString& path, const SelectedModel& model,
                        const BufferOptions& options);

// check_program_input, then clears the buffer and loads `path` with the window's load path
// (following address records unless --force). 0 when the loader finished (the image is then
// marked loaded), else kExitBadInput with the reason on standard error.
int load_into_bench(const char* command, Workbench& bench, BenchImageTools& tools, const BufferOptions& options,
                    const QString& path);
