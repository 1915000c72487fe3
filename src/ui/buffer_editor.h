#pragma once
// One of the two stacked dump boxes (txtBuffer behind, txtBuffer2 in front). Ordinary typing does
// not change the text; the front box reports clicks and hex-digit keys to the window, which runs
// the editor of the buffer and redraws.

#include <QPlainTextEdit>
#include <functional>

class BufferEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit BufferEditor(QWidget* parent = nullptr);

    // Caret and one-character selection as the editor sees them: caret = selection start.
    int caret() const;
    int selection_length() const;
    void set_selection(int start, int length);

    // The text exactly as the core built it (CR LF line ends).
    void set_dump_text(const QString& crlf_text);
    QString dump_text() const { return dump_; }

    std::function<void()> on_mouse_down;         // txtBuffer2_MouseDown
    std::function<void(QChar)> on_key_press;     // txtBuffer2_KeyPress
    std::function<void()> on_focus_in;           // txtBuffer_GotFocus / txtBuffer2_GotFocus

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // The core counts CR LF as two characters; the widget stores one "\n". Offsets convert here.
    int to_widget(int core_pos) const;
    int to_core(int widget_pos) const;
    QString dump_;
};
