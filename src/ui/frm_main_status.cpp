// frmMain: the status bar (port, baud, model, file, and the figures of a running programming)
// and the tab captions' font.

#include "ui/frm_main.h"

#include "device/workbench.h"
#include "ui/clock_text.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>

namespace {

void set_label(QLabel* label, const QString& text, const QString& tip = QString())
{
    if (label->text() != text)
        label->setText(text);
    if (label->toolTip() != tip)
        label->setToolTip(tip);
}

} // namespace

void frmMain::build_status_bar()
{
    StatusBar1 = reg(new QStatusBar(this), QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    auto label = [this](const char* name, int stretch) {
        auto* l = reg(new QLabel(StatusBar1), QString::fromLatin1(name));
        StatusBar1->addWidget(l, stretch);
        return l;
    };
    labStatusPort = label("labStatusPort", 0);
    labStatusBaud = label("labStatusBaud", 0);
    labStatusModel = label("labStatusModel", 0);
    labStatusFile = label("labStatusFile", 1);
    labStatusProgress = reg(new QLabel(StatusBar1), QStringLiteral("labStatusProgress"));
    StatusBar1->addPermanentWidget(labStatusProgress);
    labStatusProgress->setVisible(false);
    status_bar_twips_ = tw_.tw(StatusBar1->sizeHint().height());
}

void frmMain::update_status_bar()
{
    if (!StatusBar1 || !wb_)
        return;
    set_label(labStatusPort, QStringLiteral("Port/串口: %1").arg(combCommPort->currentText().trimmed()),
              wb_->link.port_device());
    // The negotiated baud while connected, the chosen highest one otherwise.
    if (wb_->results.connected && wb_->link.port_open() && wb_->link.current_baud() > 0)
        set_label(labStatusBaud, QStringLiteral("Baud/波特率: %1").arg(wb_->link.current_baud()));
    else
        set_label(labStatusBaud, QStringLiteral("Max baud/最高波特率: %1").arg(cobBaudMax->currentText()));
    set_label(labStatusModel, QStringLiteral("Model/型号: %1").arg(combMcuModel->currentText()));
    const QString path = wb_->image.file_path;
    set_label(labStatusFile,
              QStringLiteral("File/文件: %1").arg(path.isEmpty() ? QStringLiteral("-") : QFileInfo(path).fileName()),
              path);
}

void frmMain::update_progress_status()
{
    const Progress& p = wb_->work.progress();
    if (!p.visible || p.maximum <= p.minimum) {
        progress_clock_.invalidate();
        labStatusProgress->clear();
        labStatusProgress->setVisible(false);
        return;
    }
    if (!progress_clock_.isValid())
        progress_clock_.start();
    // The bar counts bytes or 256-byte units of the used range; the figures are in bytes.
    const ProgramImage& im = wb_->image;
    const qint64 total = qMax<qint64>(0, qint64(im.image_end) - im.image_start + 1);
    const double part = qBound(0.0, double(p.value - p.minimum) / double(p.maximum - p.minimum), 1.0);
    const qint64 done = qMin(total, qint64(part * double(total) + 0.5));
    const qint64 elapsed = progress_clock_.elapsed();
    const QString left = part > 0 ? clock_text(qint64(elapsed * (1.0 - part) / part)) : QStringLiteral("-:--");
    labStatusProgress->setText(QStringLiteral("%1/%2 bytes/字节  %3%  %4 elapsed/已用  %5 left/剩余")
                                   .arg(done)
                                   .arg(total)
                                   .arg(int(part * 100.0))
                                   .arg(clock_text(elapsed), left));
    labStatusProgress->setVisible(true);
}

void frmMain::reset_progress_after_operation()
{
    // An operation that ended (done, failed or stopped) leaves no bar standing; the kilobyte
    // label keeps what the operation last wrote.
    Progress p = wb_->work.progress();
    if (!p.visible && !progress_clock_.isValid())
        return;
    p.visible = false;
    p.value = p.minimum;
    wb_->work.set_progress(p);
}

void frmMain::fit_tab_font()
{
    const int room = TabStrip1->width();
    QFont f = font();
    for (qreal pt = f.pointSizeF(); pt > 6.0; pt -= 0.5) {
        f.setPointSizeF(pt);
        if (TabStrip1->font() != f)
            TabStrip1->setFont(f);
        if (TabStrip1->sizeHint().width() <= room)
            break;
    }
    // The tabs' own height, down to the page container's top or a little over it.
    TabStrip1->resize(room, qMax(tw_.px(320), TabStrip1->sizeHint().height()));
}

void frmMain::apply_progress()
{
    const Progress& p = wb_->work.progress();
    ProgressBar1->setRange(p.minimum, qMax(p.minimum, p.maximum));
    ProgressBar1->setValue(qBound(p.minimum, p.value, qMax(p.minimum, p.maximum)));
    // The bar ends flush with the right edge of Re-Download.
    const int right = tw_.tw(comDownload[1]->x() + comDownload[1]->width());
    const int left = p.fill_grid ? 1440 : 840;   // twips
    ProgressBar1->setGeometry(tw_.px(left), ProgressBar1->y(), qMax(1, tw_.px(right - left)),
                              ProgressBar1->height());
    ProgressBar1->setVisible(p.visible);
    labKbyte->setText(p.kbyte_text);
    update_progress_status();
}
