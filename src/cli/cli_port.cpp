#include "cli/cli_port.h"

#include "isp/frames.h"

#include <QDateTime>

bool TraceFile::open(const QString& path, QString& error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        error = QStringLiteral("cannot write the trace %1: %2").arg(path, file_.errorString());
        return false;
    }
    clock_.start();
    line("#", QStringLiteral("zvkisp-cli trace, started %1; seconds since then, TX to the MCU, RX from it")
                  .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)));
    return true;
}

QString TraceFile::stamp() const
{
    const qint64 us = clock_.nsecsElapsed() / 1000;
    return QStringLiteral("%1.%2").arg(us / 1000000, 6).arg(us % 1000000, 6, 10, QLatin1Char('0'));
}

void TraceFile::bytes(const char* direction, const QByteArray& data)
{
    if (data.isEmpty())
        return;
    file_.write((stamp() + QLatin1Char(' ') + QLatin1String(direction) + QLatin1Char(' ')).toLatin1() +
                data.toHex(' ').toUpper() + '\n');
    if (direction[0] == 'R')
        file_.flush();   // what was sent is flushed with the reply, so writing stays cheap
}

void TraceFile::line(const char* kind, const QString& text)
{
    file_.write((stamp() + QLatin1Char(' ') + QLatin1String(kind) + QLatin1Char(' ') + text).toUtf8() + '\n');
    file_.flush();
}

QByteArray CliSerialPort::read(qint64 max)
{
    QByteArray bytes = BoardPort::read(max);
    if (bytes.isEmpty())
        return bytes;
    if (trace)
        trace->bytes("RX", bytes);
    if (greeting_) {
        greeting_ = false;
        if (answered)
            answered();
    }
    return bytes;
}

void CliSerialPort::write(const QByteArray& bytes)
{
    if (trace)
        trace->bytes("TX", bytes);
    // The polls that go on until the MCU answers: the greeting, and the application routine's sync.
    static const QByteArray greeting(2, char(Frames::kGreeting));
    static const QByteArray custom_sync = Frames::custom_frame(Frames::CustomSync);
    if (!greeting_ && (bytes == greeting || bytes == custom_sync)) {
        greeting_ = true;
        if (greeting_started)
            greeting_started();
    }
    BoardPort::write(bytes);
}
