#include "cli/cli_session.h"

#include "device/handshake.h"
#include "isp/port_discovery.h"
#include "isp/port_names.h"
#include "isp/power_cycle.h"
#include "models/model_catalogue.h"
#include "settings/settings_store.h"

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

extern "C" void on_stop_signal(int)
{
    const char byte = 1;
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
        if (before_log_line)
            before_log_line();
        print_line(line);
        if (after_log_line)
            after_log_line();
    });
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
    parser.addOption(QCommandLineOption(QStringLiteral("port"),
                                        QStringLiteral("Serial device (a path), COM1..COM8, or auto (the only USB "
                                                       "serial adapter; see 'zvkisp-cli ports')."),
                                        QStringLiteral("DEVICE")));
    parser.addOption(QCommandLineOption(QStringLiteral("model"),
                                        QStringLiteral("MCU model name as in 'zvkisp-cli models'."),
                                        QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(QStringLiteral("power-cycle"),
                                        QStringLiteral("Switch the MCU off and on through a modem line before the "
                                                       "greeting: dtr, rts or none (default none)."),
                                        QStringLiteral("LINE"), QStringLiteral("none")));
    parser.addOption(QCommandLineOption(QStringLiteral("max-baud"),
                                        QStringLiteral("Highest baud to negotiate (1200..115200, default 115200)."),
                                        QStringLiteral("BAUD"), QStringLiteral("115200")));
}

bool CliSession::apply_common_options(const QCommandLineParser& parser, QString& error)
{
    const QString port_text = parser.value(QStringLiteral("port"));
    if (port_text.isEmpty()) {
        error = QStringLiteral("--port is required");
        return false;
    }
    const QString model_name = parser.value(QStringLiteral("model"));
    if (model_name.isEmpty()) {
        error = QStringLiteral("--model is required");
        return false;
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
    while (::read(g_signal_pipe[0], buf, sizeof buf) > 0) {
    }
#endif
    interrupted_ = true;
    emit interrupt_received();
    if (stop_bench_on_interrupt)
        bench.stop_run.comStop_Download_Click();
}

void CliSession::calibrate()
{
    SettingsStore store;
    if (!bench.link.adopt_loops_per_ms(store.loops_per_ms())) {
        bench.link.calibrate_delay_loop();
        store.set_loops_per_ms(bench.link.loops_per_ms);
    }
}

void CliSession::report_port_error() const
{
    const QString reason = bench.link.last_open_error();
    if (!reason.isEmpty())
        std::fprintf(stderr, "zvkisp-cli: %s\n", qPrintable(reason));
}

bool CliSession::log_has_line(const QString& line) const
{
    return bench.log.lines().contains(line);
}
