#pragma once
// Starts zvkisp-sim (the binary named by ZVKISP_SIM) for a test, reads the pseudo-terminal it
// announces on its first line ("PORT /dev/pts/N") and stops it with SIGTERM.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The simulator binary: $ZVKISP_SIM, else the build tree's sim/zvkisp-sim.
    static QString binary();
    static bool available();

    // Starts it (or `program`, which announces its port the same way) with `args`; true once the
    // PORT line came within timeout_ms and the line is preset.
    bool start(const QStringList& args = {}, int timeout_ms = 5000, const QString& program = {});
    // The port to open: for the simulator, a link of this test's own to the pseudo-terminal
    // (unless `args` name one with --link). Pseudo-terminal numbers come round again at once, and a
    // port's lock is named after the path opened: a tool that still holds a vanished board's
    // /dev/pts/N must not lock out another test's new board on the same number.
    QString port() const { return port_; }
    // Gives the pseudo-terminal the line settings `baud`,8,N,1 before the tool first opens it
    // (start() sets 115200, the usual final baud). The tool's port puts back, on every close, the
    // settings it found at its first open; the sim takes the settings when it reads. When the
    // machine is busy the sim may read the last frame (the run command) only after the close: with
    // the final baud preset, it still reads it right.
    bool preset_line(int baud) const;
    bool running() const { return proc_.state() != QProcess::NotRunning; }
    // SIGTERM, then waits; true when it ended on its own (exit code in exit_code()).
    bool stop(int timeout_ms = 5000);
    int exit_code() const { return proc_.exitCode(); }
    // Everything it printed so far (stdout after the PORT line, and stderr).
    QString output();
    QString error_output();
    QProcess& process() { return proc_; }

private:
    QProcess proc_;
    QTemporaryDir link_dir_;
    int starts_ = 0;
    QString port_;
    QByteArray out_;
    QByteArray err_;
};
