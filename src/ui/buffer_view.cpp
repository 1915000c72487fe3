#include "ui/buffer_view.h"

#include "base/number_text.h"
#include "image/hex_dump.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"

#include <cmath>

namespace {
bool is_hex_key(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}
} // namespace

BufferView::BufferView(ProgramImage& image, SerialNumber* serial, UserDialogs* dialogs, QObject* parent)
    : QObject(parent), image_(image), dialogs_(dialogs), serial_(serial)
{
    connect(&Timer11, &OneShotTimer::tick, this, &BufferView::Timer11_Timer);
    connect(&image_, &ProgramImage::refreshed, this, &BufferView::on_refreshed);
    connect(&image_, &ProgramImage::cleared, this, &BufferView::on_cleared);
    if (serial_)
        connect(serial_, &SerialNumber::show_number_requested, this, &BufferView::scroll_to_serial_number);
}

int BufferView::visible_lines() const
{
    const double lines = box_height_twips / kTwipsPerLine;
    if (!std::isfinite(lines) || lines <= 0)
        return 0;
    if (lines > 1e6)
        return 1000000;
    return static_cast<int>(std::nearbyint(lines));
}

bool BufferView::scroll_value_valid(qint64 value) const
{
    const int lo = std::min(scroll_min, scroll_max);
    const int hi = std::max(scroll_min, scroll_max);
    return value >= lo && value <= hi;
}

void BufferView::set_scroll_value(int value)
{
    const int lo = std::min(scroll_min, scroll_max);
    const int hi = std::max(scroll_min, scroll_max);
    scroll_value = std::clamp(value, lo, hi);
    VScroll1_Change();
}

void BufferView::set_scroll_max(int maximum)
{
    scroll_max = maximum;
    if (!scroll_value_valid(scroll_value)) {
        const int lo = std::min(scroll_min, scroll_max);
        const int hi = std::max(scroll_min, scroll_max);
        scroll_value = std::clamp(scroll_value, lo, hi);
    }
}

bool BufferView::serial_checked() const
{
    return serial_ && serial_->checked;
}

void BufferView::clear_program_buffer(quint8 value)
{
    image_.clear_program_buffer(value);   // on_cleared() redraws
}

void BufferView::on_cleared()
{
    scroll_min = 0;
    scroll_max = 64;
    scroll_value = std::clamp(scroll_value, 0, 64);
    render_buffer_lines(0, 991);
}

void BufferView::on_refreshed()
{
    set_scroll_max(static_cast<int>((qint64(image_.image_end) - image_.image_start) / 16 - 3));
    VScroll1_Change();
}

void BufferView::scroll_to_serial_number()
{
    const qint64 position = (qint64(serial_->serial_address) - image_.image_start) / 16 - 3;
    if (scroll_value_valid(position))
        scroll_value = static_cast<int>(position);
    VScroll1_Change();
}

void BufferView::VScroll1_Change()
{
    scroll_enabled = false;
    front_text = back_text;

    const qint64 start = image_.image_start;
    qint64 first = (qint64(scroll_value) + start / 16) * 16;
    if (first < start)
        first = (start / 16) * 16;
    qint64 last = first + kLinesPerRedraw - 3;
    if (last > image_.image_end)
        last = image_.image_end;

    highlight_length = 0;
    render_buffer_lines(first, last);

    if (highlight_length > 0) {
        back_caret = static_cast<int>(serial_sel_start);
        back_selection = serial_checked() ? highlight_length : 0;
    }

    scroll_enabled = true;
    front_text = back_text;
    front_caret = back_caret;
    front_selection = back_selection;
    image_.store_length_text = NumberText::hex_upper(qint64(image_.image_end) + 1);
    emit redrawn();
    emit focus_front();
}

void BufferView::render_buffer_lines(qint64 first_address, qint64 last_address)
{
    qint64 marker = -1;
    int count = 0;
    if (serial_) {
        count = serial_->byte_count();
        marker = serial_->marker_address() - count;
    }
    qint64 sel = serial_sel_start;
    int hl = highlight_length;
    back_text = HexDump::text(image_, first_address, last_address, visible_lines(), marker, count, &sel, &hl);
    drawn_first = HexDump::line_of(first_address);
    drawn_stop = std::min<qint64>(drawn_first + 16 * qint64(visible_lines()), last_address);
    serial_sel_start = sel;
    highlight_length = hl;
    back_caret = 0;
    back_selection = 0;
    if (reset_progress)
        reset_progress();
    front_text = back_text;
    front_caret = back_caret;
    front_selection = back_selection;
    emit redrawn();
}

void BufferView::select_hex_digit()
{
    const QString& t = front_text;
    const int len = t.size();
    auto at = [&](int i) -> ushort { return (i >= 0 && i < len) ? t[i].unicode() : 0; };
    front_selection = 0;
    int p = std::clamp(front_caret, 0, len);
    while (p < len) {
        const ushort b2 = at(p - 2), b1 = at(p - 1), c0 = at(p), c1 = at(p + 1), c2 = at(p + 2);
        const bool first_digit = b1 == ' ' && c0 != ' ' && c1 != ' ' && c2 == ' ';
        const bool second_digit = b2 == ' ' && b1 != ' ' && c0 != ' ' && c1 == ' ';
        if ((first_digit || second_digit) && c0 >= 15 && c1 >= 15) {
            front_caret = p;
            front_selection = 1;
            emit front_changed();
            return;
        }
        ++p;
    }
    front_caret = len;
    emit front_changed();
}

void BufferView::txtBuffer2_MouseDown(int caret)
{
    front_caret = caret;
    front_selection = 0;
    select_hex_digit();
}

void BufferView::txtBuffer2_KeyPress(QChar key)
{
    if (!is_hex_key(key))
        return;
    if (!edit_confirmed && front_selection == 1) {
        if (!dialogs_ || !dialogs_->ask_yes_no(QStringLiteral("Update the buffer? / 修改缓冲区内容吗?")))
            return;
        if (!image_.file_loaded) {
            dialogs_->message_box(QStringLiteral("    Please open file./请打开文件。    "));
            return;
        }
        edit_confirmed = true;
    }
    if (front_selection != 1)
        return;
    const int p = front_caret;
    if (p < 0 || p >= front_text.size() || front_text[p] == QLatin1Char(' '))
        return;
    front_text[p] = key.toUpper();

    // The line holding the caret: its address column and the pair the caret is in.
    const int line_start = front_text.lastIndexOf(QLatin1Char('\n'), p) + 1;
    const int column = p - line_start;
    if (column >= 10) {
        const qint64 line_address = NumberText::hex_prefix_value(front_text.mid(line_start + 2, 5));
        const int pair = (column - 10) / 3;
        const int pair_pos = line_start + 10 + pair * 3;
        const qint64 address = line_address + pair;
        if (pair_pos + 1 < front_text.size() && ProgramImage::in_buffer(address)) {
            const QString digits = front_text.mid(pair_pos, 2);
            image_.program_buffer[static_cast<size_t>(address)] =
                static_cast<quint8>(NumberText::hex_prefix_value(digits) & 0xFF);
        }
    }
    Timer11.set_enabled(false);
    Timer11.set_enabled(true);
    // The typed character replaced the selection; the caret stands after it.
    front_caret = p + 1;
    front_selection = 0;
    emit front_changed();
    select_hex_digit();
}

void BufferView::Timer11_Timer()
{
    Timer11.set_enabled(false);
    edit_confirmed = false;
}

void BufferView::txtBuffer_GotFocus()
{
    if (!serial_checked()) {
        back_selection = 0;
        emit redrawn();
    }
}
