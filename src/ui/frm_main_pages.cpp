// The eight pages of the tab strip. Every page is built at the shared page size (5730 x 3390
// twips); positions are design positions in twips.

#include "ui/frm_main.h"

#include "isp/power_cycle.h"
#include "settings/combo_lists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
QString idx(const char* name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

} // namespace

void frmMain::build_page_options(QGroupBox* page)
{
    // A pair of option buttons lives in its own borderless container, so each pair is exclusive.
    // Captions on the left, the choices in one column from 3000 to 5700.
    // A row's caption, with the English beside the Chinese in its tooltip.
    auto row = [&](int top, const QString& caption, QWidget* box, const QString& tip = QString()) {
        auto* lab = new QLabel(caption, page);
        place(lab, 120, top + 15, 2870, 270);
        place(box, 3000, top, 2700, 300);
        lab->setToolTip(tip);
        box->setToolTip(tip);
        return box;
    };
    auto pair = [&](QWidget* box, QRadioButton*& a, const QString& na, const QString& ta, QRadioButton*& b,
                    const QString& nb, const QString& tb, int width_a = 800) {
        a = reg(new QRadioButton(ta, box), na);
        b = reg(new QRadioButton(tb, box), nb);
        place(a, 0, 15, width_a, 270);
        place(b, width_a + 50, 15, 2700 - width_a - 50, 270);
    };

    // The pin list follows its caption; the two choices stand in the column of the other rows.
    auto* labWdt = new QLabel(QStringLiteral("外部看门狗 / WDT pin:"), page);
    labWdt->setToolTip(QStringLiteral("An external watchdog fed from one I/O pin during the download / "
                                      "下载时用1个I/O口喂外部看门狗"));
    place(labWdt, 120, 255, 1870, 270);
    picWDT = reg(new QWidget(page), QStringLiteral("picWDT"));
    place(picWDT, 2000, 240, 3700, 300);
    comb_WDT = reg(new QComboBox(picWDT), QStringLiteral("comb_WDT"));
    comb_WDT->addItems(ComboLists::wdt_pins());
    place(comb_WDT, 0, 0, 900, 300);
    opt_ISP_DEMO_WDT[0] = reg(new QRadioButton(QStringLiteral("无"), picWDT), idx("opt_ISP_DEMO_WDT", 0));
    opt_ISP_DEMO_WDT[1] = reg(new QRadioButton(QStringLiteral("用1个I/O口喂狗"), picWDT), idx("opt_ISP_DEMO_WDT", 1));
    place(opt_ISP_DEMO_WDT[0], 1000, 15, 650, 270);
    place(opt_ISP_DEMO_WDT[1], 1650, 15, 1800, 270);
    opt_ISP_DEMO_WDT[0]->setChecked(true);

    auto* eraseBox = new QWidget(page);
    row(560, QStringLiteral("擦除 AP 区时一并擦除 data flash 区:"), eraseBox,
        QStringLiteral("Erase the data flash with the AP area / 擦除 AP 区时一并擦除 data flash 区"));
    pair(eraseBox, opt_erase_data[0], idx("opt_erase_data", 0), QStringLiteral("YES"), opt_erase_data[1],
         idx("opt_erase_data", 1), QStringLiteral("NO"));
    opt_erase_data[1]->setChecked(true);

    auto* p10Box = new QWidget(page);
    row(880, QStringLiteral("下载时 P1.0, P1.1 须短路到地:"), p10Box,
        QStringLiteral("P1.0 and P1.1 must be tied to ground for a download / 下载时 P1.0, P1.1 须短路到地"));
    pair(p10Box, optShot_P10_P11_to_GND[0], idx("optShot_P10_P11_to_GND", 0), QStringLiteral("YES"),
         optShot_P10_P11_to_GND[1], idx("optShot_P10_P11_to_GND", 1), QStringLiteral("NO"));
    optShot_P10_P11_to_GND[1]->setChecked(true);

    picExtRAM = reg(new QWidget(page), QStringLiteral("picExtRAM"));
    row(1200, QStringLiteral("内部扩展RAM (AUX-RAM):"), picExtRAM,
        QStringLiteral("Internal expanded RAM (AUX-RAM): disabled or enabled / 内部扩展RAM: 禁止访问或允许访问"));
    pair(picExtRAM, optAUX_RAM_NO, QStringLiteral("optAUX_RAM_NO"), QStringLiteral("禁止访问"), optAUX_RAM_YES,
         QStringLiteral("optAUX_RAM_YES"), QStringLiteral("允许访问"), 1300);
    optAUX_RAM_YES->setChecked(true);

    auto* rstBox = new QWidget(page);
    row(1520, QStringLiteral("用户软件启动看门狗后:"), rstBox,
        QStringLiteral("A watchdog started by the user program stops only at power-off, or also at a reset / "
                       "用户软件启动看门狗后, 只有停电关或复位关"));
    pair(rstBox, optRST_CLOSE_WDT_NO, QStringLiteral("optRST_CLOSE_WDT_NO"), QStringLiteral("只有停电关"),
         optRST_CLOSE_WDT_YES, QStringLiteral("optRST_CLOSE_WDT_YES"), QStringLiteral("复位关"), 1300);
    optRST_CLOSE_WDT_YES->setChecked(true);

    picBeep = reg(new QWidget(page), QStringLiteral("picBeep"));
    row(1840, QStringLiteral("下载成功后蜂鸣 / Beep:"), picBeep);
    pair(picBeep, optBeepYes, QStringLiteral("optBeepYes"), QStringLiteral("YES"), optBeepNo,
         QStringLiteral("optBeepNo"), QStringLiteral("NO"));
    optBeepYes->setChecked(true);

    auto* labDelay = new QLabel(QStringLiteral("重复下载间隔(秒) / Pause (s):"), page);
    place(labDelay, 120, 2175, 2870, 270);
    comDalay_ReDownLoad = reg(new QComboBox(page), QStringLiteral("comDalay_ReDownLoad"));
    comDalay_ReDownLoad->addItems(ComboLists::redownload_delay());
    comDalay_ReDownLoad->setCurrentIndex(4);
    place(comDalay_ReDownLoad, 3000, 2160, 800, 300);
    // The production store's series and records, beside the pause of Re-Download.
    comRecords = reg(new QPushButton(QStringLiteral("Records.../生产记录"), page), QStringLiteral("comRecords"));
    comRecords->setToolTip(QStringLiteral("The serial-number series and the last boards programmed / "
                                          "序列号系列和最近下载的记录"));
    place(comRecords, 3900, 2160, 1800, 300);

    // The port line that switches the board's supply, cycled before each connection.
    auto* labPowerCycle = new QLabel(QStringLiteral("Power cycling / 自动上电:"), page);
    place(labPowerCycle, 120, 2495, 2870, 270);
    cob_PowerCycle = reg(new QComboBox(page), QStringLiteral("cob_PowerCycle"));
    cob_PowerCycle->addItems(power_cycle::choice_texts());
    cob_PowerCycle->setCurrentIndex(int(PowerCycle::None));
    place(cob_PowerCycle, 3000, 2480, 1900, 300);

    cekReloadFile = reg(new QCheckBox(QStringLiteral("每次下载前自动刷新已打开在缓冲区的文件，方便调试使用"), page),
                        QStringLiteral("cekReloadFile"));
    place(cekReloadFile, 120, 2840, 5500, 270);

    // Where the serial numbers and the production records are kept: empty for this PC's file.
    auto* labStore = new QLabel(QStringLiteral("数据库 / Store:"), page);
    place(labStore, 120, 3125, 1300, 255);
    txtStoreUrl = reg(new QLineEdit(page), QStringLiteral("txtStoreUrl"));
    txtStoreUrl->setPlaceholderText(QStringLiteral("Empty: this PC's file / 空: 本机文件"));
    const QString storeTip = QStringLiteral(
        "The production store: empty for an SQLite file on this PC, an SQLite file path, or "
        "postgresql://user@host/db (postgresql://user@/db?host=/socket/dir) shared by several stations. "
        "A password comes from ~/.pgpass, PGPASSWORD or a service file, never from here. / "
        "生产数据库: 空为本机 SQLite 文件; 多个工位共用时填 postgresql://user@host/db。"
        "密码放在 ~/.pgpass、PGPASSWORD 或服务文件中, 不在此输入。");
    labStore->setToolTip(storeTip);
    txtStoreUrl->setToolTip(storeTip);
    place(txtStoreUrl, 1450, 3110, 4250, 270);
}

