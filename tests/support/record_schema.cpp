#include "support/record_schema.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

QString record_schema_problem(const QString& json_line)
{
    QFile file(QStringLiteral(ZVKISP_SOURCE_DIR "/docs/board-record.schema.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no schema");
    const QJsonObject schema = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject props = schema.value(QLatin1String("properties")).toObject();
    const QJsonObject line = QJsonDocument::fromJson(json_line.toUtf8()).object();
    if (line.keys() != props.keys() || schema.value(QLatin1String("required")).toArray().size() != props.size())
        return QStringLiteral("fields differ: ") + line.keys().join(u',');
    for (auto it = line.begin(); it != line.end(); ++it) {
        const QJsonObject prop = props.value(it.key()).toObject();
        const QJsonValue type = prop.value(QLatin1String("type"));
        const QString got = it->isNull() ? QStringLiteral("null") : it->isString() ? QStringLiteral("string")
                                                                                   : QStringLiteral("integer");
        const bool whole = !it->isDouble() || it->toDouble() == double(qint64(it->toDouble()));
        if ((type.toString() != got && !type.toArray().contains(got)) || !whole)
            return it.key() + QStringLiteral(": not of type ") + got;
        if (it->isDouble() && prop.contains(QLatin1String("minimum")) &&
            it->toDouble() < prop.value(QLatin1String("minimum")).toDouble())
            return it.key() + QStringLiteral(": below its minimum");
        const QString pattern = prop.value(QLatin1String("pattern")).toString();
        if (it->isString() && !QRegularExpression(pattern).match(it->toString()).hasMatch())
            return it.key() + QStringLiteral(": does not match ") + pattern;
        if (prop.contains(QLatin1String("enum")) && !prop.value(QLatin1String("enum")).toArray().contains(*it))
            return it.key() + QStringLiteral(": not one of its values");
    }
    return QString();
}
