#pragma once
// Small helpers the end-to-end tests share: test images, whole-file reads and writes, the
// simulator's trace, and one simulator with one zvkisp-cli run over it.

#include "support/sim_process.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTemporaryDir;

namespace e2e {

// `size` bytes from a fixed pseudo-random sequence started at `seed`.
QByteArray pattern(int size, quint32 seed);
// The whole file; empty when it cannot be read.
QByteArray read_file(const QString& path);
// Writes `bytes` to `path` (replacing it); true when all of them were written.
bool write_file(const QString& path, const QByteArray& bytes);
// The file's non-empty lines (the simulator's trace).
QStringList read_lines(const QString& path);

// One simulator with a flash file and a trace in `dir`, and one zvkisp-cli run over it.
class SimCliRun {
public:
    explicit SimCliRun(QTemporaryDir& dir) : dir_(dir) {}
    ~SimCliRun();
    SimCliRun(const SimCliRun&) = delete;
    SimCliRun& operator=(const SimCliRun&) = delete;

    // Writes the image as image.bin into the folder and returns its path.
    QString write_binary(const QByteArray& bytes);
    QString flash_path() const;
    QString trace_path() const;
    QStringList trace() const { return read_lines(trace_path()); }

    bool start_sim(const QString& model, const QStringList& extra);
    // Starts `zvkisp-cli <command> <args>`; with trace_beeps the beeps are written to stderr.
    void start_cli(const QString& command, const QStringList& args, bool trace_beeps = true);
    // Waits for the CLI's end (kills it after timeout_ms; true when it ended by itself), collects its
    // output and gives the simulator time to write its flash.
    bool finish(int timeout_ms);
    // Waits until standard output (or standard error) holds `text`.
    bool wait_for(const QString& text, bool on_stderr, int timeout_ms);
    // SIGINT, as Ctrl-C in a terminal.
    void interrupt();
    QStringList lines() const { return out.split(QLatin1Char('\n')); }
    int beeps() const { return int(err.count(QStringLiteral("(beep)"))); }

    SimProcess sim;
    QProcess cli;
    QString out;   // carriage returns removed
    QString err;
    int exit_code = -1;

private:
    void collect();
    QTemporaryDir& dir_;
    QByteArray out_bytes_;
    QByteArray err_bytes_;
};

} // namespace e2e
