#include "store/board_record.h"

#include <QUuid>

namespace {

// Field order of the JSON line, the CSV row and the record table.
#define FIELD(name) BoardRecordField{#name, &BoardRecord::name}
const std::vector<BoardRecordField> kFields = {
    FIELD(id), FIELD(station), FIELD(port), FIELD(started), FIELD(ended), FIELD(model), FIELD(chip_id),
    FIELD(firmware_version), FIELD(clock_hz), FIELD(baud), FIELD(image_name), FIELD(image_sha256),
    FIELD(bytes_programmed), FIELD(serial_series), FIELD(serial_number), FIELD(options), FIELD(result),
    FIELD(failure_reason), FIELD(frames_resent), FIELD(handshake_ms), FIELD(erase_ms), FIELD(program_ms),
    FIELD(options_ms),
};
#undef FIELD

QString json_string(const QString& s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

QString csv_cell(const QString& s)
{
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r'))
        return s;
    QString q = s;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// The field's value as text and whether it is a JSON string (false: a number or null).
struct Cell {
    QString text;
    bool quoted;
    bool null;
};

Cell cell_of(const BoardRecord& r, const BoardRecordField& f)
{
    return std::visit(
        [&r](auto member) -> Cell {
            const auto& v = r.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>)
                return {v, true, false};
            else if constexpr (std::is_same_v<T, qint64>)
                return {v < 0 ? QString() : QString::number(v), false, v < 0};
            else if constexpr (std::is_same_v<T, QDateTime>)
                return {record_time_text(v), true, false};
            else
                return {board_result_text(v), true, false};
        },
        f.member);
}

} // namespace

const std::vector<BoardRecordField>& board_record_fields() { return kFields; }

QStringList board_record_field_names()
{
    QStringList names;
    for (const auto& f : kFields)
        names << QLatin1String(f.name);
    return names;
}

QString board_result_text(RecordResult r)
{
    switch (r) {
    case RecordResult::Ok: return QStringLiteral("ok");
    case RecordResult::Failed: return QStringLiteral("failed");
    case RecordResult::Interrupted: return QStringLiteral("interrupted");
    case RecordResult::TimedOut: return QStringLiteral("timeout");
    }
    return QString();
}

bool board_result_from_text(const QString& text, RecordResult* r)
{
    for (const RecordResult v : {RecordResult::Ok, RecordResult::Failed, RecordResult::Interrupted, RecordResult::TimedOut}) {
        if (board_result_text(v) == text) {
            *r = v;
            return true;
        }
    }
    return false;
}

QString record_time_text(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")) : QString();
}

QDateTime record_time_from_text(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

BoardRecord BoardRecord::begin()
{
    BoardRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.started = QDateTime::currentDateTimeUtc();
    return r;
}

QString BoardRecord::to_json_line() const
{
    QString out = QStringLiteral("{");
    for (const auto& f : kFields) {
        const Cell c = cell_of(*this, f);
        if (out.size() > 1)
            out += u',';
        out += json_string(QLatin1String(f.name)) + u':';
        out += c.null ? QStringLiteral("null") : c.quoted ? json_string(c.text) : c.text;
    }
    return out + u'}';
}

QString BoardRecord::to_csv_row() const
{
    QStringList cells;
    for (const auto& f : kFields)
        cells << csv_cell(cell_of(*this, f).text);
    return cells.join(u',');
}

QString BoardRecord::csv_header() { return board_record_field_names().join(u','); }
