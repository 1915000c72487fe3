#pragma once
// Runs zvkisp-cli (the binary named by ZVKISP_CLI) for an end-to-end test: collects its output
// while it runs, waits for a text to appear, interrupts it as Ctrl-C does, and waits for its end.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class CliProcess {
public:
    CliProcess() = default;
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // $ZVKISP_CLI, else the build tree's src/zvkisp-cli.
    static QString binary();
    static bool available();

    bool start(const QStringList& args);
    // Waits until standard output holds `text` (false when the process ended first or timeout_ms passed).
    bool wait_for_output(const QString& text, int timeout_ms);
    // SIGINT, as Ctrl-C in a terminal.
    void interrupt();
    // Waits for the end; kills it after timeout_ms. True when it ended by itself.
    bool finish(int timeout_ms);

    bool crashed() const { return proc_.exitStatus() != QProcess::NormalExit; }
    int exit_code() const { return proc_.exitCode(); }
    QString out();            // standard output so far, carriage returns removed
    QString err();
    QStringList lines() { return out().split(QLatin1Char('\n')); }
    QProcess& process() { return proc_; }

private:
    void collect();
    QProcess proc_;
    QByteArray out_;
    QByteArray err_;
};
