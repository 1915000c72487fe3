// frmMain: construction, layout on resize and the two-step close.

#include "ui/frm_main.h"
#include "ui/control_states.h"
#include "ui/option_panel.h"
#include "ui/status_panel.h"

#include "custom/custom_download.h"
#include "custom/user_code.h"
#include "device/numbered_board.h"
#include "device/serial_pool.h"
#include "device/workbench.h"
#include "image/buffer_store.h"
#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"
#include "isp/qt_serial_port.h"
#include "settings/settings_store.h"
#include "softice/softice_download.h"
#include "ui/buffer_editor.h"
#include "ui/gang_dialog.h"
#include "ui/window_dialogs.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>

namespace {
double screen_dpi()
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchY();
    return 96.0;
}
} // namespace

frmMain::frmMain(const Options& options, QWidget* parent)
    : QWidget(parent), tw_(screen_dpi()), calibrate_(options.calibrate), preset_device_(options.port_device)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ZVK-ISP  (zvkisp)"));
    QFont f = font();
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("DejaVu Sans")});
    f.setPointSize(9);
    setFont(f);

    if (options.dialogs) {
        dialogs_ = options.dialogs;
    } else {
        own_dialogs_ = std::make_unique<WindowDialogs>(this);
        dialogs_ = own_dialogs_.get();
    }
    SerialPort* port = options.port;
    if (!port) {
        own_port_ = std::make_unique<QtSerialPort>();
        port = own_port_.get();
    }
    wb_ = std::make_unique<Workbench>(port, dialogs_);
    option_panel_ = std::make_unique<OptionPanel>(wb_->options);
    status_panel_ = std::make_unique<StatusPanel>(wb_->status, wb_->status_report);
    states_ = std::make_unique<ControlStates>(wb_->work, *option_panel_);

    build_left_column();
    build_viewer();
    build_tab_strip();
    build_status_bar();
    setMinimumSize(tw_.px(kMinWidth - kNonClientWidth), tw_.px(kMinHeight - kNonClientHeight));

    connect(&TimerUnload, &OneShotTimer::tick, this, [this] { close(); });
    connect(&Timer4, &OneShotTimer::tick, this, [this] { close(); });

    bind_core();
    Form_Load();
}

frmMain::~frmMain()
{
    // The parts refer to each other and to the port: the users go before what they use. A gang
    // run stops and joins its ports first (its dialog reads the window's parts).
    delete gang_dialog_;
    gang_dialog_ = nullptr;
    numbered_.reset();
    serial_pool_.reset();
    softice_.reset();
    custom_.reset();
    user_code_.reset();
    store_.reset();
    loader_.reset();
    view_.reset();
    serial_.reset();
    settings_.reset();
    states_.reset();
    status_panel_.reset();
    option_panel_.reset();
    wb_.reset();
}


// ---- Layout ----------------------------------------------------------------------------------

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize()
{
    const int W0 = form_width();
    const int H0 = form_height();
    // Minimum size: snap back.
    if (W0 < kMinWidth || H0 < kMinHeight) {
        resize(tw_.px(qMax(W0, kMinWidth) - kNonClientWidth), tw_.px(qMax(H0, kMinHeight) - kNonClientHeight));
        return;
    }
    const int W = W0;
    // The status bar takes a strip off the bottom; the rest is laid out above it.
    const int H = H0 - status_bar_twips_;
    const int bar_h = tw_.px(status_bar_twips_);
    StatusBar1->setGeometry(0, height() - bar_h, width(), bar_h);
    auto geo = [this](QWidget* w, int l, int t, int wd, int h) { w->setGeometry(tw_.rect(l, t, qMax(wd, 0), qMax(h, 0))); };

    // Left column.
    const int left = 180;
    const int colw = kLeftColumnWidth;
    geo(Frame1, left, 120, colw, 960);
    geo(Frame5, left, 1140, colw, 1140);
    geo(Frame3, left, 2340, colw, 780);
    geo(Frame2, left, 3180, colw, 900);
    const int f6top = 3180 + 900 + 100;
    const int labTop = H - 800;
    geo(LabUpdataVersion, left, labTop, colw, 300);
    const int f6h = labTop - 40 - f6top;
    geo(Frame6, left, f6top, colw, f6h);
    geo(textMsg, 120, 1100, colw - 240, f6h - 1100 - 120);

    // Right side.
    const int f7left = 5890;
    const int f7top = 120;
    const int tabH = 3840;
    const int tabTop = H - 600 - tabH;
    const int f7h = tabTop - 200 - f7top;
    // While the window is at least 2000 wider than the left column the viewer grows with it;
    // a narrower window leaves the viewer and the tab strip at their last width.
    int f7w = tw_.tw(Frame7->width());
    if (W >= colw + 2000)
        f7w = W - f7left - 200;
    geo(Frame7, f7left, f7top, f7w, f7h);
    const int sbw = 255;
    const int vw = f7w - sbw - 180;
    const int vh = f7h - 380;
    geo(txtBuffer, 120, 220, vw, vh);
    if (view_)
        view_->box_height_twips = tw_.tw(txtBuffer->height());
    geo(txtBuffer2, 120, 220, vw, vh);
    geo(VScroll1, 120 + vw, 220, sbw, vh);
    // The two labels lie over the two blank lines the dump starts with.
    {
        const QFontMetrics fm(txtBuffer2->font());
        const QPointF origin = txtBuffer2->text_origin();
        const qreal cw = txtBuffer2->char_width();
        const int x0 = txtBuffer2->x() + qRound(origin.x());
        const int y0 = txtBuffer2->y() + qRound(origin.y() + (2 * txtBuffer2->line_pitch() - fm.height()) / 2);
        txtBufferAddress[0]->setGeometry(x0 + qRound(cw), y0, qRound(6 * cw) + 8, fm.height());
        txtBufferAddress[1]->setGeometry(x0 + qRound(10 * cw), y0, qRound(48 * cw) + 4, fm.height());
        txtBufferAddress[0]->raise();
        txtBufferAddress[1]->raise();
    }

    // Tab strip and page container.
    const int tabw = tw_.tw(Frame7->width());
    geo(TabStripBox, f7left, tabTop, tabw, tabH);
    TabStrip1->setGeometry(tw_.px(f7left) + 2, tw_.px(tabTop) + 2, tw_.px(tabw) - 4, tw_.px(320));
    const int picL = f7left + 25;
    const int picT = tabTop + 320;
    const int picW = tabw - 50;
    const int picH = tabH - 350;
    geo(Picture1, picL, picT, picW, picH);
    for (QGroupBox* page : pages)
        geo(page, 65, 30, picW - 130, picH - 100);
    TabStrip1->raise();
    fit_tab_font();
}

// ---- Close -----------------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event)
{
    // Form_QueryUnload: release the port and stop whatever runs (a gang run too).
    if (gang_dialog_)
        gang_dialog_->stop_all();
    wb_->link.close_port();
    wb_->stop_run.stop_download();
    custom_->stop_custom();
    wb_->programmer.closing_requested = true;
    if (!closing_requested_) {
        closing_requested_ = true;
        TimerUnload.start();
        event->ignore();
        return;
    }
    closing_requested_ = true;

    // Form_Unload.
    wb_->link.close_port();
    wb_->link.close_port_on_exit();
    unloaded_ = true;
    event->accept();
    emit unloaded();
}
