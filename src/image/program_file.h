#pragma once
// A program file before it reaches the buffer: reading it, telling Intel HEX from binary, walking
// its lines, and the strict check the command line applies by default. The window loads
// leniently (a bad checksum is shown and the record kept, bytes beyond the flash are cut, text is
// loaded as a binary); the strict check refuses every such file with the file, the line and the
// reason, before anything is loaded.

#include <QByteArray>
#include <QString>

#include <optional>

struct SelectedModel;

// Why a program file was refused.
struct FileDiagnostic {
    QString file;
    int line = 0;   // 1-based line of a HEX file; 0 when the fault is not on one line
    QString reason;

    // "file:line: reason", or "file: reason" without a line.
    QString text() const;
};

// Data bytes one HEX record may hold.
constexpr int kMaxRecordData = 46;

// Reasons the window's loader gives for the files it cannot load either.
namespace FileReason {
QString no_colon();                    // a HEX line that does not begin with ':'
QString record_too_long(int data_bytes);
QString unreadable();
} // namespace FileReason

// Splits text into lines the way a text reader does: CR LF, LF CR, CR or LF ends a line; the end
// of the data ends the last line (an empty tail after the last line break is no line).
class TextLines {
public:
    explicit TextLines(const QByteArray& data) : p_(data.constData()), end_(data.constData() + data.size()) {}
    // The next line without its line end; false at the end of the data.
    bool next(const char*& line, int& length);
    // 1-based number of the line `next` returned last.
    int number() const { return number_; }

private:
    const char* p_;
    const char* end_;
    int number_ = 0;
};

// Is the file HEX: do its first three lines (or all it has, when fewer) begin with ':'?
bool is_hex_text(const QByteArray& bytes);

// Largest file read: far more than the HEX text of a 64 KB image takes.
constexpr qint64 kMaxProgramFileSize = 16 << 20;
// The file's bytes (at most kMaxProgramFileSize + 1 of them); nothing when it cannot be read.
std::optional<QByteArray> read_program_file(const QString& path);

// The flash a file is held against: the application area of a model, from address 0.
struct FlashLimits {
    QString model;
    qint64 ap_end = 0;         // last address of the application flash
    qint64 buffer_start = 0;   // added to every address of the file

    static FlashLimits of(const SelectedModel& model, qint64 buffer_start);
};

// The strict check of a file's bytes; `name` names the file in the diagnostic. Refused: a bad
// checksum, a malformed line, an unknown record type (00-05 are known; an address record 02/04
// only when it moves data beyond 64 KB; 03/05 are ignored), a missing end record, data beyond the
// application flash, a binary larger than that flash, an empty file, a "binary" that is text.
std::optional<FileDiagnostic> check_program_bytes(const QByteArray& bytes, const QString& name,
                                                  const FlashLimits& limits);
// The same for a file on disk; a directory or a file that cannot be read is refused too.
std::optional<FileDiagnostic> check_program_file(const QString& path, const FlashLimits& limits);
