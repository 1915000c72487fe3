#pragma once
// What every command that talks to an MCU shares: the real serial port, one Workbench over it,
// the message log printed to standard output line by line, the common options (--port, --model,
// --max-baud), and Ctrl-C as the Stop button.

#include "cli/cli_dialogs.h"
#include "device/workbench.h"
#include "base/log_follower.h"
#include "isp/qt_serial_port.h"

#include <QCommandLineOption>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QCommandLineParser;
class QSocketNotifier;

// The real serial port, counting the bytes that came back (whether a board answered at all).
class CliSerialPort : public QtSerialPort {
public:
    QByteArray read(qint64 max = 0) override
    {
        QByteArray bytes = QtSerialPort::read(max);
        received += bytes.size();
        return bytes;
    }
    qint64 received = 0;
};

class CliSession : public QObject {
    Q_OBJECT
public:
    CliSession();
    ~CliSession() override;

    // Adds --port (a path, COMn or auto), --model, --power-cycle and --max-baud to a parser.
    static void add_common_options(QCommandLineParser& parser);
    // Applies them: port device, model selection, baud limit. False (and `error` says why) for a
    // missing port or model, an unknown model name or a baud not offered by the list.
    bool apply_common_options(const QCommandLineParser& parser, QString& error);

    // Ctrl-C (and SIGTERM) press the Stop button from now on.
    void install_stop_on_interrupt();
    bool interrupted() const { return interrupted_; }
    // Whether Ctrl-C also presses this session's own Stop button (not when other workbenches,
    // e.g. a gang run's, do the work and only listen to interrupt_received).
    bool stop_bench_on_interrupt = true;

    // Run around every log line printed (a progress bar on the terminal steps aside for it).
    std::function<void()> before_log_line, after_log_line;

    // The busy-wait calibration: the figure kept in the settings store when it is plausible for
    // this machine, else measured now and kept.
    void calibrate();

    // Names the port and the reason on standard error when the last open failed.
    void report_port_error() const;

    // True when the log holds `line` as one of its lines.
    bool log_has_line(const QString& line) const;

    CliDialogs dialogs;
    CliSerialPort port;
    Workbench bench;

signals:
    void interrupt_received();

private:
    void on_interrupt();

    LogFollower follower_;          // the log's lines, each printed once
    bool interrupted_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The baud values cobBaudMax offers (115200 down to 1200).
const QList<qint32>& cli_baud_choices();
