#pragma once
// A duration as the window shows it: "m:ss", from an hour on "h:mm:ss" (whole seconds).

#include <QString>

inline QString clock_text(qint64 ms)
{
    const qint64 s = ms > 0 ? ms / 1000 : 0;
    const QLatin1Char zero('0');
    if (s < 3600)
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, zero).arg(s % 60, 2, 10, zero);
}
