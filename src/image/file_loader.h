#pragma once
// Bringing a program file into the program buffer: choosing it, telling HEX from binary, placing
// the bytes at their address plus the buffer start address and checking the result against the
// selected model's ranges (as shown in the range boxes).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class BufferView;
class ProgramImage;
class SerialNumber;
class SettingsStore;
class UserDialogs;
struct SelectedModel;

class FileLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRecordData = 46;   // data bytes one HEX record may hold

    FileLoader(ProgramImage& image, const SelectedModel& model, SerialNumber& serial, BufferView& view,
               SettingsStore* settings, UserDialogs* dialogs, QObject* parent = nullptr);

    void comLoadFile_Click();
    void choose_program_file();
    void restore_program_file();
    void open_into_buffer();
    void load_program_file();
    void load_binary_file();
    void load_hex_file();
    // 0 when the records were read to the end, 1 when a line was not a record.
    int parse_hex_records(const QByteArray& content);

    // Range values read back from the range boxes and the start box at the start of each load.
    struct Ranges {
        qint64 ap_end = 0;
        qint64 block_start = 0;
        qint64 block_end = 0;
        qint64 buffer_start = 0;
    };
    Ranges read_ranges() const;
    // Is the file HEX (its first three lines, or all it has, begin with ':')? false for binary
    // and when the file cannot be opened (`readable` tells).
    static bool looks_like_hex(const QString& path, bool* readable = nullptr);

    // Outcome of the last open_into_buffer: true when a loader finished (warnings included).
    bool last_load_ok = false;
    // The hourglass while a loader runs.
    std::function<void(bool)> set_wait_cursor;

    static const QString kMsgStartOutrun;
    static const QString kMsgCannotFind;
    static const QString kMsgHexFirstLine;   // "HEX File is error."
    static const QString kMsgHexLine;        // "HEX file is error."
    static const QString kMsgFileError;      // "File is error."
    static const QString kTitleOpen;         // "Open HEX file"

signals:
    // Frame7's caption (image.frame_caption) changed.
    void caption_changed();

private:
    void show_range_message(bool over, bool data, bool binary);
    ProgramImage& image_;
    const SelectedModel& model_;
    SerialNumber& serial_;
    BufferView& view_;
    SettingsStore* settings_;
    UserDialogs* dialogs_;
};
