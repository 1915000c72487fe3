#pragma once
// The auto-increment serial number: its four fields, storage format and enable box, the checks,
// writing the number into the program buffer and counting it up after each good download.

#include <QObject>
#include <QString>
#include <array>
#include <functional>

class ProgramImage;
class SettingsStore;
class UserDialogs;
struct SelectedModel;

class SerialNumber : public QObject {
    Q_OBJECT
public:
    enum Format { Binary = 0, Decimal = 1, Ascii = 2 };

    SerialNumber(ProgramImage& image, const SelectedModel& model, SettingsStore* settings, UserDialogs* dialogs,
                 QObject* parent = nullptr);

    // The four fields: address (hex), byte count (decimal), next value, step.
    std::array<QString, 4> texts{QStringLiteral("FFFF"), QStringLiteral("8"), QStringLiteral("0000"),
                                 QStringLiteral("1")};
    int format = Decimal;          // Binary, Decimal or Ascii
    bool checked = false;          // auto-increase on
    bool fields_enabled = true;    // the seven fields are locked exactly while checked

    bool serial_active = false;
    qint32 serial_address = 0;
    qint16 serial_length = 0;

    // Enables (true) or disables the seven fields on the window; the window or the workbench sets
    // it (the serial-number fields and the format choices).
    std::function<void(bool)> set_fields_enabled;

    // ---- Event handlers ---------------------------------------------------------------------------
    // The number follows the check box: checked, the fields lock, are checked and the number goes
    // into the buffer (serial_active); unchecked, the fields unlock and no number is written.
    void update_active();
    // Sets the check box; a real change runs update_active (as setting the box's value does).
    void set_checked(bool on);
    void select_format(int index);
    // A field's text changed (typed, or set by the program): the number must be checked again.
    void set_field_text(int index, const QString& text);

    // ---- Procedures -------------------------------------------------------------------------------
    int check_serial_settings();        // 0 valid, -1 invalid (a message was shown)
    void write_serial_number();
    void advance_serial_number();
    void save_serial_settings();
    void load_serial_settings();
    // The image's used range refreshed with the number's place (the address from the last four
    // digits of the address box), as every load and number change does.
    void refresh_image();

    // Width of the next-value box for a format and byte count, and the box text padded to it.
    static int display_width(int format, int byte_count);
    static QString padded_next_value(const QString& text, int format, int byte_count);
    // The serial number's place as the viewer reads it: the address box's last five digits and
    // the byte count box.
    qint64 marker_address() const;
    int byte_count() const;

    static const QString kMsgAddressTooBig;     // "自动增量低位地址太大"
    static const QString kMsgAddressTooSmall;   // "自动增量低位地址太小或字节数太长"
    static const QString kMsgBinaryBytes;       // binary: at most 4 bytes
    static const QString kMsgBinaryValue;       // binary: value below 2147483648

signals:
    // Texts, format, check box or enabling changed: redraw the fields.
    void changed();
    // The number was written on checking the box: a viewer scrolls to it.
    void show_number_requested();

private:
    void set_text(int index, const QString& text);
    void enable_fields(bool on);
    ProgramImage& image_;
    const SelectedModel& model_;
    SettingsStore* settings_;
    UserDialogs* dialogs_;
};
