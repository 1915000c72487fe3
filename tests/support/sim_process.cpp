#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>

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
    proc_.setProgram(program.isEmpty() ? binary() : program);
    proc_.setArguments(args);
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
                port_ = line.mid(5).trimmed();
                return true;
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
