#pragma once
// Small helpers the end-to-end tests share: test images, whole-file reads and writes, the
// simulator's trace, and one simulator with one zvkisp-cli run over it.

#include "support/cli_process.h"
#include "support/sim_process.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace e2e {

// `size` bytes from a fixed pseudo-random sequence started at `seed`.
QByteArray pattern(int size, quint32 seed);
// The whole file; empty when it cannot be read.
QByteArray read_file(const QString& path);
// Writes `bytes` to `path` (replacing it); true when all of them were written.
bool write_file(const QString& path, const QByteArray& bytes);
// The file's non-empty lines (the simulator's trace).
QStringList read_lines(const QString& path);

// One simulator with a flash file and a trace in a folder of its own, and one zvkisp-cli run over it.
class SimCliRun {
public:

    // Writes the image as image.bin into the folder and returns its path.
    QString write_binary(const QByteArray& bytes);
    QString flash_path() const;
    QString trace_path() const;
    QStringList trace() const { return read_lines(trace_path()); }

    bool start_sim(const QString& model, const QStringList& extra);
    // Starts `zvkisp-cli <command> <args>` with the beeps written to standard error.
    bool start_cli(const QString& command, const QStringList& args) { return cli.start(QStringList{command} + args, true); }
    // Waits for the CLI's end (kills it after timeout_ms; true when it ended by itself), then stops
    // the simulator (which first takes in what the tool sent, so a board that ran has its flash).
    bool finish(int timeout_ms);

    QTemporaryDir dir;   // outlives the two processes
    SimProcess sim;
    CliProcess cli;
};

} // namespace e2e
