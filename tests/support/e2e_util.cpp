#include "support/e2e_util.h"

#include <QFile>

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

QString SimCliRun::write_binary(const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    write_file(path, bytes);
    return path;
}

QString SimCliRun::flash_path() const
{
    return dir.filePath(QStringLiteral("flash.bin"));
}

QString SimCliRun::trace_path() const
{
    return dir.filePath(QStringLiteral("trace.txt"));
}

bool SimCliRun::start_sim(const QString& model, const QStringList& extra)
{
    return sim.start(QStringList{QStringLiteral("--model"), model, QStringLiteral("--flash-out"), flash_path(),
                                 QStringLiteral("--trace"), trace_path()} +
                     extra);
}

bool SimCliRun::finish(int timeout_ms)
{
    const bool finished = cli.finish(timeout_ms);
    // The simulator takes in what the tool sent (a run command writes its flash) and ends.
    sim.stop();
    return finished;
}

} // namespace e2e