void frmMain::build_page_user_code(QGroupBox* page)
{
    static const char* lines[] = {
        "1.首先在用户应用程序中添加接收自定义下载命令的程序",
        "2.用户程序收到自定义下载命令后延时1秒,再软复位到系统ISP程序区",
        "3.软复位到系统ISP区命令:MOV ISP_CONTR,#60H;ISP_CONTR地址在E7H",
        "4.含自定义下载命令用户程序,先用老方式下载(注意前1页选项设置)",
        "5.如上次下载已经设置成冷启动不需要P1.0,P1.1同时接地就能ISP",
        "下载的单片机, 不需要关心POF的值 ",
        "6.如已设置成下次冷启动需P1.0,P1.1同时接地才能ISP下载的单片机",
        "a)如自定义下载不需P1.0,P1.1=0,0 则在软复位到ISP程序区之前",
        "先将上电标志位POF清为0. b) 如自定义下载需P1.0,P1.1=0,0 ",
        "则在软复位到ISP程序区之前应保持上电标志位POF置为1",
    };
    int top = 240;
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    for (const char* l : lines) {
        auto* lab = new QLabel(QString::fromUtf8(l), page);
        lab->setFont(small);
        place(lab, 120, top, 5550, 230);
        top += 215;
    }
    auto* labCmd = new QLabel(QStringLiteral("命令(HEX)"), page);
    place(labCmd, 120, 2450, 900, 270);
    txtUserCode = reg(new QLineEdit(QStringLiteral("12 34 56 78 90 AB CD EF 1234567890ABCDEF"), page),
                      QStringLiteral("txtUserCode"));
    place(txtUserCode, 1050, 2430, 3500, 300);
    comSendUserCode = reg(new QPushButton(QStringLiteral("发送"), page), QStringLiteral("comSendUserCode"));
    place(comSendUserCode, 4650, 2400, 950, 360);

    auto combo = [&](const char* name, const QString& caption, const QStringList& items, int index, int left,
                     int width) {
        auto* lab = new QLabel(caption, page);
        place(lab, left, 2890, 570, 270);
        auto* c = reg(new QComboBox(page), QString::fromLatin1(name));
        c->addItems(items);
        c->setCurrentIndex(index);
        place(c, left + 580, 2870, width, 300);
        return c;
    };
    cobUserCodeBaud = combo("cobUserCodeBaud", QStringLiteral("波特率"), ComboLists::user_code_baud(), 2, 120, 1050);
    cobUserCodeParity = combo("cobUserCodeParity", QStringLiteral("奇偶位"), ComboLists::parity(), 2, 1770, 870);
    cobUserCodeDataBits = combo("cobUserCodeDataBits", QStringLiteral("数据位"), ComboLists::data_bits(), 0, 3240, 560);
    cobUserCodeStopBits = combo("cobUserCodeStopBits", QStringLiteral("停止位"), ComboLists::stop_bits(), 0, 4400, 680);
}

