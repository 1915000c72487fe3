#pragma once
// The in-memory image of the MCU's code flash (addresses 0..10000h), its fill byte, and the
// bookkeeping of which part holds a file and which part is in use.

#include <QObject>
#include <QString>
#include <array>

struct SelectedModel;

class ProgramImage : public QObject {
    Q_OBJECT
public:
    static constexpr int kSize = 0x10001;     // addresses 0..10000h inclusive

    explicit ProgramImage(const SelectedModel& model, QObject* parent = nullptr);

    std::array<quint8, kSize> program_buffer{};
    bool fill_ff = false;            // fill byte "FF" chosen (true) or "00"
    quint8 fill_byte() const { return fill_ff ? 0xFF : 0x00; }
    bool file_loaded = false;
    qint32 file_start = 0;
    qint32 file_end = 1023;
    qint32 image_start = 0;
    qint32 image_end = 1023;
    QString file_path;
    qint32 isp_start = 0;

    bool clear_buffer_on_load = true;        // "Clear Buffer" before a load
    QString buffer_start_text = QStringLiteral("0");   // where a loaded file goes in the buffer
    std::array<QString, 4> range_texts;      // the four ISP range fields
    QString frame_caption = QStringLiteral("File: ");   // the file frame's title
    // The store fields: start address and length (every refresh of the used range, and
    // every redraw of a viewer, writes the length: hexadecimal image_end + 1).
    QString store_start_text = QStringLiteral("0");
    QString store_length_text = QStringLiteral("400");

    // True when `address` is a byte of program_buffer.
    static bool in_buffer(qint64 address) { return address >= 0 && address < kSize; }

    void fill_program_buffer(quint8 value);  // bytes 0..FFFFh
    void clear_program_buffer(quint8 value); // and used range 0..1023; views start over (cleared())
    void clear_before_load();                // the clear inside a load
    void show_memory_ranges();               // isp_start and the four range texts
    // The buffer as at start-up, for a file loaded from the command line: the fill byte and the
    // buffer start address given, cleared (every load clears it again), the ranges shown.
    void start_afresh(bool fill, const QString& start_text);
    // The range part of refresh_buffer_view: widen the used range to the last file and, while a
    // serial number is written (serial_active), to that number's bytes and the byte before them.
    void widen_used_range(bool serial_active, qint32 serial_address, qint32 serial_length);
    // Merge before a load that does not clear: widen the used range to the previous file.
    void widen_to_file();
    // Part of every load and serial-number change: the used range widened as widen_used_range
    // does, the store length following it; views redraw (refreshed()).
    void refresh(bool serial_active, qint32 serial_address, qint32 serial_length);

    // Tells the views the buffer or ranges changed.
    void notify() { emit changed(); }

signals:
    void changed();
    // The used range was refreshed: views redraw where they are.
    void refreshed();
    // The buffer was cleared: views start over at the top.
    void cleared();

private:
    const SelectedModel& model_;
};
