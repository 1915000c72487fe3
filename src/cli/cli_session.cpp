#include "cli/cli_session.h"

#include "cli/model_auto.h"
#include "device/handshake.h"
#include "isp/port_advice.h"
#include "isp/port_discovery.h"
#include "isp/port_names.h"
#include "isp/power_cycle.h"
#include "models/model_catalogue.h"
#include "settings/settings_store.h"
#include "base/log_texts.h"

#include <QCommandLineParser>
#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int g_signal_pipe[2] = {-1, -1};

extern "C" void on_stop_signal(int number)
{
    const char byte = char(number);
    if (g_signal_pipe[1] >= 0) {
        const ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
        (void)written;
    }
}
#endif

void print_line(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

const QList<qint32>& cli_baud_choices()
{
    static const QList<qint32> values = {115200, 57600, 38400, 28800, 19200, 14400, 12800, 11520, 9600, 4800, 2400, 1200};
    return values;
}

CliSession::CliSession() : bench(&port, &dialogs), follower_(bench.log)
{
    connect(&follower_, &LogFollower::line, this, [this](const QString& line) {
        if (port.trace)
            port.trace->line("LOG", line);
        if (quiet)
            return;
        if (before_log_line)
            before_log_line();
        print_line(line);
        if (after_log_line)
            after_log_line();
    });
    connect(&port, &SerialPort::failed, this, [this] { port_vanished_ = true; });
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        timed_out_ = true;
        std::fprintf(stderr, "zvkisp-cli: no answer from the MCU within %d s (--timeout) / %d 秒内 MCU 无应答\n",
                     timeout_.interval() / 1000, timeout_.interval() / 1000);
        stop_now();
    });
    port.greeting_started = [this] {
        if (timeout_.interval() > 0 && !timeout_.isActive())
            timeout_.start();
    };
    port.answered = [this] { timeout_.stop(); };
}

CliSession::~CliSession()
{
    bench.link.close_port_on_exit();
#ifdef Q_OS_UNIX
    if (notifier_) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        notifier_.reset();
        ::close(g_signal_pipe[0]);
        ::close(g_signal_pipe[1]);
        g_signal_pipe[0] = g_signal_pipe[1] = -1;
    }
#endif
}

void CliSession::add_common_options(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("port"),
         QStringLiteral("Serial device (a path), COM1..COM8, or auto (the only USB serial adapter; see 'zvkisp-cli "
                        "ports')."),
         QStringLiteral("DEVICE")},
        {QStringLiteral("model"),
         QStringLiteral("MCU model name as in 'zvkisp-cli models'; auto (download and connect on one port) picks it "
                        "from the identity the chip reports, before anything is written to it."),
         QStringLiteral("NAME")},
        {QStringLiteral("power-cycle"),
         QStringLiteral("Switch the MCU off and on through a modem line before the greeting: dtr, rts or none "
                        "(default none)."),
         QStringLiteral("LINE"), QStringLiteral("none")},
        {QStringLiteral("max-baud"), QStringLiteral("Highest baud to negotiate (1200..115200, default 115200)."),
         QStringLiteral("BAUD"), QStringLiteral("115200")},
        {QStringLiteral("timeout"),
         QStringLiteral("Give up (exit status 5) when the MCU has not answered SECONDS after the greeting (or the "
                        "application routine's sync) started (default: wait)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("trace"),
         QStringLiteral("Write every byte sent and received, with a time stamp in microseconds, and the log lines "
                        "to FILE."),
         QStringLiteral("FILE")},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         QStringLiteral("Print only errors and one verdict line per board.")},
    });
}

bool CliSession::apply_common_options(const QCommandLineParser& parser, QString& error)
{
    const QString port_text = parser.value(QStringLiteral("port"));
    if (port_text.isEmpty()) {
        error = QStringLiteral("--port is required");
        return false;
    }
    QString model_name = parser.value(QStringLiteral("model"));
    if (model_name.isEmpty()) {
        error = QStringLiteral("--model is required");
        return false;
    }
    if (model_name == QLatin1String("auto")) {
        if (!model_auto_allowed) {
            error = QStringLiteral("--model auto is taken by download and connect on one port only");
            return false;
        }
        model_auto_ = true;
        model_name = QString::fromLatin1(kAutoModelBeforeIdentity);
        bench.handshake.identified = [this] { return pick_auto_model(); };
    }
    if (!McuModelTable::find(model_name)) {
        error = QStringLiteral("unknown model '%1' (see 'zvkisp-cli models')").arg(model_name);
        return false;
    }
    bool ok = false;
    const qint32 max_baud = parser.value(QStringLiteral("max-baud")).toInt(&ok);
    if (!ok || !cli_baud_choices().contains(max_baud)) {
        error = QStringLiteral("--max-baud must be one of 115200, 57600, 38400, 28800, 19200, 14400, 12800, "
                               "11520, 9600, 4800, 2400, 1200");
        return false;
    }
    PowerCycle power = PowerCycle::None;
    if (!power_cycle::parse(parser.value(QStringLiteral("power-cycle")), power)) {
        error = QStringLiteral("--power-cycle must be dtr, rts or none");
        return false;
    }
    QString device;
    if (port_text.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        if (!pick_auto_port(serial_devices(), device, error))
            return false;
    } else {
        device = resolve_port_device(port_text);
    }
    if (parser.isSet(QStringLiteral("timeout"))) {
        const uint seconds = parser.value(QStringLiteral("timeout")).toUInt(&ok);
        if (!ok || seconds < 1 || seconds > 86400) {
            error = QStringLiteral("--timeout takes a number of seconds from 1 to 86400");
            return false;
        }
        timeout_.setInterval(int(seconds) * 1000);
    }
    if (parser.isSet(QStringLiteral("trace"))) {
        auto trace = std::make_unique<TraceFile>();
        if (!trace->open(parser.value(QStringLiteral("trace")), error))
            return false;
        port.trace = std::move(trace);
    }
    quiet = parser.isSet(QStringLiteral("quiet"));
    bench.link.set_port_device(device);
    bench.choices.max_baud = max_baud;
    bench.choices.power_cycle = power;
    bench.select_model(model_name);
    return true;
}