void frmMain::build_page_isp_demo(QGroupBox* page)
{
    const QString tip = QStringLiteral(" ISP DEMO 是下载示例程序");
    che_Demo_DownLoad = reg(new QCheckBox(QStringLiteral("发送自定义下载命令"), page), QStringLiteral("che_Demo_DownLoad"));
    place(che_Demo_DownLoad, 120, 260, 2400, 300);
    auto* labA = new QLabel(QStringLiteral("自定义"), page);
    place(labA, 120, 620, 700, 250);
    auto* labB = new QLabel(QStringLiteral("下载命令"), page);
    place(labB, 120, 850, 900, 250);
    txt_DEMO_UserCode = reg(new QLineEdit(page), QStringLiteral("txt_DEMO_UserCode"));
    place(txt_DEMO_UserCode, 1050, 680, 4550, 300);

    auto group = [&](const QString& caption, int top, const char* baud, const char* parity, const char* bits,
                     const char* stop, QComboBox*& cb, QComboBox*& cp, QComboBox*& cd, QComboBox*& cs) {
        auto* g = new QGroupBox(caption, page);
        place(g, 60, top, 5600, 720);
        auto make = [&](const char* name, const QStringList& items, int index, int left, int width) {
            auto* c = reg(new QComboBox(g), QString::fromLatin1(name));
            c->addItems(items);
            c->setCurrentIndex(index);
            c->setToolTip(tip);
            place(c, left, 300, width, 300);
            return c;
        };
        cb = make(baud, ComboLists::demo_baud(), 2, 100, 1300);
        cp = make(parity, ComboLists::parity(), 0, 1500, 1100);
        cd = make(bits, ComboLists::data_bits(), 0, 2700, 700);
        cs = make(stop, ComboLists::stop_bits(), 0, 3500, 700);
    };
    group(QStringLiteral("发送自定义下载命令格式:"), 1060, "cob_DEMO_UserCode_Baud", "cob_DEMO_UserCode_Parity",
          "cob_DEMO_UserCode_DataBits", "cob_DEMO_UserCode_StopBits", cob_DEMO_UserCode_Baud,
          cob_DEMO_UserCode_Parity, cob_DEMO_UserCode_DataBits, cob_DEMO_UserCode_StopBits);
    group(QStringLiteral("ISP Demo下载程序通讯格式:"), 1820, "cob_DEMO_DownLoad_Baud", "cob_DEMO_DownLoad_Parity",
          "cob_DEMO_DownLoad_DataBits", "cob_DEMO_DownLoad_StopBits", cob_DEMO_DownLoad_Baud,
          cob_DEMO_DownLoad_Parity, cob_DEMO_DownLoad_DataBits, cob_DEMO_DownLoad_StopBits);

    com_Demo_DownLoad = reg(new QPushButton(QStringLiteral("下  载"), page), QStringLiteral("com_Demo_DownLoad"));
    com_Demo_Re_DownLoad = reg(new QPushButton(QStringLiteral("重复下载"), page), QStringLiteral("com_Demo_Re_DownLoad"));
    com_Demo_Stop = reg(new QPushButton(QStringLiteral("停  止"), page), QStringLiteral("com_Demo_Stop"));
    place(com_Demo_DownLoad, 120, 2700, 1600, 450);
    place(com_Demo_Re_DownLoad, 1900, 2700, 1600, 450);
    place(com_Demo_Stop, 3680, 2700, 1600, 450);
    for (QWidget* w : {static_cast<QWidget*>(che_Demo_DownLoad), static_cast<QWidget*>(txt_DEMO_UserCode),
                       static_cast<QWidget*>(com_Demo_DownLoad), static_cast<QWidget*>(com_Demo_Re_DownLoad),
                       static_cast<QWidget*>(com_Demo_Stop)})
        w->setToolTip(tip);
}

