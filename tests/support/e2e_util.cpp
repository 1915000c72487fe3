#include "support/e2e_util.h"

#include "support/cli_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>

namespace e2e {

QByteArray pattern(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    quint32 x = seed;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char((x >> 16) & 0xFF);
    }
    return bytes;
}

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write_file(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList read_lines(const QString& path)
{
    return QString::fromUtf8(read_file(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

SimCliRun::~SimCliRun()
{
    if (cli.state() != QProcess::NotRunning) {
        cli.kill();
        cli.waitForFinished(3000);
    }
}

QString SimCliRun::write_binary(const QByteArray& bytes)
{
    const QString path = dir_.filePath(QStringLiteral("image.bin"));
    write_file(path, bytes);
    return path;
}

QString SimCliRun::flash_path() const
{
    return dir_.filePath(QStringLiteral("flash.bin"));
}

QString SimCliRun::trace_path() const
{
    return dir_.filePath(QStringLiteral("trace.txt"));
}

bool SimCliRun::start_sim(const QString& model, const QStringList& extra)
{
    return sim.start(QStringList{QStringLiteral("--model"), model, QStringLiteral("--flash-out"), flash_path(),
                                 QStringLiteral("--trace"), trace_path()} +
                     extra);
}

void SimCliRun::start_cli(const QString& command, const QStringList& args, bool trace_beeps)
{
    if (trace_beeps) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZVKISP_CLI_TRACE_BEEPS"), QStringLiteral("1"));
        cli.setProcessEnvironment(env);
    }
    cli.setProgram(CliProcess::binary());
    cli.setArguments(QStringList{command} + args);
    cli.start();
    cli.waitForStarted(5000);
}

bool SimCliRun::finish(int timeout_ms)
{
    const bool finished = cli.waitForFinished(timeout_ms);
    if (!finished) {
        cli.kill();
        cli.waitForFinished(2000);
    }
    exit_code = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    collect();
    // The simulator writes its flash when the board runs and ends shortly after.
    sim.process().waitForFinished(3000);
    return finished;
}

bool SimCliRun::wait_for(const QString& text, bool on_stderr, int timeout_ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeout_ms) {
        cli.waitForReadyRead(50);
        collect();
        if ((on_stderr ? err : out).contains(text))
            return true;
        if (cli.state() == QProcess::NotRunning)
            return false;
    }
    return false;
}

void SimCliRun::interrupt()
{
    ::kill(pid_t(cli.processId()), SIGINT);
}

void SimCliRun::collect()
{
    out_bytes_ += cli.readAllStandardOutput();
    err_bytes_ += cli.readAllStandardError();
    out = QString::fromUtf8(out_bytes_).remove(QLatin1Char('\r'));
    err = QString::fromUtf8(err_bytes_);
}

} // namespace e2e