void CliSession::install_stop_on_interrupt()
{
#ifdef Q_OS_UNIX
    if (notifier_)
        return;
    if (::pipe(g_signal_pipe) != 0)
        return;
    for (int fd : g_signal_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CliSession::on_interrupt);
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
#endif
}

void CliSession::on_interrupt()
{
#ifdef Q_OS_UNIX
    char buf[16];
    while (::read(g_signal_pipe[0], buf, sizeof buf) > 0)
        if (signal_ == 0)
            signal_ = buf[0];
#endif
    stop_now();
}

void CliSession::stop_now()
{
    if (port.trace)
        port.trace->line("#", timed_out_ ? QStringLiteral("time-out") : QStringLiteral("signal %1").arg(signal_));
    stopped_in_hand_ = port.board_answered();
    timeout_.stop();
    emit interrupt_received();
    if (stop_bench_on_interrupt)
        bench.runner.stop();
}

void CliSession::calibrate()
{
    SettingsStore store;
    if (!bench.link.adopt_loops_per_ms(store.loops_per_ms())) {
        bench.link.calibrate_delay_loop();
        store.set_loops_per_ms(bench.link.loops_per_ms());
    }
}

void CliSession::report_port_error() const
{
    if (port_vanished_)
        std::fprintf(stderr, "zvkisp-cli: the port %s vanished / 串口 %s 已断开\n",
                     qPrintable(bench.link.port_device()), qPrintable(bench.link.port_device()));
    const QString reason = bench.link.last_open_error();
    if (reason.isEmpty())
        return;
    std::fprintf(stderr, "zvkisp-cli: %s\n", qPrintable(reason));
    const QString advice = port_advice::for_port(port, bench.link.port_device());
    if (!advice.isEmpty())
        std::fprintf(stderr, "zvkisp-cli: %s\n", advice.toUtf8().constData());
}

bool CliSession::pick_auto_model()
{
    const AutoModel pick = pick_model(bench.status, bench.results);
    if (pick.name.isEmpty()) {
        std::fprintf(stderr, "zvkisp-cli: --model auto: %s; name the model with --model / 无法自动确定型号, 请用 --model "
                             "指定型号\n", pick.why.toUtf8().constData());
        refused_ = ExitStatus::Usage;
        return false;
    }
    const QString same = pick.same.isEmpty() ? QString()
                                             : QStringLiteral(" (programmed as %1 alike)").arg(pick.same.join(QStringLiteral(", ")));
    std::fprintf(stderr, "zvkisp-cli: --model auto: %s%s / 自动选择型号 %s\n", qPrintable(pick.name), qPrintable(same),
                 qPrintable(pick.name));
    bench.select_model(pick.name);
    return !model_picked || model_picked();
}

ExitStatus CliSession::status_after(bool ok) const
{
#ifdef Q_OS_UNIX
    if (signal_ == SIGTERM)
        return ExitStatus::Terminated;
#endif
    if (signal_ != 0)
        return ExitStatus::Interrupted;
    if (timed_out_)
        return ExitStatus::Timeout;
    if (!ok && refused_ != ExitStatus::Ok)
        return refused_;
    if (!ok && (port_vanished_ || !bench.link.last_open_error().isEmpty() ||
                log_has_line(LogText::port_open_failed())))
        return ExitStatus::Port;
    return ok ? ExitStatus::Ok : ExitStatus::BoardFailed;
}

void CliSession::print_verdict(bool ok, const QString& serial) const
{
    const QByteArray line = QStringLiteral("port=%1 serial=%2 result=%3\n")
                                .arg(bench.link.port_device(), serial.isEmpty() ? QStringLiteral("-") : serial,
                                     ok ? QStringLiteral("ok") : QStringLiteral("failed"))
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    if (port.trace)
        port.trace->line("#", QString::fromUtf8(line).trimmed());
}

bool CliSession::log_has_line(const QString& line) const
{
    return bench.log.lines().contains(line);
}
