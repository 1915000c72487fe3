#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

SimProcess::~SimProcess()
{
    if (running()) {
        stop(2000);
        if (running()) {
            proc_.kill();
            proc_.waitForFinished(2000);
        }
    }
}

QString SimProcess::binary()
{
    const QString env = qEnvironmentVariable("ZVKISP_SIM");
    if (!env.isEmpty())
        return env;
    return QStringLiteral(ZVKISP_BINARY_DIR "/sim/zvkisp-sim");
}

bool SimProcess::available()
{
    const QFileInfo fi(binary());
    return fi.exists() && fi.isExecutable();
}

bool SimProcess::start(const QStringList& args, int timeout_ms, const QString& program)
{
    port_.clear();
    out_.clear();
    err_.clear();
    // The simulator is opened through a link of the test's own; another program (the line relay)
    // names its own port.
    QString link;
    const int at = int(args.indexOf(QStringLiteral("--link")));
    if (at >= 0)
        link = args.value(at + 1);
    else if (program.isEmpty())
        link = link_dir_.filePath(QStringLiteral("port%1").arg(++starts_));
    proc_.setProgram(program.isEmpty() ? binary() : program);
    proc_.setArguments(at >= 0 || link.isEmpty() ? args : args + QStringList{QStringLiteral("--link"), link});
    // The board is hardware and does not fall behind when the machine is busy. A sim that is not
    // scheduled for a while reads late: the tool may have emptied its output queue by then (it
    // clears both queues before each synchronisation) or closed the port. Where the system allows
    // it, the sim runs at a higher priority than the tool.
    proc_.setChildProcessModifier([] { (void)::setpriority(PRIO_PROCESS, 0, -5); });
    proc_.start();
    if (!proc_.waitForStarted(timeout_ms))
        return false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeout_ms) {
        if (!proc_.canReadLine() && !proc_.waitForReadyRead(int(qMax<qint64>(1, timeout_ms - t.elapsed())))) {
            if (proc_.state() == QProcess::NotRunning)
                break;
            continue;
        }
        while (proc_.canReadLine()) {
            const QString line = QString::fromLocal8Bit(proc_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("PORT "))) {
                port_ = link.isEmpty() ? line.mid(5).trimmed() : link;
                return preset_line(115200);
            }
            out_ += line.toLocal8Bit() + '\n';
        }
    }
    err_ += proc_.readAllStandardError();
    return false;
}

bool SimProcess::stop(int timeout_ms)
{
    if (!running())
        return true;
    ::kill(pid_t(proc_.processId()), SIGTERM);
    const bool ended = proc_.waitForFinished(timeout_ms);
    return ended && proc_.exitStatus() == QProcess::NormalExit;
}

QString SimProcess::output()
{
    out_ += proc_.readAllStandardOutput();
    return QString::fromLocal8Bit(out_);
}

QString SimProcess::error_output()
{
    err_ += proc_.readAllStandardError();
    return QString::fromLocal8Bit(err_);
}

bool SimProcess::preset_line(int baud) const
{
    static const std::pair<int, speed_t> kSpeeds[] = {{1200, B1200},   {9600, B9600},   {19200, B19200},
                                                      {38400, B38400}, {57600, B57600}, {115200, B115200}};
    speed_t speed = 0;
    for (const auto& [value, code] : kSpeeds)
        speed = value == baud ? code : speed;
    const int fd = ::open(QFile::encodeName(port_).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || speed == 0)
        return fd >= 0 && ::close(fd) != 0;
    termios t{};
    const bool ok = ::tcgetattr(fd, &t) == 0 && (::cfmakeraw(&t), ::cfsetspeed(&t, speed) == 0) &&
                    ::tcsetattr(fd, TCSANOW, &t) == 0;
    ::close(fd);
    return ok;
}
