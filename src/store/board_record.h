#pragma once
// One board's production record: what was read from the chip, what was written to it and how it
// ended. The same fields go into the store's record table, a JSON line and a CSV row (see
// docs/board-record.schema.json); board_record_fields() lists them once, in their order.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

enum class RecordResult { Ok, Failed, Interrupted, TimedOut };

struct BoardRecord {
    QString id;                  // unique per board (a UUID); a record is stored at most once
    QString station;             // the programming station (set by the store that writes it)
    QString port;
    QDateTime started;           // UTC
    QDateTime ended;
    QString model;
    QString chip_id;             // identity bytes read, upper-case hex
    QString firmware_version;
    qint64 clock_hz = -1;        // -1: not measured (null in JSON, empty in CSV)
    qint64 baud = -1;            // negotiated baud
    QString image_name;
    QString image_sha256;        // lower-case hex
    qint64 bytes_programmed = 0;
    QString serial_series;       // series the number came from ("" when none)
    QString serial_number;       // the number as written into the image ("" when none)
    QString options;             // options written, as the log shows them
    RecordResult result = RecordResult::Failed;
    QString failure_reason;
    qint64 frames_resent = 0;
    qint64 handshake_ms = -1;    // durations; -1 when the step did not run
    qint64 erase_ms = -1;
    qint64 program_ms = -1;
    qint64 options_ms = -1;

    // A fresh record: a new id, the start time now.
    static BoardRecord begin();
    QString to_json_line() const;     // one line, no line end
    QString to_csv_row() const;       // one row, no line end
    static QString csv_header();
};

QString board_result_text(RecordResult r);            // "ok", "failed", "interrupted", "timeout"
bool board_result_from_text(const QString& text, RecordResult* r);
// Record times as stored and written: "yyyy-MM-ddTHH:mm:ss.zzzZ" (UTC), empty for a null time.
QString record_time_text(const QDateTime& t);
QDateTime record_time_from_text(const QString& text);

struct BoardRecordField {
    using Member = std::variant<QString BoardRecord::*, qint64 BoardRecord::*, QDateTime BoardRecord::*,
                                RecordResult BoardRecord::*>;
    const char* name;
    Member member;
};
const std::vector<BoardRecordField>& board_record_fields();
QStringList board_record_field_names();
