#pragma once
// Small helpers the end-to-end tests share: test images, whole-file reads and writes, the
// simulator's trace, and one simulator with one zvkisp-cli run over it.

#include "support/cli_process.h"
#include "support/sim_process.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace e2e {

// `size` bytes from a fixed pseudo-random sequence started at `seed`.
QByteArray pattern(int size, quint32 seed);
// The whole file; empty when it cannot be read.
QByteArray read_file(const QString& path);
// Writes `bytes` to `path` (replacing it); true when all of them were written.
bool write_file(const QString& path, const QByteArray& bytes);
// The file's non-empty lines (the simulator's trace).
QStringList read_lines(const QString& path);

// The frames the board received, from the trace's "rx" lines, as upper-case hex ("6A 00 06 80 F0 16"),
// without the tail of the greeting (0x7F bytes ahead of the first frame after a status frame) and
// without the junk the sim noted for bytes it read while the port showed other settings.
QStringList received_frames(const QStringList& trace);
// Expected bytes written from the protocol: hex digits (blanks optional), "XX*N" for N copies of a
// byte, "?" or "?*N" for bytes not compared here. Returns "6A 00 ?? 16"-style text.
QString hex_text(const QString& spec);
// Compares received frames with expected ones, frames separated by "|": "Nx <frame>" stands for a
// frame sent N times, "N+x <frame>" for N times or more. Fills two lists that are equal when the
// frames match (for QCOMPARE, which then shows the first difference).
void align_frames(const QStringList& got, const QString& expected, QStringList& got_out, QStringList& want_out);

// Keeps `dir` (traces, flash files) with `output` in it as output.txt when the running test has
// failed, or `always`, and says where.
void keep_folder(QTemporaryDir& dir, const QString& output = {}, bool always = false);

// keep_folder() for a test that may end early: when it goes out of scope.
struct KeepOnFailure {
    QTemporaryDir& dir;
    std::function<QString()> output;
    ~KeepOnFailure() { keep_folder(dir, output()); }
};

// One simulator with a flash file and a trace in a folder of its own, and one zvkisp-cli run over it.
class SimCliRun {
public:
    // A failed test keeps the folder (trace, flash, image, the tool's output) and says where.
    ~SimCliRun();

    // Writes the image as image.bin into the folder and returns its path.
    QString write_binary(const QByteArray& bytes);
    QString flash_path() const;
    QString trace_path() const;
    QStringList trace() const { return read_lines(trace_path()); }

    // The trace holds the bytes of every frame received (--trace-bytes). The line starts at the
    // baud the tool ends at (SimProcess::preset_line).
    bool start_sim(const QString& model, const QStringList& extra, int final_baud = 115200);
    // Starts `zvkisp-cli <command> <args>` with the beeps written to standard error.
    bool start_cli(const QString& command, const QStringList& args) { return cli.start(QStringList{command} + args, true); }
    // Waits for the CLI's end (kills it after timeout_ms; true when it ended by itself), then stops
    // the simulator (which first takes in what the tool sent, so a board that ran has its flash).
    bool finish(int timeout_ms, bool board_runs = true);

    QTemporaryDir dir;   // outlives the two processes
    SimProcess sim;
    CliProcess cli;
};

} // namespace e2e
