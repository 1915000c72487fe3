#include "base/message_log.h"

#include <QStringList>

void MessageLog::append(const QString& line)
{
    text_ += QStringLiteral("\r\n");
    text_ += line;
    emit appended(line);
}

void MessageLog::set_text(const QString& text)
{
    text_ = text;
    emit replaced(text_);
}

QStringList MessageLog::lines() const
{
    QStringList parts = text_.split(QStringLiteral("\r\n"));
    if (!parts.isEmpty() && parts.first().isEmpty())
        parts.removeFirst();
    return parts;
}