void frmMain::build_page_test_option(QGroupBox* page)
{
    comReadChipLock = reg(new QPushButton(QStringLiteral("Test Option / 检查 MCU 固件版本号及选项"), page),
                          QStringLiteral("comReadChipLock"));
    place(comReadChipLock, 120, 60, 5450, 330);
    build_status_rows();
    comWrite = reg(new QPushButton(QStringLiteral("下载,校验"), page), QStringLiteral("comWrite"));
    comLock = reg(new QPushButton(QStringLiteral("加  锁"), page), QStringLiteral("comLock"));
    comRun = reg(new QPushButton(QStringLiteral("  运行   下载程序"), page), QStringLiteral("comRun"));
    place(comWrite, 120, 2700, 1800, 450);
    place(comLock, 2020, 2700, 1300, 450);
    place(comRun, 3420, 2700, 2200, 450);
}

void frmMain::build_status_rows()
{
    for (int i = 0; i < 9; ++i) {
        LabLock[i] = reg(new QLabel(Frame4), idx("LabLock", i));
        LabLock[i]->setVisible(false);
    }
    LabLock[0]->setText(QStringLiteral("Only test MCU Option and Firmware Version."));
    LabLock[0]->setGeometry(tw_.rect(800, 370, 4900, 230));
}

void frmMain::build_page_auto_increase(QGroupBox* page)
{
    auto* note = new QLabel(QStringLiteral("改变以下参数后请重新打开文件"), page);
    place(note, 120, 260, 4000, 270);
    static const char* labels[4] = {"存放地址(HEX)", "字节数", "下一个值", "增量"};
    for (int i = 0; i < 4; ++i) {
        auto* lab = new QLabel(QString::fromUtf8(labels[i]), page);
        place(lab, 120, 620 + i * 380, 1500, 270);
        texAuto_Increase[i] = reg(new QLineEdit(page), idx("texAuto_Increase", i));
        place(texAuto_Increase[i], 1650, 600 + i * 380, 1500, 300);
    }
    auto* fmt = new QGroupBox(QStringLiteral("下一个值存储格式:"), page);
    place(fmt, 3400, 560, 2200, 1300);
    static const char* formats[3] = {"16进制", "十进制", "ASCII码"};
    for (int i = 0; i < 3; ++i) {
        optAuto_Increase[i] = reg(new QRadioButton(QString::fromUtf8(formats[i]), fmt), idx("optAuto_Increase", i));
        place(optAuto_Increase[i], 200, 300 + i * 300, 1800, 270);
    }
    optAuto_Increase[1]->setChecked(true);
    cheAuto_Increase = reg(new QCheckBox(QStringLiteral("启用自动增量"), page), QStringLiteral("cheAuto_Increase"));
    place(cheAuto_Increase, 120, 2250, 2500, 300);
}

