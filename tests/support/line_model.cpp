#include "support/line_model.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

QString LineRig::relay_binary()
{
    const QString env = qEnvironmentVariable("ZVKISP_LINE");
    return env.isEmpty() ? QStringLiteral(ZVKISP_BINARY_DIR "/bench/line/zvkisp-line") : env;
}

QString LineRig::shim_library()
{
    const QString env = qEnvironmentVariable("ZVKISP_LINE_SHIM");
    return env.isEmpty() ? QStringLiteral(ZVKISP_BINARY_DIR "/bench/line/libzvkisp-line-shim.so") : env;
}

bool LineRig::start(const QStringList& sim_args, int rx_latency_ms, bool realtime)
{
    const QStringList chrt{QStringLiteral("-f"), QStringLiteral("20")};
    realtime = realtime && ::geteuid() == 0 && QFileInfo::exists(QStringLiteral("/usr/bin/chrt"));
    auto launch = [&](SimProcess& p, const QString& program, const QStringList& args) {
        if (realtime)
            return p.start(chrt + QStringList{program} + args, 5000, QStringLiteral("/usr/bin/chrt"));
        return p.start(args, 5000, program);
    };
    if (rx_latency_ms < 0)
        return launch(sim, SimProcess::binary(), sim_args);
    if (!launch(sim, SimProcess::binary(), sim_args + QStringList{QStringLiteral("--instant-line")}))
        return false;
    return launch(relay, relay_binary(),
                  {QStringLiteral("--far"), sim.port(), QStringLiteral("--rx-latency-ms"), QString::number(rx_latency_ms)});
}

QProcessEnvironment LineRig::cli_environment(const QStringList& ports, const QString& usb, const QString& report)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), shim_library());
    env.insert(QStringLiteral("ZVKISP_LINE_PORTS"), ports.join(QLatin1Char(',')));
    env.insert(QStringLiteral("ZVKISP_LINE_REPORT"), report);
    if (!usb.isEmpty())
        env.insert(QStringLiteral("ZVKISP_LINE_USB"), usb);
    // A sanitized build wants its runtime first among the preloaded libraries.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               asan + (asan.isEmpty() ? QString() : QStringLiteral(":")) + QStringLiteral("verify_asan_link_order=0"));
    return env;
}

qint64 LineRig::report_sum(const QString& report, const QString& prefix)
{
    QFile f(report);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    qint64 sum = 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix.toUtf8()))
            sum += line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return sum;
}
