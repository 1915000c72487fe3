#include "image/program_image.h"

#include "base/number_text.h"
#include "models/model_catalogue.h"

ProgramImage::ProgramImage(const SelectedModel& model, QObject* parent)
    : QObject(parent), model_(model)
{
}

void ProgramImage::fill_program_buffer(quint8 value)
{
    // Byte 10000h is outside the flash and keeps its value.
    std::fill(program_buffer.begin(), program_buffer.begin() + 0x10000, value);
}

void ProgramImage::clear_program_buffer(quint8 value)
{
    fill_program_buffer(value);
    image_start = 0;
    file_start = 0;
    image_end = 1023;
    file_end = 1023;
    emit changed();
    emit cleared();
}

void ProgramImage::clear_before_load()
{
    fill_program_buffer(fill_byte());
    file_loaded = false;
    // The next file alone defines the used range.
    image_start = 0x10FFFF;
    image_end = 0;
    file_start = 0x10FFFF;
    file_end = 0;
}

void ProgramImage::widen_to_file()
{
    if (image_start > file_start)
        image_start = file_start;
    if (image_end < file_end)
        image_end = file_end;
}

void ProgramImage::widen_used_range(bool serial_active, qint32 serial_address, qint32 serial_length)
{
    widen_to_file();
    if (serial_active) {
        if (serial_address > image_end)
            image_end = serial_address;
        // The viewer marks the number from the byte just before it.
        if (serial_address - serial_length < image_start)
            image_start = serial_address - serial_length;
    }
}

void ProgramImage::refresh(bool serial_active, qint32 serial_address, qint32 serial_length)
{
    widen_used_range(serial_active, serial_address, serial_length);
    store_length_text = NumberText::hex_upper(qint64(image_end) + 1);
    emit refreshed();
}

void ProgramImage::start_afresh(bool fill, const QString& start_text)
{
    fill_ff = fill;
    buffer_start_text = start_text;
    clear_buffer_on_load = true;
    clear_program_buffer(0x00);
    show_memory_ranges();
}

void ProgramImage::show_memory_ranges()
{
    using NumberText::hex_upper;
    using NumberText::right;
    qint32 shown_ap_end = model_.ap_end;
    isp_start = 0;
    if (model_.model_family == 0) {
        isp_start = model_.data_flash_start;
    } else if (model_.model_family == 1 || model_.model_family == 2) {
        isp_start = model_.range_end - 1024 + 1;
        if (model_.ap_to_isp)
            shown_ap_end = isp_start - 1;
    }
    auto hex = [](qint32 v) { return v < 0 ? QStringLiteral("-") + hex_upper(-qint64(v)) : hex_upper(v); };
    range_texts[0] = right(QStringLiteral("0000") + hex(model_.ap_start), 4);
    range_texts[1] = right(QStringLiteral("0000") + hex(shown_ap_end), 4);
    range_texts[2] = right(QStringLiteral("00000") + hex(isp_start), 5);
    range_texts[3] = right(QStringLiteral("00000") + hex(model_.range_end), 5);
    emit changed();
}
