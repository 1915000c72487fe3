#pragma once
// Bringing a program file into the program buffer: choosing it, telling HEX from binary, placing
// the bytes at their address plus the buffer start address and checking the result against the
// selected model's ranges (as shown in the range boxes).

#include "image/program_file.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ProgramImage;
class SerialNumber;
class SettingsStore;
class UserDialogs;
struct SelectedModel;

class FileLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRecordData = ::kMaxRecordData;

    FileLoader(ProgramImage& image, const SelectedModel& model, SerialNumber& serial, SettingsStore* settings,
               UserDialogs* dialogs, QObject* parent = nullptr);

    void load_file();
    void choose_program_file();
    void restore_program_file();
    // Reads the file at file_path and opens it into the buffer.
    void open_into_buffer();
    // Opens the file at `path` (following address records or not) into the buffer; true when the
    // loader finished (`refusal` says why not).
    bool open_path(const QString& path, bool follow_records);
    // open_into_buffer over the file's content in memory (nothing: the file could not be read).
    void open_content_into_buffer(const std::optional<QByteArray>& content);
    // The loaders over a file's bytes in memory; `name` stands for the file in messages.
    void load_program_file(const QByteArray& bytes, const QString& name);
    void load_binary_file(const QByteArray& bytes);
    void load_hex_file(const QByteArray& bytes, const QString& name);
    // load_binary_file over the file at file_path (the Soft ICE monitor image).
    void load_binary_file();
    // 0 when the records were read to the end, 1 when a line was not a record.
    int parse_hex_records(const QByteArray& content, const QString& name);

    // Range values read back from the range boxes and the start box at the start of each load.
    struct Ranges {
        qint64 ap_end = 0;
        qint64 block_start = 0;
        qint64 block_end = 0;
        qint64 buffer_start = 0;
    };
    Ranges read_ranges() const;

    // Outcome of the last open_into_buffer: true when a loader finished (warnings included).
    bool last_load_ok = false;
    // Why the last load did not finish: the file, the HEX line and the reason.
    std::optional<FileDiagnostic> refusal;
    // Address records (types 02 and 04) move the data records after them. The window's loader
    // passes them by; the command line follows them once the strict check has held every
    // address within 64 KB.
    bool follow_address_records = false;
    // The hourglass while a loader runs.
    std::function<void(bool)> set_wait_cursor;

    static const QString kMsgStartOutrun;
    static const QString kMsgCannotFind;
    static const QString kMsgHexFirstLine;   // "HEX File is error."
    static const QString kMsgHexLine;        // "HEX file is error."
    static const QString kMsgFileError;      // "File is error."
    static const QString kTitleOpen;         // "Open HEX file"

signals:
    // The file frame's caption (image.frame_caption) changed.
    void caption_changed();
    // A line for the message log after a message box, with what the box leaves out (the line
    // number of a HEX checksum error).
    void log_line(const QString& line);

private:
    void show_range_message(bool over, bool data, bool binary);
    void load_binary_content(const std::optional<QByteArray>& bytes);
    void refuse(const QString& file, int line, const QString& reason);
    ProgramImage& image_;
    const SelectedModel& model_;
    SerialNumber& serial_;
    SettingsStore* settings_;
    UserDialogs* dialogs_;
};
