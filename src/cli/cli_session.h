#pragma once
// What every command that talks to an MCU shares: the real serial port, one Workbench over it,
// the message log printed to standard output line by line, the common options (--port, --model,
// --max-baud, --timeout, --trace, --quiet), Ctrl-C and SIGTERM as the Stop button, and the exit
// status of a board.

#include "cli/cli_dialogs.h"
#include "cli/cli_port.h"
#include "cli/exit_status.h"
#include "device/workbench.h"
#include "base/log_follower.h"

#include <QCommandLineOption>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QCommandLineParser;
class QSocketNotifier;

class CliSession : public QObject {
    Q_OBJECT
public:
    CliSession();
    ~CliSession() override;

    // Adds --port (a path, COMn or auto), --model, --power-cycle, --max-baud, --timeout, --trace
    // and --quiet to a parser.
    static void add_common_options(QCommandLineParser& parser);
    // Applies them: port device, model selection, baud limit, time-out, trace file. False (and
    // `error` says why) for a missing port or model, an unknown model name, a baud not offered by
    // the list, a time-out that is not a positive number or a trace file that cannot be written.
    bool apply_common_options(const QCommandLineParser& parser, QString& error);

    // Ctrl-C (and SIGTERM) press the Stop button from now on.
    void install_stop_on_interrupt();
    bool interrupted() const { return signal_ != 0; }
    // The --timeout watch ran out: no answer within the time since the greeting started.
    bool timed_out() const { return timed_out_; }
    // Whether the MCU had answered since the last board ended when Ctrl-C, SIGTERM or the time-out
    // came (a board was in hand, not a wait for the next one).
    bool stopped_with_board_in_hand() const { return stopped_in_hand_; }
    // A board is done: what comes back from now on belongs to the next one.
    void board_done() { port.no_board_answered(); }
    // The exit status of a run whose board ended `ok`: a signal, the time-out or a port that
    // could not be opened or vanished come first.
    ExitStatus status_after(bool ok) const;
    // --quiet: the log lines are not printed; only errors and one verdict line per board.
    bool quiet = false;
    // The verdict line of a board on standard output: port, serial number (or "-"), ok/failed.
    void print_verdict(bool ok, const QString& serial = QString()) const;
    // --model auto, for the commands that allow it: the model is picked from the identity the chip
    // reports when it answers, before anything is sent to it; model_picked then runs (false
    // refuses the board, with the status given to refuse()).
    bool model_auto_allowed = false;
    bool model_auto() const { return model_auto_; }
    std::function<bool()> model_picked;
    // The board is refused before anything was written to it; the run ends with `status`.
    void refuse(ExitStatus status) { refused_ = status; }
    // Whether Ctrl-C also presses this session's own Stop button (not when other workbenches,
    // e.g. a gang run's, do the work and only listen to interrupt_received).
    bool stop_bench_on_interrupt = true;

    // Run around every log line printed (a progress bar on the terminal steps aside for it).
    std::function<void()> before_log_line, after_log_line;

    // The busy-wait calibration: the figure kept in the settings store when it is plausible for
    // this machine, else measured now and kept.
    void calibrate();

    // Names the port, the reason and what to do on standard error when the last open failed or
    // the port vanished.
    void report_port_error() const;

    // True when the log holds `line` as one of its lines.
    bool log_has_line(const QString& line) const;

    CliDialogs dialogs;
    CliSerialPort port;
    Workbench bench;

signals:
    // Ctrl-C, SIGTERM or the --timeout watch: stop what runs.
    void interrupt_received();

private:
    void on_interrupt();
    void stop_now();
    bool pick_auto_model();

    LogFollower follower_;          // the log's lines, each printed once
    int signal_ = 0;                // SIGINT or SIGTERM once one came
    bool timed_out_ = false;
    bool stopped_in_hand_ = false;
    bool port_vanished_ = false;
    bool model_auto_ = false;
    ExitStatus refused_ = ExitStatus::Ok;
    QTimer timeout_;                // the --timeout watch
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The maximum baud values the window offers (115200 down to 1200).
const QList<qint32>& cli_baud_choices();
