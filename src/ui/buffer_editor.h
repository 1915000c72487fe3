#pragma once
// One of the two stacked dump boxes (txtBuffer behind, txtBuffer2 in front). The box paints the
// lines the viewer drew straight from the program buffer, under two blank lines that the column
// labels cover, so the rows never slide under them. Ordinary typing does not change the text; the
// front box reports clicks and hex-digit keys to the window, and hands the wheel and the scrolling
// keys (arrows up and down, PageUp/PageDown, Home/End) to the viewer's scroll bar.
//
// Text positions (caret, selection) count characters of the dump text with CR LF line breaks, as
// the viewer's editor does.

#include <QRawFont>
#include <QWidget>
#include <array>
#include <functional>

class BufferView;
class ProgramImage;
class QScrollBar;

class BufferEditor : public QWidget {
    Q_OBJECT
public:
    explicit BufferEditor(QWidget* parent = nullptr);

    // What the box shows: the lines `view` drew, with the bytes of `image`.
    void set_source(const BufferView* view, const ProgramImage* image);
    // The scroll bar the wheel and the scrolling keys move.
    void set_scroll_bar(QScrollBar* bar) { bar_ = bar; }

    // Caret and one-character selection as the editor sees them: caret = selection start.
    int caret() const { return caret_; }
    int selection_length() const { return selection_; }
    void set_selection(int start, int length);

    // The text exactly as the core built it (CR LF line ends); the box paints the same lines.
    void set_dump_text(const QString& crlf_text);
    QString dump_text() const { return dump_; }

    // Layout of the painted text, in pixels of this box: left edge of column 0, top of line 0,
    // the line pitch and the width of one character.
    QPointF text_origin() const;
    qreal line_pitch() const;
    qreal char_width() const;

    std::function<void()> on_mouse_down;         // txtBuffer2_MouseDown
    std::function<void(QChar)> on_key_press;     // txtBuffer2_KeyPress
    std::function<void()> on_focus_in;           // txtBuffer_GotFocus / txtBuffer2_GotFocus

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int lines_in_text() const;
    // Draws `text` (one dump line) at `origin` with a column `cw` wide for every character.
    void draw_chars(QPainter& p, const QPointF& origin, qreal cw, const QString& text);
    int position_at(const QPointF& point) const;
    bool scroll_by_key(int key);

    const BufferView* view_ = nullptr;
    const ProgramImage* image_ = nullptr;
    QScrollBar* bar_ = nullptr;
    QString dump_;
    int caret_ = 0;
    int selection_ = 0;
    // The font's glyphs for the characters of a dump (space, digits, letters): the lines are
    // drawn glyph by glyph, without laying out text on every scroll step.
    QRawFont raw_font_;
    std::array<quint32, 128> glyphs_{};
};