void frmMain::build_page_store(QGroupBox* page)
{
    auto* labStart = new QLabel(QStringLiteral("Start Address/起始地址"), page);
    place(labStart, 120, 400, 2400, 270);
    txt_Start_Address = reg(new QLineEdit(QStringLiteral("0"), page), QStringLiteral("txt_Start_Address"));
    place(txt_Start_Address, 2600, 380, 1500, 300);
    auto* labLen = new QLabel(QStringLiteral("length/长度(HEX)"), page);
    place(labLen, 120, 850, 2400, 270);
    txt_length = reg(new QLineEdit(QStringLiteral("400"), page), QStringLiteral("txt_length"));
    place(txt_length, 2600, 830, 1500, 300);
    comStoreFile = reg(new QPushButton(QStringLiteral("Store File/存文件"), page), QStringLiteral("comStoreFile"));
    place(comStoreFile, 2600, 1400, 1800, 450);
}

void frmMain::build_page_hardware(QGroupBox* page)
{
    auto* text = new QLabel(page);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    text->setText(QStringLiteral(
        "MCU RXD (P3.0)  <-  RS-232 transceiver  <-  PC COM TXD (DB9 pin 3)\n"
        "MCU TXD (P3.1)  ->  RS-232 transceiver  ->  PC COM RXD (DB9 pin 2)\n"
        "MCU GND         --  transceiver GND     --  PC COM GND (DB9 pin 5)\n\n"
        "单片机 RXD (P3.0) 经 RS-232 电平转换芯片接电脑串口 TXD (DB9 第 3 脚);\n"
        "单片机 TXD (P3.1) 经 RS-232 电平转换芯片接电脑串口 RXD (DB9 第 2 脚);\n"
        "单片机 GND 接电脑串口 GND (DB9 第 5 脚)。\n\n"
        "先点下载按钮, 再给单片机上电 (冷启动)。 / Press Download first, then power the MCU on."));
    place(text, 120, 240, 5500, 3000);
}

void frmMain::build_page_softice(QGroupBox* page)
{
    auto* lab1 = new QLabel(QStringLiteral("只有 ZVK7H/V64B、ZVK7H/V32B 可设置成软仿真芯片"), page);
    place(lab1, 120, 300, 5500, 300);
    auto* lab2 = new QLabel(QStringLiteral("　把 MCU 设置成软仿真芯片, 只能用 Keil C 仿真(不推荐)。"), page);
    place(lab2, 120, 700, 5500, 300);
    comDownSoft_ICE = reg(new QPushButton(QStringLiteral("Down SoftICE/下载 SoftICE"), page),
                          QStringLiteral("comDownSoft_ICE"));
    place(comDownSoft_ICE, 1200, 1400, 3000, 500);
}
