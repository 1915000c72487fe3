#include "ui/buffer_editor.h"

#include "ui/buffer_view.h"
#include "image/program_image.h"
#include "image/hex_dump.h"

#include <QCoreApplication>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cmath>

namespace {
// The dump text: two blank lines (CR LF CR LF), then lines of 58 characters plus CR LF.
constexpr int kHeadChars = 4;
constexpr int kLineChars = 60;
constexpr int kMargin = 3;   // pixels between the frame and the text

// First text position of text line `line` (0 and 1 are the blank lines).
int line_position(int line)
{
    return line < 2 ? line * 2 : kHeadChars + (line - 2) * kLineChars;
}
} // namespace

BufferEditor::BufferEditor(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
}

void BufferEditor::set_source(const BufferView* view, const ProgramImage* image)
{
    view_ = view;
    image_ = image;
    update();
}

void BufferEditor::set_selection(int start, int length)
{
    caret_ = qBound(0, start, int(dump_.size()));
    selection_ = qBound(0, length, int(dump_.size()) - caret_);
    update();
}

void BufferEditor::set_dump_text(const QString& crlf_text)
{
    dump_ = crlf_text;
    update();
}

int BufferEditor::lines_in_text() const
{
    return int(dump_.count(QLatin1String("\r\n")));
}

QPointF BufferEditor::text_origin() const
{
    return QPointF(kMargin + 1, kMargin);
}

qreal BufferEditor::line_pitch() const
{
    // Every line the viewer drew fits the box: the pitch shrinks below the font's line spacing
    // when needed, down to what the digits (no descenders) still need.
    // The most lines a redraw gives: the two blank ones, the box's lines and one more that the
    // viewer starts at the last address it shows.
    const QFontMetricsF fm(font());
    const int lines = qMax(1, view_ ? view_->visible_lines() + 3 : lines_in_text());
    const qreal fit = (height() - 2 * kMargin) / qreal(lines);
    return qMax(fm.capHeight() + 2, qMin(fm.lineSpacing(), fit));
}

qreal BufferEditor::char_width() const
{
    return QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
}

void BufferEditor::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
    if (!view_ || !image_)
        return;

    p.setClipRect(rect().adjusted(1, 1, -1, -1));
    const QFontMetricsF fm(font());
    const QPointF origin = text_origin();
    const qreal pitch = line_pitch();
    const qreal cw = char_width();
    const qreal baseline = (pitch - fm.capHeight()) / 2 + fm.capHeight();
    const int sel_from = caret_;
    const int sel_to = caret_ + selection_;
    const QPalette& pal = palette();
    const QColor text_color = pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);

    // The lines from the buffer, as the viewer drew them; a line's text never outlives the paint.
    QString line;
    const int lines = lines_in_text();
    for (int l = 2; l < lines; ++l) {
        const qint64 address = view_->drawn_first + qint64(l - 2) * 16;
        if (address > view_->drawn_stop)
            break;
        const qreal top = origin.y() + l * pitch;
        if (top > height())
            break;
        line.clear();
        HexDump::append_line(line, *image_, address, view_->drawn_stop);
        const int start = line_position(l);
        const int a = qBound(0, sel_from - start, int(line.size()));
        const int b = qBound(0, sel_to - start, int(line.size()));
        const qreal y = top + baseline;
        p.setPen(text_color);
        if (b <= a) {
            draw_chars(p, QPointF(origin.x(), y), cw, line);
            continue;
        }
        draw_chars(p, QPointF(origin.x(), y), cw, line.left(a));
        draw_chars(p, QPointF(origin.x() + b * cw, y), cw, line.mid(b));
        const QRectF marked(origin.x() + a * cw, top, (b - a) * cw, pitch);
        p.fillRect(marked, pal.brush(QPalette::Active, QPalette::Highlight));
        p.setPen(pal.color(QPalette::Active, QPalette::HighlightedText));
        draw_chars(p, QPointF(marked.left(), y), cw, line.mid(a, b - a));
    }
    // The caret when nothing is selected.
    if (hasFocus() && selection_ == 0 && caret_ >= kHeadChars) {
        const int l = 2 + (caret_ - kHeadChars) / kLineChars;
        const int column = qMin((caret_ - kHeadChars) % kLineChars, 58);
        const qreal x = origin.x() + column * cw;
        p.setPen(text_color);
        p.drawLine(QPointF(x, origin.y() + l * pitch + 1), QPointF(x, origin.y() + (l + 1) * pitch - 1));
    }
}

