#pragma once
// Runs zvkisp-cli (the binary named by ZVKISP_CLI) for an end-to-end test: collects its output
// while it runs, waits for a text to appear, interrupts it as Ctrl-C does, and waits for its end.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class CliProcess {
public:
    CliProcess() = default;
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // $ZVKISP_CLI, else the build tree's src/zvkisp-cli.
    static QString binary();
    static bool available();

    // With trace_beeps every beep is written to standard error as "(beep)".
    bool start(const QStringList& args, bool trace_beeps = false);
    // Waits until standard output (standard error) holds `text` (false when the process ended
    // first or timeout_ms passed).
    bool wait_for_output(const QString& text, int timeout_ms) { return wait_for(false, text, timeout_ms); }
    bool wait_for_error(const QString& text, int timeout_ms) { return wait_for(true, text, timeout_ms); }
    // SIGINT, as Ctrl-C in a terminal.
    void interrupt();
    // Waits for the end; kills it after timeout_ms. True when it ended by itself.
    bool finish(int timeout_ms);

    bool crashed() const { return proc_.exitStatus() != QProcess::NormalExit; }
    // The exit status; -1 after a crash.
    int exit_code() const { return crashed() ? -1 : proc_.exitCode(); }
    QString out();            // standard output so far, carriage returns removed
    QByteArray out_bytes();   // ... as it came
    QString err();
    QStringList lines() { return out().split(QLatin1Char('\n')); }
    int beeps() { return int(err().count(QStringLiteral("(beep)"))); }
    QProcess& process() { return proc_; }

private:
    bool wait_for(bool on_stderr, const QString& text, int timeout_ms);
    void collect();
    QProcess proc_;
    QTemporaryDir data_;
    QByteArray out_;
    QByteArray err_;
};
