// What the tool tells about a connected MCU: status lines and panel rows, the clock report, the
// model check, the connection advice, the stop and run handling, and the model selection sequence.

#include "device/workbench.h"
#include "isp/frames.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

struct Rig {
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    Workbench bench{&port, &dialogs};
    explicit Rig(const QString& model = QStringLiteral("ZVK7H12A"))
    {
        bench.link.set_port_device(QStringLiteral("/dev/fake0"));
        bench.select_model(model);
    }
    QStringList lines() const { return bench.log.lines(); }
};

const QString kC1Yes = QStringLiteral("  Double speed (6 clock) / 双倍速:       Yes");
const QString kC1No = QStringLiteral("  Double speed (6 clock) / 双倍速:       No");
const QString kCFull = QStringLiteral("  OSCDN (OSC Control) / 振荡器控制:   full gain");
const QString kCHalf = QStringLiteral("  OSCDN (OSC Control) / 振荡器控制:   1/2 gain");

} // namespace

class TestStatusReport : public QObject {
    Q_OBJECT
private slots:
    void status_lines_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("double_speed");

        QTest::newRow("A, bit 3 clear") << 0x28 << "A" << 0x00 << "" << QStringList{
            "MCU Firmware Version: 2.8A", "Chinese:MCU 固件版本号: 2.8A", "Double speed: No"} << false;
        QTest::newRow("A, bit 3 set") << 0x28 << "A" << 0x09 << "" << QStringList{
            "MCU Firmware Version: 2.8A", "Chinese:MCU 固件版本号: 2.8A", "Double speed: Yes"} << true;
        QTest::newRow("B with name") << 0x25 << "B" << 0x00 << "ZVK7L32D" << QStringList{
            "MCU Type is: ZVK7L32D", "MCU Firmware Version: 2.5B", "Chinese:MCU 固件版本号: 2.5B",
            "Double speed: Unknown"} << false;
        QTest::newRow("C 2.7: two lines only") << 0x27 << "C" << 0x00 << "ZVK7H/L12A" << QStringList{
            "MCU Type is: ZVK7H/L12A", "MCU Firmware Version: 2.7C", "Chinese:MCU 固件版本号: 2.7C", kC1Yes, kCHalf}
                                               << true;
        QTest::newRow("C 2.8, all bits clear") << 0x28 << "C" << 0x00 << "" << QStringList{
            "MCU Firmware Version: 2.8C", "Chinese:MCU 固件版本号: 2.8C", kC1Yes, kCHalf,
            "  下载时 P1.0, P1.1 须短路到地:          Yes", "  擦除 AP 区时一并擦除 data flash 区:    Yes",
            "  禁止访问内部扩展RAM(MCU 新版本C版有效)", "  用户软件启动看门狗后,只有停电关看门狗(MCU新版C版有效)"} << true;
        QTest::newRow("C 3.0, all bits set") << 0x30 << "C" << 0xFF << "" << QStringList{
            "MCU Firmware Version: 3.0C", "Chinese:MCU 固件版本号: 3.0C", kC1No, kCFull,
            "  下载时 P1.0, P1.1 须短路到地:          No", "  擦除 AP 区时一并擦除 data flash 区:    No",
            "  允许访问内部扩展RAM(MCU 新版本C版有效)", "  用户软件启动看门狗后,复位关看门狗(单片机新版C版有效)"} << false;
        QTest::newRow("version 0x00 is empty") << 0x00 << "C" << 0x01 << "" << QStringList{
            "MCU Firmware Version: C", "Chinese:MCU 固件版本号: C", kC1No, kCHalf} << false;
        QTest::newRow("hex digit version") << 0x3A << "X" << 0x00 << "" << QStringList{
            "MCU Firmware Version: 3.AX", "Chinese:MCU 固件版本号: 3.AX"} << false;
    }
    void status_lines()
    {
        QFETCH(int, version);
        QFETCH(QString, variant);
        QFETCH(int, option);
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        QFETCH(bool, double_speed);
        Rig rig;
        rig.bench.status.mcu_type_name = name;
        rig.bench.status.double_speed = !double_speed;
        rig.bench.status_report.show_mcu_status(quint8(version), quint8(variant.at(0).toLatin1()), quint8(option));
        QCOMPARE(rig.lines(), lines);
        QCOMPARE(rig.bench.status.double_speed, double_speed);
        QCOMPARE(rig.bench.status.firmware_variant, variant);
        QVERIFY(rig.bench.log.text().startsWith(QStringLiteral("\r\n")));
    }
    void panel_rows_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("captions");   // rows 1..8, empty = hidden

        const QString type = QStringLiteral("MCU Type is:") + QString(22, QLatin1Char(' '));
        QTest::newRow("A, option 0x00: panel reads bit 0") << 0x28 << "A" << 0x00 << "ZVK7H64B" << QStringList{
            type + "ZVK7H64B", "MCU Firmware Version / MCU 固件版本号: 2.8A",
            "Double speed (6 clock) / 双倍速:       Yes", "", "", "", "", ""};
        QTest::newRow("A, option 0x09") << 0x28 << "A" << 0x09 << "" << QStringList{
            "", "MCU Firmware Version / MCU 固件版本号: 2.8A", "Double speed (6 clock) / 双倍速:       No",
            "", "", "", "", ""};
        QTest::newRow("B, empty version") << 0x00 << "B" << 0x00 << "ZVK7L16D" << QStringList{
            type + "ZVK7L16D", "", "Double speed (6 clock) / 双倍速:     Unknown", "", "", "", "", ""};
        QTest::newRow("C 2.7, bits clear: all rows") << 0x27 << "C" << 0x00 << "ZVK7H/L12A" << QStringList{
            type + "ZVK7H/L12A", "MCU Firmware Version / MCU 固件版本号: 2.7C",
            "Double speed (6 clock) / 双倍速:       Yes", "OSCDN (OSC Control) / 振荡器控制:   1/2 gain",
            "下载时 P1.0, P1.1 须短路到地:          Yes", "擦除 AP 区时一并擦除 data flash 区:    Yes",
            "禁止访问内部扩展RAM(MCU 新版本C版有效)", "用户软件启动看门狗后,只有停电关看门狗(MCUC新版C版有效)"};
        QTest::newRow("C, bits set") << 0x28 << "C" << 0xFF << "" << QStringList{
            "", "MCU Firmware Version / MCU 固件版本号: 2.8C",
            "Double speed (6 clock) / 双倍速:       No", "OSCDN (OSC Control) / 振荡器控制:   full gain",
            "下载时 P1.0, P1.1 须短路到地:          No", "擦除 AP 区时一并擦除 data flash 区:    No",
            "允许访问内部扩展RAM(MCU 新版本C版有效)", "用户软件启动看门狗后, 复位关看门狗(MCU 新版C版有效)"};
        QTest::newRow("other variant: heading only") << 0x28 << "Z" << 0x00 << "ZVK7L32D"
                                                     << QStringList{"", "", "", "", "", "", "", ""};
    }
    void panel_rows()
    {
        QFETCH(int, version);
        QFETCH(QString, variant);
        QFETCH(int, option);
        QFETCH(QString, name);
        QFETCH(QStringList, captions);
        Rig rig;
        // Rows left over from an earlier report must not survive.
        for (auto& row : rig.bench.status_panel.LabLock) {
            row.visible = true;
            row.enabled = true;
        }
        rig.bench.status.mcu_type_name = name;
        const quint8 code = quint8(variant.at(0).toLatin1());
        rig.bench.status_report.show_mcu_status(quint8(version), code, quint8(option));
        rig.bench.status_report.show_status_panel(quint8(version), code, quint8(option), 0);
        const auto& rows = rig.bench.status_panel.LabLock;
        QCOMPARE(rows[0].caption, QStringLiteral("Only test MCU Option and Firmware Version."));
        QVERIFY(rows[0].visible && rows[0].enabled);
        QCOMPARE(rows[0].left, 800);
        for (int n = 1; n <= 8; ++n) {
            const QString want = captions.at(n - 1);
            QCOMPARE(rows[n].visible, !want.isEmpty());
            QCOMPARE(rows[n].enabled, !want.isEmpty());
            if (!want.isEmpty()) {
                QCOMPARE(rows[n].caption, want);
                QCOMPARE(rows[n].left, 800);
            }
        }
        if (variant == QLatin1String("A") || variant == QLatin1String("B")) {
            QCOMPARE(rows[3].top, 1500);
            QCOMPARE(rows[3].width, 5000);
            if (!name.isEmpty()) {
                QCOMPARE(rows[1].top, 800);
                QCOMPARE(rows[1].width, 5000);
            }
            if (rows[2].visible) {
                QCOMPARE(rows[2].top, 1030);
                QCOMPARE(rows[2].width, 4000);
            }
        } else if (variant == QLatin1String("C")) {
            if (rows[1].visible) {
                QCOMPARE(rows[1].top, 600);
                QCOMPARE(rows[1].width, 4900);
            }
            QCOMPARE(rows[2].top, 830);
            QCOMPARE(rows[2].width, 4000);
            for (int n = 3; n <= 8; ++n) {
                QCOMPARE(rows[n].top, 1200 + (n - 3) * 230);
                QCOMPARE(rows[n].width, 4900);
            }
        }
        rig.bench.status_report.hide_status_panel_rows();
        for (int n = 1; n <= 8; ++n)
            QVERIFY(!rows[n].visible && !rows[n].enabled);
        QVERIFY(rows[0].visible);
    }
    void prefix_cleared_without_extended_status()
    {
        Rig rig;   // family 2
        rig.bench.link.prefix_mode = true;
        rig.bench.status.block_protect = true;
        rig.bench.status.extended_status = true;
        rig.bench.status_report.show_mcu_status(0x28, 'C', 0xFF);
        QVERIFY(rig.bench.link.prefix_mode);
        rig.bench.status.extended_status = false;
        rig.bench.status_report.show_mcu_status(0x28, 'C', 0xFF);
        QVERIFY(!rig.bench.link.prefix_mode);
        QVERIFY(!rig.bench.status.block_protect);

        Rig family0(QStringLiteral("ZVK7H64B"));
        family0.bench.link.prefix_mode = true;
        family0.bench.status_report.show_mcu_status(0x28, 'A', 0x00);
        QVERIFY(family0.bench.link.prefix_mode);
    }

    void model_check_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("sub");
        QTest::addColumn<bool>("wrong");

        QTest::newRow("A on a 128-byte model") << "ZVK7H64B" << "A" << "" << "" << "" << false;
        QTest::newRow("A on a 512-byte model") << "ZVK7L32D" << "A" << "" << "" << "" << true;
        QTest::newRow("B, family 1, no name") << "ZVK7L32D" << "B" << "" << "" << "" << false;
        QTest::newRow("B, other name") << "ZVK7L16D" << "B" << "ZVK7L32D" << "58" << "" << true;
        QTest::newRow("B, D/T2 accepts ZVK7L64T2") << "ZVK7L64T2" << "B" << "ZVK7L64D/T2" << "56" << "" << false;
        QTest::newRow("B, D/T2 rejects ZVK7L32D") << "ZVK7L32D" << "B" << "ZVK7L64D/T2" << "56" << "" << true;
        QTest::newRow("B on family 2") << "ZVK7H12A" << "B" << "" << "" << "" << true;
        QTest::newRow("C, code F004") << "ZVK7H12A" << "C" << "ZVK7H/L12A" << "F0" << "04" << false;
        QTest::newRow("C, code F104 chosen") << "ZVK7H16B+" << "C" << "ZVK7H/L12A" << "F0" << "04" << true;
        QTest::newRow("C on family 1") << "ZVK7L32D" << "C" << "" << "F0" << "04" << true;
        QTest::newRow("other letter passes") << "ZVK7L32D" << "D" << "" << "" << "" << false;
    }
    void model_check()
    {
        QFETCH(QString, model);
        QFETCH(QString, variant);
        QFETCH(QString, name);
        QFETCH(QString, id);
        QFETCH(QString, sub);
        QFETCH(bool, wrong);
        SelectedModel m;
        m.select(model);
        McuStatus s;
        s.firmware_variant = variant;
        s.mcu_type_name = name;
        LinkResults r;
        r.chip_id_hex = id;
        r.chip_subid_hex = sub;
        QCOMPARE(Connection::model_is_wrong(s, r, m), wrong);
    }

    void clock_format_data()
    {
        QTest::addColumn<double>("mhz");
        QTest::addColumn<QString>("text");
        QTest::newRow("11.059326") << 11059326.0 / 1e6 << "11.059326";
        QTest::newRow("12 (no point)") << 12.0 << "12";
        QTest::newRow("101.013 kHz") << 101013.0 / 1e6 << "0.101013";
        QTest::newRow("1/3 keeps 15 digits") << 1.0 / 3.0 << "0.333333333333333";
    }
    void clock_format()
    {
        QFETCH(double, mhz);
        QFETCH(QString, text);
        QCOMPARE(Connection::format_mhz(mhz), text);
    }
    void report_clock_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("double_speed");
        QTest::addColumn<QStringList>("lines");
        const QString in = QStringLiteral("Internal clock:11.059326MHz./内部时钟频率:11.059326M.");
        QTest::newRow("B: internal only") << "B" << true << QStringList{in};
        QTest::newRow("C, double speed: external at half")
            << "C" << true << QStringList{in, "External clock:5.529663MHz./外部时钟频率:5.529663M."};
        QTest::newRow("C: both the same") << "C" << false
                                          << QStringList{in, "External clock:11.059326MHz./外部时钟频率:11.059326M."};
    }
    void report_clock()
    {
        QFETCH(QString, variant);
        QFETCH(bool, double_speed);
        QFETCH(QStringList, lines);
        Rig rig;
        rig.bench.results.clock_hz = 11059326.0f;
        rig.bench.status.firmware_variant = variant;
        rig.bench.status.double_speed = double_speed;
        rig.bench.connection.report_clock();
        QCOMPARE(rig.lines(), lines);
    }

    void advice_texts_data()
    {
        QTest::addColumn<bool>("custom");
        QTest::addColumn<QStringList>("lines");
        const QStringList tail = {
            " 3.因 PLCC、PQFP 转换座引线过长而引起时钟振荡不对，请调整参数。", " 4.可能要升级电脑端的 ZVK ISP.exe 软件。",
            " 5.若仍然不成功，可能 MCU/单片机内无 ISP 系统引导码，", "   或需退回升级，或 MCU 已损坏。"};
        QTest::newRow("normal: English then Chinese")
            << false
            << (QStringList{"Connection is failure. You can try:", " 1.Give your MCU Power On Reset.",
                            " 2.Stop operation, then re-select COM Port.",
                            " 3.Because PLCC-DIP/PQFP-DIP Socket trace too long.", " 4.Update the ZVK ISP.exe version.",
                            " 5.If still error, your MCU Firmware is error", "   or null.", "Chinese:连接失败，请尝试以下操作：",
                            " 1.给 MCU/单片机上电复位(冷启动，先没有电，再上电)。", " 2.停止下载，重新选择 RS-232 串口, 接好电缆。"}
                + tail);
        QTest::newRow("custom mode: Chinese only")
            << true
            << (QStringList{"连接失败，请尝试以下操作：", " 1.重新选择 RS-232 串口, 接好电缆，打开电源。",
                            " 2.检查波特率、奇偶位、数据位、停止位是否正确。"}
                + tail);
    }
    void advice_texts()
    {
        QFETCH(bool, custom);
        QFETCH(QStringList, lines);
        Rig rig;
        rig.bench.link.custom_frame_mode = custom;
        rig.bench.stop_run.Timer9.start();
        rig.bench.stop_run.Timer9_Timer();
        QCOMPARE(rig.lines(), lines);
        QCOMPARE(rig.dialogs.beeps, 2);
        QVERIFY(!rig.bench.stop_run.Timer9.enabled());
        QCOMPARE(rig.bench.stop_run.Timer9.interval(), 4000);
    }
    void stop_while_idle_twice()
    {
        Rig rig;
        rig.bench.results.connected = true;
        rig.bench.stop_run.Timer9.start();
        rig.bench.controls.comWrite_caption = QStringLiteral("something else");
        rig.bench.stop_run.comStop_Download_Click();
        rig.bench.stop_run.comStop_Download_Click();
        QCOMPARE(rig.port.written(), QByteArray::fromHex("6A000682F216") + QByteArray::fromHex("6A000682F216"));
        QVERIFY(!rig.bench.link.port_open());
        QVERIFY(rig.bench.link.stop_requested);
        QVERIFY(!rig.bench.results.connected);
        QVERIFY(!rig.bench.stop_run.Timer9.enabled());
        QCOMPARE(rig.bench.controls.comWrite_caption, QStringLiteral("DownLoad,Check"));
        QCOMPARE(rig.bench.controls.last_code, int(ControlStates::Idle));
        QVERIFY(rig.lines().isEmpty());
    }
    void run_command()
    {
        Rig rig;
        rig.bench.link.prefix_mode = true;
        rig.bench.stop_run.comRun_Click();
        QCOMPARE(rig.port.written(), QByteArray::fromHex("46B96A000682F216"));
        QVERIFY(!rig.bench.link.port_open());
    }

    void select_model_captions_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("isp_demo");
        QTest::addColumn<QString>("softice");
        QTest::addColumn<int>("tab_clicks");
        QTest::newRow("family 2") << "ZVK7H12A" << "ISP DEMO" << "_no_" << 0;
        QTest::newRow("Soft ICE model") << "ZVK7H64B" << "_no_" << "仿真芯片" << 1;
        QTest::newRow("family 1") << "ZVK7L32D" << "_no_" << "_no_" << 1;
    }
    void select_model_captions()
    {
        QFETCH(QString, model);
        QFETCH(QString, isp_demo);
        QFETCH(QString, softice);
        QFETCH(int, tab_clicks);
        FakeSerialPort port;
        ScriptedDialogs dialogs;
        Workbench bench(&port, &dialogs);
        for (auto& row : bench.status_panel.LabLock)
            row.visible = true;
        QSignalSpy tab(&bench, &Workbench::tab_click_requested);
        QSignalSpy save(&bench, &Workbench::settings_save_requested);
        bench.select_model(model);
        QCOMPARE(bench.controls.tab_isp_demo_caption, isp_demo);
        QCOMPARE(bench.controls.tab_softice_caption, softice);
        QCOMPARE(bench.controls.is_enabled(QStringLiteral("comDownSoft_ICE")), softice != QLatin1String("_no_"));
        QCOMPARE(tab.count(), tab_clicks);
        QCOMPARE(save.count(), 1);
        QVERIFY(!bench.status_panel.LabLock[1].visible);
        QCOMPARE(bench.model.combo_text, model);
    }
};

QTEST_GUILESS_MAIN(TestStatusReport)
#include "test_status_report.moc"