void BufferEditor::draw_chars(QPainter& p, const QPointF& origin, qreal cw, const QString& text)
{
    if (!raw_font_.isValid()) {
        raw_font_ = QRawFont::fromFont(font());
        for (ushort c = 32; c < 128; ++c)
            glyphs_[c] = raw_font_.glyphIndexesForString(QString(QChar(c))).value(0);
    }
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const ushort c = text.at(i).unicode();
        if (c > 32 && c < 128) {
            glyphs << glyphs_[c];
            positions << QPointF(qRound(origin.x() + i * cw), 0);   // whole pixels: cached glyphs
        }
    }
    if (glyphs.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(raw_font_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.drawGlyphRun(QPointF(0, qRound(origin.y())), run);
}

void BufferEditor::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        raw_font_ = QRawFont();
}

int BufferEditor::position_at(const QPointF& point) const
{
    const QPointF origin = text_origin();
    const int lines = lines_in_text();
    const int l = int(std::floor((point.y() - origin.y()) / line_pitch()));
    if (l < 2)
        return line_position(qMax(0, l));
    if (l >= lines)
        return int(dump_.size());
    const int start = line_position(l);
    const int end = int(dump_.indexOf(QLatin1String("\r\n"), start));
    const int column = int(std::lround((point.x() - origin.x()) / char_width()));
    return start + qBound(0, column, (end < 0 ? int(dump_.size()) : end) - start);
}

bool BufferEditor::scroll_by_key(int key)
{
    if (!bar_)
        return false;
    QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
    switch (key) {
    case Qt::Key_Up: action = QAbstractSlider::SliderSingleStepSub; break;
    case Qt::Key_Down: action = QAbstractSlider::SliderSingleStepAdd; break;
    case Qt::Key_PageUp: action = QAbstractSlider::SliderPageStepSub; break;
    case Qt::Key_PageDown: action = QAbstractSlider::SliderPageStepAdd; break;
    case Qt::Key_Home: action = QAbstractSlider::SliderToMinimum; break;
    case Qt::Key_End: action = QAbstractSlider::SliderToMaximum; break;
    default: return false;
    }
    if (bar_->isEnabled())
        bar_->triggerAction(action);
    return true;
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
    if (scroll_by_key(event->key())) {
        event->accept();
        return;
    }
    // Left and Right step to the digit before or after the selected one.
    if ((event->key() == Qt::Key_Right || event->key() == Qt::Key_Left) && on_mouse_down) {
        const int from = caret_;
        if (event->key() == Qt::Key_Right) {
            set_selection(from + 1, 0);
            on_mouse_down();
        } else {
            for (int p = from - 1; p >= 0; --p) {
                set_selection(p, 0);
                on_mouse_down();
                if (caret_ < from && selection_ == 1)
                    break;
            }
            if (caret_ >= from || selection_ != 1) {
                set_selection(from, 0);
                on_mouse_down();
            }
        }
        event->accept();
        return;
    }
    event->ignore();
}

void BufferEditor::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        set_selection(position_at(event->position()), 0);
}

void BufferEditor::mouseReleaseEvent(QMouseEvent* event)
{
    // The digit is picked once the caret has landed where the click put it.
    if (event->button() == Qt::LeftButton && on_mouse_down)
        on_mouse_down();
}

void BufferEditor::wheelEvent(QWheelEvent* event)
{
    if (bar_ && bar_->isEnabled())
        QCoreApplication::sendEvent(bar_, event);
    else
        event->ignore();
}

void BufferEditor::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
    if (on_focus_in)
        on_focus_in();
}

void BufferEditor::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
