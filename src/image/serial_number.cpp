#include "image/serial_number.h"

#include "base/number_text.h"
#include "image/program_image.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"
#include "settings/settings_store.h"

#include <cmath>

const QString SerialNumber::kMsgAddressTooBig = QStringLiteral("自动增量低位地址太大");
const QString SerialNumber::kMsgAddressTooSmall = QStringLiteral("自动增量低位地址太小或字节数太长");
const QString SerialNumber::kMsgBinaryBytes = QStringLiteral("选择 16进制时，字节数必须小于或等于 4。");
const QString SerialNumber::kMsgBinaryValue = QStringLiteral("选择 16进制时，“下一值”必须小于 2147483648。");

namespace {
const char* const kKeys[4] = {"address", "Length", "next_value", "Increase"};
const char* const kDefaults[4] = {"FFFF", "8", "0000", "1"};
} // namespace

SerialNumber::SerialNumber(ProgramImage& image, const SelectedModel& model, SettingsStore* settings,
                           UserDialogs* dialogs, QObject* parent)
    : QObject(parent), image_(image), model_(model), settings_(settings), dialogs_(dialogs)
{
}

int SerialNumber::display_width(int format, int byte_count)
{
    int width = 0;
    switch (format) {
    case Binary: width = static_cast<int>(std::floor(byte_count * 241 / 100.0 + 1.5)); break;
    case Decimal: width = 2 * byte_count; break;
    default: width = byte_count; break;
    }
    return std::max(width, 0);
}

QString SerialNumber::padded_next_value(const QString& text, int format, int byte_count)
{
    return NumberText::right(QStringLiteral("000000000000000") + text.trimmed(), display_width(format, byte_count));
}

qint64 SerialNumber::marker_address() const
{
    return NumberText::last_hex_digits(texts[0], 5);
}

int SerialNumber::byte_count() const
{
    const double v = NumberText::leading_number(texts[1]);
    const qint64 n = NumberText::round_half_even(v);
    return static_cast<int>(std::clamp<qint64>(n, -32768, 32767));
}

void SerialNumber::set_text(int index, const QString& text)
{
    if (texts[index] == text)
        return;
    texts[index] = text;
    set_field_text(index, text);
}

void SerialNumber::set_field_text(int index, const QString& text)
{
    texts[index] = text;
    serial_active = false;
    emit changed();
}

void SerialNumber::select_format(int index)
{
    format = std::clamp(index, 0, 2);
    serial_active = false;
    emit changed();
}

void SerialNumber::enable_fields(bool on)
{
    fields_enabled = on;
    if (set_fields_enabled)
        set_fields_enabled(on);
}

void SerialNumber::set_checked(bool on)
{
    if (checked == on)
        return;
    checked = on;
    update_active();
}

void SerialNumber::update_active()
{
    if (!checked) {
        enable_fields(true);
        serial_active = false;
        emit changed();
        return;
    }
    enable_fields(false);
    serial_active = false;
    emit changed();
    if (check_serial_settings() == 0) {
        save_serial_settings();
        if (serial_active) {
            write_serial_number();
            refresh_image();
            emit show_number_requested();
        }
    }
}

int SerialNumber::check_serial_settings()
{
    const int n = byte_count();
    set_text(2, padded_next_value(texts[2], format, n));
    serial_address = static_cast<qint32>(NumberText::last_hex_digits(texts[0], 5));
    const qint32 limit = model_.model_family == 2 ? model_.user_flash_end : model_.ap_end;
    if (serial_address > limit) {
        if (dialogs_)
            dialogs_->message_box(kMsgAddressTooBig);
        return -1;
    }
    serial_length = static_cast<qint16>(n);
    if (qint64(serial_address) + 1 - n < 0) {
        if (dialogs_)
            dialogs_->message_box(kMsgAddressTooSmall);
        return -1;
    }
    serial_active = true;
    return 0;
}

void SerialNumber::write_serial_number()
{
    const int n = serial_length;
    const QString value_text = texts[2].trimmed();
    QString digits;
    if (format == Binary) {
        if (n > 4) {
            if (dialogs_)
                dialogs_->message_box(kMsgBinaryBytes);
            return;
        }
        const double v = NumberText::leading_number(value_text);
        if (v > 2147483647.0) {
            if (dialogs_)
                dialogs_->message_box(kMsgBinaryValue);
            return;
        }
        if (v < -2147483648.0)
            return;
        const qint64 iv = NumberText::round_half_even(v);
        digits = QStringLiteral("0000000000") + NumberText::hex_upper(static_cast<quint32>(static_cast<qint32>(iv)));
    } else if (format == Decimal) {
        digits = value_text;
    } else {
        for (QChar c : value_text) {
            const ushort u = c.unicode();
            const int d = (u >= '0' && u <= '9') ? u - '0' : 0;
            digits += QStringLiteral("3") + QChar(u'0' + d);
        }
    }
    qint64 a = serial_address;
    for (int i = 0; i < n; ++i) {
        const QString pair = NumberText::right(digits, 2);
        digits.chop(std::min<int>(2, digits.size()));
        if (ProgramImage::in_buffer(a))
            image_.program_buffer[static_cast<size_t>(a)] = static_cast<quint8>(NumberText::hex_prefix_value(pair) & 0xFF);
        --a;
    }
    image_.notify();
}

void SerialNumber::advance_serial_number()
{
    if (!serial_active)
        return;
    const double next = NumberText::leading_number(texts[2]) + NumberText::leading_number(texts[3]);
    set_text(2, NumberText::decimal_text(next));
    set_text(2, padded_next_value(texts[2], format, byte_count()));
}

void SerialNumber::save_serial_settings()
{
    if (!settings_)
        return;
    for (int i = 0; i < 4; ++i)
        settings_->set_value(SettingsStore::kAutoIncrease, QString::fromLatin1(kKeys[i]), texts[i]);
    settings_->set_value(SettingsStore::kAutoIncrease, QStringLiteral("numeral_system"), QString::number(format));
}

void SerialNumber::load_serial_settings()
{
    if (!settings_)
        return;
    for (int i = 0; i < 4; ++i)
        set_text(i, settings_->value(SettingsStore::kAutoIncrease, QString::fromLatin1(kKeys[i]),
                                     QString::fromLatin1(kDefaults[i])));
    const double f = NumberText::leading_number(
        settings_->value(SettingsStore::kAutoIncrease, QStringLiteral("numeral_system"), QStringLiteral("1")));
    const qint64 fi = std::fabs(f) < 1e9 ? NumberText::round_half_even(f) : -1;
    select_format(fi >= 0 && fi <= 2 ? static_cast<int>(fi) : 0);
}

void SerialNumber::refresh_image()
{
    // The address from the last four digits of the address box.
    serial_address = static_cast<qint32>(NumberText::last_hex_digits(texts[0], 4));
    if (serial_active)
        serial_length = static_cast<qint16>(byte_count());
    image_.refresh(serial_active, serial_address, serial_active ? serial_length : 0);
}
