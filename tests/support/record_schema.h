#pragma once
// Checks a board record's JSON line against docs/board-record.schema.json: the same fields, each
// of its schema type and matching its pattern.
#include <QString>

// "" when the line fits the schema, else what does not.
QString record_schema_problem(const QString& json_line);
