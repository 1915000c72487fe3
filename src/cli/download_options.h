#pragma once
// Pieces the downloading commands (download, custom-download, send-user-code, softice) share:
// the usage error, the FILE argument, the buffer options and loading the program image into the
// workbench as the window loads it.

#include "image/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"

#include <QFileInfo>
#include <QString>

class QCommandLineParser;
class UserDialogs;
class Workbench;

// Prints "<command>: <text>" on standard error; returns the usage exit status (2).
int cli_usage_error(const char* command, const QString& text);

// The single FILE argument, which must be a readable file. False with a reason.
bool single_readable_file(const QCommandLineParser& parser, QFileInfo& file, QString& error);

// --fill (FF or 00) and --start (hexadecimal buffer start address).
struct BufferOptions {
    bool fill_ff = false;
    QString start;
};
bool parse_buffer_options(const QCommandLineParser& parser, BufferOptions& out, QString& error);

// The window's viewer, serial number and file loader over a workbench's image.
struct BenchImageTools {
    BenchImageTools(Workbench& bench, UserDialogs* dialogs);
    BufferView view;
    SerialNumber serial;
    FileLoader loader;
};

// Clears the buffer and loads `file` with the window's load path. True when the loader finished
// (the image is then marked loaded).
bool load_into_bench(Workbench& bench, BenchImageTools& tools, const BufferOptions& options, const QFileInfo& file);
