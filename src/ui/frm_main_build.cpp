// Construction of the left column, the buffer viewer and the tab strip of frmMain.
// Positions inside the frames are design positions in twips.

#include "ui/buffer_editor.h"
#include "ui/frm_main.h"

#include "models/model_catalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>

namespace {
QString idx(const char* name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// The application's style with a third of the usual space beside a tab's caption.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value / 3 : value;
    }
};
} // namespace

void frmMain::build_left_column()
{
    // Step 1: model.
    Frame1 = reg(new QGroupBox(QStringLiteral("Step1/步骤1: Select MCU Type  选择单片机型号"), this),
                 QStringLiteral("Frame1"));
    combMcuModel = reg(new QComboBox(Frame1), QStringLiteral("combMcuModel"));
    combMcuModel->setEditable(true);
    combMcuModel->setInsertPolicy(QComboBox::NoInsert);
    combMcuModel->addItems(McuModelTable::list_names());
    place(combMcuModel, 150, 330, 2150, 330);
    auto* labAp = new QLabel(QStringLiteral("AP Memory"), Frame1);
    place(labAp, 2420, 350, 1000, 270);
    for (int i = 0; i < 4; ++i) {
        txtISP_reange[i] = reg(new QLineEdit(Frame1), idx("txtISP_reange", i));
        txtISP_reange[i]->setReadOnly(true);
        txtISP_reange[i]->setAlignment(Qt::AlignCenter);
        const int row_top = i < 2 ? 330 : 660;
        place(txtISP_reange[i], i % 2 == 0 ? 3450 : 4420, row_top, 780, 300);
    }
    for (int row = 0; row < 2; ++row) {
        auto* dash = new QLabel(QStringLiteral("-"), Frame1);
        dash->setAlignment(Qt::AlignCenter);
        place(dash, 4230, row == 0 ? 350 : 680, 190, 270);
    }

    // Step 2: file.
    Frame5 = reg(new QGroupBox(QStringLiteral("Step2/步骤2: Open File / 打开文件"), this), QStringLiteral("Frame5"));
    comLoadFile = reg(new QPushButton(QStringLiteral("Open File/打开文件"), Frame5), QStringLiteral("comLoadFile"));
    place(comLoadFile, 150, 280, 1750, 500);
    // The files opened last, under the button.
    comRecentFiles = reg(new QToolButton(Frame5), QStringLiteral("comRecentFiles"));
    comRecentFiles->setText(QStringLiteral("Recent/最近文件"));
    comRecentFiles->setAutoRaise(true);
    comRecentFiles->setPopupMode(QToolButton::InstantPopup);
    comRecentFiles->setToolTip(QStringLiteral("Open a file opened before / 打开最近打开过的文件"));
    place(comRecentFiles, 150, 820, 1750, 270);
    Check6 = reg(new QCheckBox(QStringLiteral("Clear Buffer"), Frame5), QStringLiteral("Check6"));
    Check6->setChecked(true);
    place(Check6, 2050, 280, 2000, 270);
    auto* labStart = new QLabel(QStringLiteral("Buffer Start Address(HEX):"), Frame5);
    place(labStart, 2050, 560, 2350, 270);
    Text4 = reg(new QLineEdit(QStringLiteral("0"), Frame5), QStringLiteral("Text4"));
    place(Text4, 4450, 540, 950, 300);
    auto* labFill = new QLabel(QStringLiteral("Unused Bytes(in file range):"), Frame5);
    place(labFill, 2050, 840, 2280, 270);
    auto* fillBox = new QWidget(Frame5);
    place(fillBox, 4330, 830, 1230, 290);
    optFillbyte[0] = reg(new QRadioButton(QStringLiteral("FF"), fillBox), idx("optFillbyte", 0));
    optFillbyte[1] = reg(new QRadioButton(QStringLiteral("00"), fillBox), idx("optFillbyte", 1));
    place(optFillbyte[0], 20, 10, 590, 270);
    place(optFillbyte[1], 620, 10, 600, 270);
    optFillbyte[1]->setChecked(true);

    // Step 3: port and baud.
    Frame3 = reg(new QGroupBox(QStringLiteral("Step3/步骤3: Select COM Port,Max Baud/选择串行口,最高波特率"), this),
                 QStringLiteral("Frame3"));
    combCommPort = reg(new QComboBox(Frame3), QStringLiteral("combCommPort"));
    combCommPort->setEditable(true);
    combCommPort->setInsertPolicy(QComboBox::NoInsert);
    combCommPort->setToolTip(QStringLiteral("COM1..COM8, or type a device path such as /dev/ttyUSB0 or /dev/pts/3 / "
                                            "COM1..COM8, 或输入设备路径, 例如 /dev/ttyUSB0 或 /dev/pts/3"));
    place(combCommPort, 150, 320, 2850, 330);
    LabMaxBaud = reg(new QLabel(QStringLiteral("Max Buad:"), Frame3), QStringLiteral("LabMaxBaud"));
    place(LabMaxBaud, 3130, 345, 900, 270);
    cobBaudMax = reg(new QComboBox(Frame3), QStringLiteral("cobBaudMax"));
    cobBaudMax->addItems({QStringLiteral("115200"), QStringLiteral("57600"), QStringLiteral("38400"),
                          QStringLiteral("28800"), QStringLiteral("19200"), QStringLiteral("14400"),
                          QStringLiteral("12800"), QStringLiteral("11520"), QStringLiteral("9600"),
                          QStringLiteral("4800"), QStringLiteral("2400"), QStringLiteral("1200")});
    place(cobBaudMax, 4050, 320, 1350, 330);

    // Step 4: option rows (laid out by the option panel).
    Frame2 = reg(new QGroupBox(QStringLiteral("Step4/步骤4: Double Speed  设置双倍速, 缺省为普通速度"), this),
                 QStringLiteral("Frame2"));
    build_option_rows();

    // Step 5: download and the log.
    Frame6 = reg(new QGroupBox(QStringLiteral("Step5/步骤5: Download/下载  先点下载按钮再MCU上电复位-冷启动"), this),
                 QStringLiteral("Frame6"));
    comDownload[0] = reg(new QPushButton(QStringLiteral("Download/下载"), Frame6), idx("comDownload", 0));
    comDownload[1] = reg(new QPushButton(QStringLiteral("Re-Download/重复下载"), Frame6), idx("comDownload", 1));
    comStop_Download = reg(new QPushButton(QStringLiteral("Stop/停止"), Frame6), QStringLiteral("comStop_Download"));
    place(comDownload[0], 120, 290, 1550, 450);
    place(comDownload[1], 1730, 290, 2070, 450);
    place(comStop_Download, 3880, 290, 1550, 450);
    // Several ports at once: right of the progress bar, which ends at Re-Download's right edge.
    comGang = reg(new QPushButton(QStringLiteral("Gang.../多口"), Frame6), QStringLiteral("comGang"));
    comGang->setToolTip(QStringLiteral("Program one board per port on several ports at the same time / "
                                       "多个串口同时下载, 每个串口一块板"));
    place(comGang, 3880, 775, 1550, 300);
    labKbyte = reg(new QLabel(QStringLiteral("0.000K"), Frame6), QStringLiteral("labKbyte"));
    place(labKbyte, 60, 800, 780, 270);
    ProgressBar1 = reg(new QProgressBar(Frame6), QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setVisible(false);
    place(ProgressBar1, 840, 810, 3800 - 840, 240);
    textMsg = reg(new QPlainTextEdit(Frame6), QStringLiteral("textMsg"));
    textMsg->setReadOnly(true);
    textMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    LabUpdataVersion = reg(new QLabel(this), QStringLiteral("LabUpdataVersion"));
    LabUpdataVersion->setText(QStringLiteral("zvkisp 0.1.0  ·  ZVK-ISP in-system programming / 在线编程"));

    // Focus sink, last in the tab order.
    Text1 = reg(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setGeometry(0, 0, 1, 1);
    Text1->setFrame(false);
    Text1->setReadOnly(true);
}

void frmMain::build_option_rows()
{
    for (int i = 0; i < 8; ++i) {
        Picture2[i] = reg(new QWidget(Frame2), idx("Picture2", i));
        LabOption[i] = reg(new QLabel(Picture2[i]), idx("LabOption", i));
        for (int j = 0; j < 2; ++j) {
            Option[i][j] = reg(new QRadioButton(Picture2[i]), QStringLiteral("Option%1(%2)").arg(i).arg(j));
            Option[i][j]->setAutoExclusive(false);   // the panel decides what is selected
        }
        Picture2[i]->setVisible(false);
    }
    for (int i = 0; i < 2; ++i) {
        LabOptionC[i] = reg(new QLabel(Frame2), idx("LabOptionC", i));
        LabOptionC[i]->setVisible(false);
    }
    Label7 = reg(new QLabel(QStringLiteral("5V 单片机 24MHz 以下、3V单片机 16MHz 以下选 1/2 gain"), Frame2),
                 QStringLiteral("Label7"));
    Label7->setVisible(false);
}

void frmMain::build_viewer()
{
    Frame7 = reg(new QGroupBox(QStringLiteral("File: "), this), QStringLiteral("Frame7"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(qMax(9, tw_.px(150)));
    txtBuffer = reg(new BufferEditor(Frame7), QStringLiteral("txtBuffer"));
    txtBuffer2 = reg(new BufferEditor(Frame7), QStringLiteral("txtBuffer2"));
    txtBuffer->setFont(mono);
    txtBuffer2->setFont(mono);
    // The front box paints every line; the back box only keeps the dump it was given.
    txtBuffer->setVisible(false);
    txtBuffer2->setToolTip(QStringLiteral("点击, 当一个字符高亮时可以修改缓冲区"));
    VScroll1 = reg(new QScrollBar(Qt::Vertical, Frame7), QStringLiteral("VScroll1"));
    VScroll1->setMinimum(0);
    VScroll1->setMaximum(64);
    txtBuffer2->set_scroll_bar(VScroll1);
    txtBufferAddress[0] = reg(new QLabel(QStringLiteral("地 址"), Frame7), idx("txtBufferAddress", 0));
    txtBufferAddress[1] = reg(new QLabel(QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F "), Frame7),
                              idx("txtBufferAddress", 1));
    txtBufferAddress[1]->setFont(mono);
    txtBufferAddress[0]->setFont(mono);
}

void frmMain::build_tab_strip()
{
    TabStripBox = new QFrame(this);
    TabStripBox->setFrameShape(QFrame::StyledPanel);
    TabStrip1 = reg(new QTabBar(this), QStringLiteral("TabStrip1"));
    // Narrow tab margins, so the eight captions fit the strip (fit_tab_font picks the font).
    auto* compact = new CompactTabStyle;
    compact->setParent(this);
    TabStrip1->setStyle(compact);
    TabStrip1->setDrawBase(false);
    TabStrip1->setExpanding(false);
    TabStrip1->setUsesScrollButtons(true);
    struct Tab {
        const char* caption;
        const char* key;
    };
    static const Tab tabs[8] = {
        {"选项", "options"},   {"自定义下载", "user_code"},     {"ISP DEMO", "ISP DEMO"}, {"检查MCU选项", ""},
        {"自动增量", ""},      {"存储文件", "store_buffer"}, {"硬件帮助", ""},         {"仿真芯片", "softICE"},
    };
    for (int i = 0; i < 8; ++i) {
        TabStrip1->addTab(QString::fromUtf8(tabs[i].caption));
        TabStrip1->setTabData(i, QString::fromUtf8(tabs[i].key));
    }
    TabStrip1->setTabToolTip(2, QStringLiteral("ISP DEMO 是下载示例程序"));

    Picture1 = reg(new QWidget(this), QStringLiteral("Picture1"));
    auto page = [this](const char* name, const QString& caption) {
        auto* g = reg(new QGroupBox(caption, Picture1), QString::fromLatin1(name));
        g->setVisible(false);
        return g;
    };
    Frame12 = page("Frame12", QString());
    Frame8 = page("Frame8", QStringLiteral("自定义下载是为了实现用户程序运行中,不停电下载,无需冷启动"));
    Frame11 = page("Frame11", QString());
    Frame4 = page("Frame4", QString());
    fraAuto_Increase = page("fraAuto_Increase", QStringLiteral("自动增量可以给 MCU 及产品编号"));
    Frame9 = page("Frame9", QString());
    fraAboutHardWare = page("fraAboutHardWare", QString());
    Frame10 = page("Frame10", QString());
    pages = {Frame12, Frame8, Frame11, Frame4, fraAuto_Increase, Frame9, fraAboutHardWare, Frame10};

    // The pages share one rectangle; build them at the design size.
    for (QGroupBox* g : pages)
        place(g, 65, 30, 5730, 3390);
    build_page_options(Frame12);
    build_page_user_code(Frame8);
    build_page_isp_demo(Frame11);
    build_page_test_option(Frame4);
    build_page_auto_increase(fraAuto_Increase);
    build_page_store(Frame9);
    build_page_hardware(fraAboutHardWare);
    build_page_softice(Frame10);
}
