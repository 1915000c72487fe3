#pragma once
// The hexadecimal dump of the program buffer and its one-digit editor, as text: the window only
// draws `front_text` (txtBuffer2) with `front_caret` / `front_selection`, feeds clicks and keys in,
// and maps the scroll fields onto its scroll bar.
//
// Text positions count characters of the dump text, where every line break is CR LF (two).

#include "base/one_shot_timer.h"

#include <QObject>
#include <QString>
#include <functional>

class ProgramImage;
class SerialNumber;
class UserDialogs;

class BufferView : public QObject {
    Q_OBJECT
public:
    static constexpr int kTwipsPerLine = 194;
    static constexpr int kLinesPerRedraw = 992;   // addresses a redraw asks for (minus 3)

    // Follows the image (a refresh of its used range redraws, a clear starts over at the top)
    // and the serial number (its highlight, and a scroll to it when it is written).
    BufferView(ProgramImage& image, SerialNumber* serial, UserDialogs* dialogs, QObject* parent = nullptr);

    // ---- VScroll1 ------------------------------------------------------------------------------
    int scroll_min = 0;
    int scroll_max = 64;         // may fall below scroll_min for a short used range
    int scroll_value = 0;
    int small_change = 1;
    int large_change = 16;
    bool scroll_enabled = true;
    // Sets the value (kept between min and max) and redraws, as a scroll step does.
    void set_scroll_value(int value);
    // Sets the maximum; a value outside the new range is pulled back into it.
    void set_scroll_max(int maximum);
    bool scroll_value_valid(qint64 value) const;

    // ---- txtBuffer (back) and txtBuffer2 (front) -------------------------------------------------
    double box_height_twips = 4850;   // height of txtBuffer: decides the lines drawn
    QString back_text;
    int back_caret = 0;
    int back_selection = 0;
    QString front_text;
    int front_caret = 0;
    int front_selection = 0;
    qint64 serial_sel_start = 0;
    int highlight_length = 0;

    // Lines one redraw builds: height / 194 rounded to the nearest integer (half to even).
    int visible_lines() const;

    // ---- Editing ----------------------------------------------------------------------------------
    bool edit_confirmed = false;
    OneShotTimer Timer11{QStringLiteral("Timer11"), 20000};

    // ---- Procedures --------------------------------------------------------------------------
    // The start-up clear: every byte `value`, used range 0..1023, scroll 0..64, lines 0..991 drawn.
    void clear_program_buffer(quint8 value);
    void VScroll1_Change();
    void render_buffer_lines(qint64 first_address, qint64 last_address);
    void select_hex_digit();
    void txtBuffer2_MouseDown(int caret);
    // A typed character; anything but 0-9, a-f, A-F changes nothing.
    void txtBuffer2_KeyPress(QChar key);
    void Timer11_Timer();
    void txtBuffer_GotFocus();
    void txtBuffer2_GotFocus() { txtBuffer_GotFocus(); }

    // The lines the last render drew: the address of the first and the last address shown
    // (drawn_stop < drawn_first when no line was drawn). A window paints them from the buffer.
    qint64 drawn_first = 0;
    qint64 drawn_stop = -1;

    // Resets the main window's progress bar and kilobyte label (every render does).
    std::function<void()> reset_progress;

signals:
    // The texts, caret, selection or scroll fields changed: redraw.
    void redrawn();
    // txtBuffer2 takes the focus.
    void focus_front();
    // The front text was edited in place (a digit typed) or its caret/selection moved.
    void front_changed();

private:
    // The image's used range changed: the scroll range follows, the view redraws where it is.
    void on_refreshed();
    // After the buffer was cleared: scroll 0..64, the first 992 addresses drawn.
    void on_cleared();
    // The serial number was written: the view scrolls to it.
    void scroll_to_serial_number();
    bool serial_checked() const;
    ProgramImage& image_;
    UserDialogs* dialogs_;
    SerialNumber* serial_;
};
