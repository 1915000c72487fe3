#include "support/e2e_util.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

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

QStringList received_frames(const QStringList& trace)
{
    static const QRegularExpression frame_start(QStringLiteral("(^| )(46 B9 )?6A 00 | 5A A5 "));
    QStringList frames;
    bool after_greeting = false;
    bool garbled = false;
    for (const QString& line : trace) {
        after_greeting = after_greeting || line == QLatin1String("greeting");
        garbled = garbled || line.startsWith(QLatin1String("garbled rx"));
        if (!line.startsWith(QLatin1String("rx ")))
            continue;
        QString bytes = line.mid(3);
        while (after_greeting && bytes.startsWith(QLatin1String("7F ")))
            bytes.remove(0, 3);
        // A frame written just before the tool closed the port may be read by the sim only after
        // the close gave the port its old settings back: the sim then notes junk, and the board
        // takes the frame when it comes again. The junk ahead of that next frame is dropped.
        const QRegularExpressionMatch m = frame_start.match(bytes);
        if (garbled && m.hasMatch() && m.capturedStart() > 0)
            bytes = bytes.mid(m.capturedStart() + 1);
        after_greeting = garbled = false;
        frames << bytes;
    }
    return frames;
}

QString hex_text(const QString& spec)
{
    QStringList out;
    for (const QString& token : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = token.split(QLatin1Char('*'));
        const int copies = parts.size() > 1 ? parts.at(1).toInt() : 1;
        QStringList bytes;
        if (parts.at(0) == QLatin1String("?"))
            bytes << QStringLiteral("??");
        for (int i = 0; i + 1 < parts.at(0).size(); i += 2)
            bytes << parts.at(0).mid(i, 2).toUpper();
        for (int c = 0; c < copies; ++c)
            out += bytes;
    }
    return out.join(QLatin1Char(' '));
}

void align_frames(const QStringList& got, const QString& expected, QStringList& got_out, QStringList& want_out)
{
    const auto matches = [](const QString& frame, const QString& want) {
        if (frame.size() != want.size())
            return false;
        for (int i = 0; i < want.size(); ++i)
            if (want.at(i) != QLatin1Char('?') && want.at(i) != frame.at(i))
                return false;
        return true;
    };
    static const QRegularExpression count(QStringLiteral("^(\\d+)(\\+?)x\\s+"));
    int g = 0;
    for (QString part : expected.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        const QRegularExpressionMatch m = count.match(part);
        const int times = m.hasMatch() ? m.captured(1).toInt() : 1;
        const QString want = hex_text(m.hasMatch() ? part.mid(m.capturedLength()) : part);
        for (int i = 0; i < times; ++i, ++g) {
            want_out << want;
            got_out << (g >= got.size() ? QStringLiteral("(nothing)") : matches(got.at(g), want) ? want : got.at(g));
        }
        while (m.hasMatch() && !m.captured(2).isEmpty() && g < got.size() && matches(got.at(g), want))
            ++g;
    }
    got_out += got.mid(g);
}

void keep_folder(QTemporaryDir& dir, const QString& output, bool always)
{
    if (!always && !QTest::currentTestFailed())
        return;
    dir.setAutoRemove(false);
    write_file(dir.filePath(QStringLiteral("output.txt")), output.toUtf8());
    qWarning("kept %s", qPrintable(dir.path()));
}

SimCliRun::~SimCliRun()
{
    keep_folder(dir, cli.out() + QStringLiteral("--- stderr:\n") + cli.err());
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

bool SimCliRun::start_sim(const QString& model, const QStringList& extra, int final_baud)
{
    return sim.start(QStringList{QStringLiteral("--model"), model, QStringLiteral("--flash-out"), flash_path(),
                                 QStringLiteral("--trace"), trace_path(), QStringLiteral("--trace-bytes")} +
                     extra) &&
           sim.preset_line(final_baud);
}

bool SimCliRun::finish(int timeout_ms, bool board_runs)
{
    const bool finished = cli.finish(timeout_ms);
    // The simulator takes in what the tool sent (a run command writes its flash) and ends.
    Q_UNUSED(board_runs);
    sim.stop();
    return finished;
}

} // namespace e2e
