#include "support/cli_process.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <csignal>

CliProcess::~CliProcess()
{
    if (proc_.state() != QProcess::NotRunning) {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
}

QString CliProcess::binary()
{
    const QString env = qEnvironmentVariable("ZVKISP_CLI");
    return env.isEmpty() ? QStringLiteral(ZVKISP_BINARY_DIR "/src/zvkisp-cli") : env;
}

bool CliProcess::available()
{
    const QFileInfo fi(binary());
    return fi.exists() && fi.isExecutable();
}

bool CliProcess::start(const QStringList& args, bool trace_beeps)
{
    out_.clear();
    err_.clear();
    QProcessEnvironment env = proc_.processEnvironment();
    if (env.isEmpty())
        env = QProcessEnvironment::systemEnvironment();
    if (trace_beeps)
        env.insert(QStringLiteral("ZVKISP_CLI_TRACE_BEEPS"), QStringLiteral("1"));
    // A production store of its own (the serial numbers continue in it from run to run).
    env.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
    proc_.setProcessEnvironment(env);
    proc_.setProgram(binary());
    proc_.setArguments(args);
    proc_.start();
    return proc_.waitForStarted(10000);
}

void CliProcess::collect()
{
    out_ += proc_.readAllStandardOutput();
    err_ += proc_.readAllStandardError();
}

bool CliProcess::wait_for(bool on_stderr, const QString& text, int timeout_ms)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        collect();
        if (QString::fromUtf8(on_stderr ? err_ : out_).contains(text))
            return true;
        if (proc_.state() == QProcess::NotRunning || t.elapsed() >= timeout_ms)
            return false;
        proc_.waitForReadyRead(int(qBound(qint64(1), qint64(timeout_ms - t.elapsed()), qint64(50))));
    }
}

void CliProcess::interrupt()
{
    if (proc_.state() != QProcess::NotRunning)
        ::kill(pid_t(proc_.processId()), SIGINT);
}

bool CliProcess::finish(int timeout_ms)
{
    const bool ended = proc_.state() == QProcess::NotRunning || proc_.waitForFinished(timeout_ms);
    if (!ended) {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    collect();
    return ended;
}

QString CliProcess::out()
{
    collect();
    return QString::fromUtf8(out_).remove(QLatin1Char('\r'));
}

QByteArray CliProcess::out_bytes()
{
    collect();
    return out_;
}

QString CliProcess::err()
{
    collect();
    return QString::fromUtf8(err_);
}
