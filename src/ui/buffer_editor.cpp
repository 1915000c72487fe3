#include "ui/buffer_editor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>

BufferEditor::BufferEditor(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
}

int BufferEditor::to_widget(int core_pos) const
{
    // Every CR LF before core_pos is one character in the widget.
    int crlf = 0;
    const int n = qMin(core_pos, int(dump_.size()));
    for (int i = 0; i < n; ++i)
        if (dump_.at(i) == QLatin1Char('\r'))
            ++crlf;
    return core_pos - crlf;
}

int BufferEditor::to_core(int widget_pos) const
{
    int w = 0;
    int i = 0;
    while (i < dump_.size() && w < widget_pos) {
        if (dump_.at(i) == QLatin1Char('\r') && i + 1 < dump_.size() && dump_.at(i + 1) == QLatin1Char('\n'))
            i += 2;
        else
            ++i;
        ++w;
    }
    return i;
}

int BufferEditor::caret() const
{
    return to_core(textCursor().selectionStart());
}

int BufferEditor::selection_length() const
{
    const QTextCursor c = textCursor();
    return to_core(c.selectionEnd()) - to_core(c.selectionStart());
}

void BufferEditor::set_selection(int start, int length)
{
    QTextCursor c = textCursor();
    const int a = to_widget(qBound(0, start, int(dump_.size())));
    const int b = to_widget(qBound(0, start + qMax(0, length), int(dump_.size())));
    c.setPosition(a);
    c.setPosition(b, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void BufferEditor::set_dump_text(const QString& crlf_text)
{
    if (crlf_text == dump_)
        return;
    dump_ = crlf_text;
    QString plain = crlf_text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(plain);
}

void BufferEditor::keyPressEvent(QKeyEvent* event)
{
    const QString t = event->text();
    if (t.size() == 1 && t.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (on_key_press)
            on_key_press(t.at(0));
        event->accept();
        return;
    }
    // Navigation keys move the caret; nothing else edits the text.
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        QPlainTextEdit::keyPressEvent(event);
        return;
    default:
        event->ignore();
    }
}

void BufferEditor::mousePressEvent(QMouseEvent* event)
{
    QPlainTextEdit::mousePressEvent(event);
}

void BufferEditor::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    // The digit is picked once the caret has landed where the click put it.
    if (event->button() == Qt::LeftButton && on_mouse_down)
        on_mouse_down();
}

void BufferEditor::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    if (on_focus_in)
        on_focus_in();
}
