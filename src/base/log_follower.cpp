#include "base/log_follower.h"

#include "base/message_log.h"

LogFollower::LogFollower(MessageLog& log, QObject* parent) : QObject(parent)
{
    connect(&log, &MessageLog::appended, this, &LogFollower::on_appended);
    connect(&log, &MessageLog::replaced, this, &LogFollower::on_replaced);
}

void LogFollower::on_appended(const QString& text)
{
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    seen_ << lines;
    for (const QString& l : lines)
        emit line(l);
}

void LogFollower::on_replaced(const QString& text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    int common = 0;
    while (common < lines.size() && common < seen_.size() && lines.at(common) == seen_.at(common))
        ++common;
    for (int i = common; i < lines.size(); ++i)
        emit line(lines.at(i));
    seen_ = lines;
}
