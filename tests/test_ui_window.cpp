// The main window offscreen: control enabling per state code as seen on the widgets, the pages
// and their "_no_" tabs, the layout rules, the two-step close, the editor's confirm-then-edit
// flow, scrolling the viewer, the first-run settings, the serial port choice, shortcuts, dropped
// and recent files.

#include "device/workbench.h"
#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "models/model_catalogue.h"
#include "settings/recent_files.h"
#include "settings/settings_store.h"
#include "support/e2e_util.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"
#include "ui/buffer_editor.h"
#include "ui/control_states.h"
#include "ui/frm_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

struct Fixture {
    ScriptedDialogs dialogs;
    FakeSerialPort port;
    std::unique_ptr<frmMain> w;

    explicit Fixture(const QString& device = QString())
    {
        frmMain::Options o;
        o.dialogs = &dialogs;
        o.port = &port;
        o.calibrate = false;
        o.port_device = device;
        w = std::make_unique<frmMain>(o);
    }
    ~Fixture() { w.reset(); }
    Workbench& wb() { return w->workbench(); }
    template <class T = QWidget>
    T* get(const QString& name) { return w->findChild<T*>(name); }
    // The range boxes the loader reads, filled by the deferred save (its tick, now).
    void fill_ranges()
    {
        if (w->settings().Timer3.enabled())
            w->settings().save_pending_settings();
    }
    // Opens `path` with Open File.
    bool load(const QString& path)
    {
        fill_ranges();
        dialogs.open_answers << path;
        w->comLoadFile->click();
        return wb().image.file_loaded;
    }
};

void clear_settings()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ZVK_ISP"))
        .removeRecursively();
}

} // namespace

class TestUiWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { clear_settings(); }

    void every_named_control_exists()
    {
        // The names the core's enabled map and the documentation use.
        const QStringList names = ControlStates::action_buttons() + ControlStates::input_controls() + QStringList{
            "textMsg", "labKbyte", "ProgressBar1", "txtBuffer", "txtBuffer2", "VScroll1", "TabStrip1", "Picture1",
            "Frame7", "optBeepYes", "optBeepNo", "comDalay_ReDownLoad", "cekReloadFile", "cobBaudMax", "Check6",
            "Text4", "comStoreFile", "txt_length", "txt_Start_Address", "LabLock(8)", "Option7(1)", "txtISP_reange(3)",
            "txtUserCode", "txt_DEMO_UserCode", "che_Demo_DownLoad", "Text1"};
        Fixture f;
        for (const QString& name : names) {
            QVERIFY2(f.get(name) != nullptr, qPrintable(name));
            QCOMPARE(f.w->control(name), f.get(name));
        }
    }
    void busy_state_on_widgets_data()
    {
        QTest::addColumn<int>("phase");
        // Per control: '1' on, '0' off, '-' unchanged; order as in `controls` below.
        QTest::addColumn<QString>("expect");
        // comDownload(0) comDownload(1) comSendUserCode comStop_Download com_Demo_DownLoad
        // com_Demo_Re_DownLoad com_Demo_Stop comWrite comLock comRun comReadChipLock combMcuModel
        // (Programming and Manual disable the input controls first, Test Option among them.)
        QTest::newRow("busy") << int(WorkPhase::Busy) << QStringLiteral("00010010000");
        QTest::newRow("idle") << int(WorkPhase::Idle) << QStringLiteral("11101100001");
        QTest::newRow("programming") << int(WorkPhase::Programming) << QStringLiteral("0-010011110");
        QTest::newRow("manual") << int(WorkPhase::Manual) << QStringLiteral("0-010011110");
        QTest::newRow("connected") << int(WorkPhase::Connected) << QStringLiteral("0-01001110-");
        QTest::newRow("start") << int(WorkPhase::Start) << QStringLiteral("-----------");
    }
    void busy_state_on_widgets()
    {
        QFETCH(int, phase);
        const WorkPhase code = WorkPhase(phase);
        QFETCH(QString, expect);
        const QStringList controls = {"comDownload(0)",       "comDownload(1)", "comSendUserCode", "comStop_Download",
                                      "com_Demo_DownLoad",    "com_Demo_Re_DownLoad", "com_Demo_Stop", "comWrite",
                                      "comLock",              "comRun",         "comReadChipLock"};
        Fixture f;
        f.wb().select_model(QStringLiteral("ZVK7H04A"));
        // Two different starting points, so "unchanged" is told apart from a fixed value.
        for (bool start_on : {true, false}) {
            for (const QString& c : controls)
                f.w->control_states().enabled.insert(c, start_on);
            f.w->control_states().notify();
            f.wb().work.set_phase(code);
            for (int i = 0; i < controls.size(); ++i) {
                QWidget* wdg = f.get(controls[i]);
                QVERIFY(wdg);
                const QChar e = expect.at(i);
                const bool want = e == QLatin1Char('-') ? start_on : e == QLatin1Char('1');
                QVERIFY2(wdg->isEnabled() == want,
                         qPrintable(QStringLiteral("%1 start %2").arg(controls[i]).arg(start_on)));
            }
            // The input controls: off in 4 and 6, on again in idle, as they were in 2 and 20.
            for (QWidget* input : {f.get(QStringLiteral("combMcuModel")), f.get(QStringLiteral("cob_PowerCycle"))}) {
                if (code == WorkPhase::Programming || code == WorkPhase::Manual)
                    QVERIFY(!input->isEnabled());
                if (code == WorkPhase::Idle)
                    QVERIFY(input->isEnabled());
            }
        }
    }
    void idle_enabling_follows_model_and_wdt()
    {
        Fixture f;
        f.w->combMcuModel->setCurrentText(QStringLiteral("ZVK7H64B"));
        f.wb().select_model(QStringLiteral("ZVK7H64B"));
        f.wb().work.set_phase(WorkPhase::Manual);
        f.wb().work.set_phase(WorkPhase::Idle);
        QVERIFY(f.w->comDownSoft_ICE->isEnabled());
        QCOMPARE(f.w->TabStrip1->tabText(7), QStringLiteral("仿真芯片"));
        QCOMPARE(f.w->TabStrip1->tabText(2), QStringLiteral("_no_"));
        // Family 0 hides the gain row; hidden buttons stay disabled when idle.
        QVERIFY(f.w->Option[1][0]->isHidden());
        QVERIFY(!f.w->Option[1][0]->isEnabled());
        QVERIFY(f.w->Option[0][0]->isEnabled());

        // The watchdog pin list follows opt_ISP_DEMO_WDT.
        QVERIFY(f.w->opt_ISP_DEMO_WDT[0]->isChecked());
        QVERIFY(!f.w->comb_WDT->isEnabled());
        f.w->opt_ISP_DEMO_WDT[1]->click();
        QVERIFY(f.w->comb_WDT->isEnabled());
        QVERIFY(f.wb().choices.wdt_pin_enabled);
        f.wb().work.set_phase(WorkPhase::Manual);
        f.wb().work.set_phase(WorkPhase::Idle);
        QVERIFY(f.w->comb_WDT->isEnabled());
        f.w->opt_ISP_DEMO_WDT[0]->click();
        f.wb().work.set_phase(WorkPhase::Idle);
        QVERIFY(!f.w->comb_WDT->isEnabled());
    }
    void progress_bar_follows_core()
    {
        Fixture f;
        f.w->show();
        WorkState& c = f.wb().work;
        Progress p;
        p.maximum = 200;
        p.value = 50;
        p.kbyte_text = QStringLiteral("   .050K");
        c.set_progress(p);
        c.show_progress(Progress::Mode::Download);
        QVERIFY(f.w->ProgressBar1->isVisible());
        QCOMPARE(f.w->ProgressBar1->value(), 50);
        QCOMPARE(f.w->labKbyte->text(), QStringLiteral("   .050K"));
        // The bar ends flush with Re-Download's right edge.
        QCOMPARE(f.w->ProgressBar1->x() + f.w->ProgressBar1->width(),
                 f.w->comDownload[1]->x() + f.w->comDownload[1]->width());
        QCOMPARE(f.w->ProgressBar1->x(), f.w->twips().px(840));
        // The status bar adds the figures (the used range 0..1023 is 1024 bytes).
        QVERIFY(f.w->labStatusProgress->isVisible());
        QVERIFY2(f.w->labStatusProgress->text().startsWith(QStringLiteral("256/1024 bytes/字节  25%  0:00 elapsed")),
                 qPrintable(f.w->labStatusProgress->text()));
        c.show_progress(Progress::Mode::FillGrid);
        QCOMPARE(f.w->ProgressBar1->x(), f.w->twips().px(1440));
        // The end of an operation (done, failed or stopped) takes the bar and the figures away.
        c.set_phase(WorkPhase::Idle);
        QVERIFY(!f.w->ProgressBar1->isVisible());
        QVERIFY(!f.w->labStatusProgress->isVisible());
        QCOMPARE(f.w->labKbyte->text(), QStringLiteral("   .050K"));
        c.show_progress(Progress::Mode::Hide);
        QVERIFY(!f.w->ProgressBar1->isVisible());
        QCOMPARE(f.w->labKbyte->text(), QString());
    }
    void one_page_after_load()
    {
        Fixture f;
        f.w->show();
        QCOMPARE(f.w->visible_page(), 0);
        QVERIFY(f.w->Frame12->isVisible());
        // The eight pages share one rectangle.
        for (QGroupBox* p : f.w->pages)
            QCOMPARE(p->geometry(), f.w->Frame8->geometry());
        QCOMPARE(f.w->TabStrip1->count(), 8);
        const QStringList captions = {"选项", "自定义下载", "ISP DEMO", "检查MCU选项", "自动增量", "存储文件", "硬件帮助", "仿真芯片"};
        const QStringList keys = {"options", "user_code", "ISP DEMO", "", "", "store_buffer", "", "softICE"};
        f.wb().select_model(QStringLiteral("ZVK7H64B+"));   // family 2, no Soft ICE
        for (int i = 0; i < 8; ++i) {
            if (i != 7)
                QCOMPARE(f.w->TabStrip1->tabText(i), captions[i]);
            QCOMPARE(f.w->TabStrip1->tabData(i).toString(), keys[i]);
        }
        QCOMPARE(f.w->TabStrip1->tabToolTip(2), QStringLiteral("ISP DEMO 是下载示例程序"));
    }
    void no_tabs_keep_the_page()
    {
        // A "_no_" tab leaves the page shown; the others switch to their page.
        Fixture f;
        f.w->show();
        for (const auto& [model, tab, switches] : {std::tuple{"ZVK7L32D", 2, false}, {"ZVK7H08A", 2, true},
                                                  {"ZVK7H08A", 7, false}, {"ZVK7V32B", 7, true}, {"ZVK7L32D", 5, true}}) {
            f.w->combMcuModel->setCurrentText(QString::fromLatin1(model));
            f.wb().select_model(QString::fromLatin1(model));
            f.w->TabStrip1->setCurrentIndex(3);   // the Test Option page first
            QCOMPARE(f.w->visible_page(), 3);
            f.w->TabStrip1->setCurrentIndex(tab);
            QCOMPARE(f.w->TabStrip1->tabText(tab) == QLatin1String("_no_"), !switches);
            QVERIFY2(f.w->visible_page() == (switches ? tab : 3), model);
        }
    }
    void viewer_grows_with_window()
    {
        Fixture f;
        f.w->show();
        f.w->resize(20, 20);   // too small: snaps back to the minimum
        QCoreApplication::processEvents();
        QVERIFY(f.w->form_width() >= frmMain::kMinWidth - 20);
        QVERIFY(f.w->form_height() >= frmMain::kMinHeight - 20);
        const Twips& t = f.w->twips();
        f.w->set_form_geometry(0, 0, 12000, 9045);
        QCoreApplication::processEvents();
        const int w1 = f.w->Frame7->width();
        const int h1 = f.w->txtBuffer->height();
        f.w->set_form_geometry(0, 0, 15000, 11000);
        QCoreApplication::processEvents();
        // Left column fixed.
        QCOMPARE(f.w->Frame1->width(), t.px(frmMain::kLeftColumnWidth));
        QCOMPARE(f.w->Frame1->x(), t.px(180));
        // Right side grows by the same amount as the window.
        QVERIFY(qAbs((f.w->Frame7->width() - w1) - t.px(3000)) <= 2);
        QVERIFY(f.w->txtBuffer->height() > h1);
        QCOMPARE(f.w->txtBuffer2->geometry(), f.w->txtBuffer->geometry());
        QCOMPARE(f.w->VScroll1->x(), f.w->txtBuffer->x() + f.w->txtBuffer->width());
        // The tab strip's bottom edge stays 600 twips above the bottom, here the status bar's top.
        QCOMPARE(f.w->StatusBar1->geometry().bottom(), f.w->height() - 1);
        QVERIFY(qAbs(t.tw(f.w->Picture1->y() + f.w->Picture1->height() + f.w->StatusBar1->height()) + 630 -
                     f.w->form_height()) <= 30);
    }
    void all_tabs_in_view_at_default_size()
    {
        Fixture f;
        f.w->show();
        // The captions change with the model ("_no_" or the page's own).
        for (const QString& model : McuModelTable::list_names()) {
            f.wb().select_model(model);
            for (int i = 0; i < 8; ++i)
                QVERIFY2(f.w->TabStrip1->rect().contains(f.w->TabStrip1->tabRect(i)),
                         qPrintable(model + QLatin1Char(' ') + f.w->TabStrip1->tabText(i)));
        }
    }
    void viewer_scrolls_by_wheel_and_keys_data()
    {
        // Keys pressed on the dump, 0 for a wheel notch down and 1 for one up.
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("first_row");
        QTest::newRow("wheel") << QList<int>{0} << 0x30;
        QTest::newRow("wheel down twice, up") << QList<int>{0, 0, 1} << 0x30;
        QTest::newRow("arrow down") << QList<int>{Qt::Key_Down} << 0x10;
        QTest::newRow("page down twice, up") << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp} << 0x100;
        QTest::newRow("end") << QList<int>{Qt::Key_End} << 0xFC0;
        QTest::newRow("end, arrow up") << QList<int>{Qt::Key_End, Qt::Key_Up} << 0xFB0;
        QTest::newRow("end, home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
        QTest::newRow("arrow up at the top") << QList<int>{Qt::Key_Up} << 0;
    }
    void viewer_scrolls_by_wheel_and_keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, first_row);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("4k.bin"));
        QVERIFY(e2e::write_file(bin, e2e::pattern(4096, 7)));
        Fixture f;
        f.w->show();
        QVERIFY(f.load(bin));   // rows 000000..000FF0, scroll positions 0..252
        BufferEditor* ed = f.w->txtBuffer2;
        const QRect header = f.w->txtBufferAddress[1]->geometry();
        for (int key : keys) {
            if (key > 1) {
                QTest::keyClick(ed, Qt::Key(key));
                continue;
            }
            const QPointF at(ed->width() / 2.0, ed->height() / 2.0);
            QWheelEvent wheel(at, ed->mapToGlobal(at), QPoint(), QPoint(0, key == 0 ? -120 : 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(ed, &wheel);
        }
        QCOMPARE(f.w->view().drawn_first, qint64(first_row));
        const QString row = QStringLiteral("\r\n\r\n %1   ").arg(first_row, 6, 16, QLatin1Char('0')).toUpper();
        QVERIFY2(ed->dump_text().startsWith(row), qPrintable(ed->dump_text().left(20)));
        QCOMPARE(f.w->VScroll1->value(), first_row / 16);
        QCOMPARE(f.w->txtBufferAddress[1]->geometry(), header);   // the header stays put
    }
    void close_when_idle_takes_two_steps()
    {
        Fixture f;
        f.w->show();
        const int closes_before = f.port.close_calls;
        QVERIFY(!f.w->close());   // first request cancelled
        QVERIFY(f.w->isVisible());
        QVERIFY(f.w->closing_requested());
        QVERIFY(f.w->TimerUnload.enabled());
        QSignalSpy unloaded(f.w.get(), &frmMain::unloaded);
        QTRY_VERIFY_WITH_TIMEOUT(!f.w->isVisible(), 3000);
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!f.w->TimerUnload.enabled());
        QVERIFY(!f.port.is_open());
        QVERIFY(f.port.close_calls >= closes_before);
    }
    void close_during_operation_stops_it()
    {
        Fixture f;
        f.w->show();
        // The MCU never answers: Test Option keeps greeting until it is stopped.
        bool returned = false;
        bool visible_after_return = false;
        QTimer::singleShot(300, f.w.get(), [&] { f.w->close(); });
        QTimer::singleShot(0, f.w.get(), [&] {
            f.w->comReadChipLock->click();
            returned = true;
            visible_after_return = f.w->isVisible();
        });
        QTRY_VERIFY_WITH_TIMEOUT(returned, 5000);
        // The operation unwound at once; the window still stands until TimerUnload ticks.
        QVERIFY(visible_after_return);
        QVERIFY(f.w->closing_requested());
        QVERIFY(f.wb().link.stop_requested());
        QVERIFY(!f.wb().link.port_open());
        QVERIFY(f.w->comDownload[0]->isEnabled());   // idle again
        QVERIFY(!f.w->comStop_Download->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!f.w->isVisible(), 3000);
    }
    void editor_confirm_then_edit()
    {
        QTemporaryDir dir;
        // Its one record has a wrong checksum: the record is kept, the log names its line.
        const QString hex = dir.filePath(QStringLiteral("four.hex"));
        QVERIFY(e2e::write_file(hex, ":040000001122334400\r\n:00000001FF\r\n"));
        Fixture f;
        f.w->show();
        QVERIFY(f.load(hex));
        QCOMPARE(f.wb().image.program_buffer[0], quint8(0x11));
        QCOMPARE(f.wb().log.lines().last(), QStringLiteral("Checksum error on line 1 of the HEX file. / HEX 文件第 1 行校验和错误。"));
        QVERIFY(f.w->Frame7->title().endsWith(QStringLiteral("four.hex")));

        BufferEditor* ed = f.w->txtBuffer2;
        const QString text = ed->dump_text();
        const int line0 = text.indexOf(QStringLiteral(" 000000   "));
        QVERIFY(line0 >= 0);
        // A click on the address column selects the first digit of the first byte.
        ed->set_selection(line0 + 2, 0);
        ed->on_mouse_down();
        QCOMPARE(ed->caret(), line0 + 10);
        QCOMPARE(ed->selection_length(), 1);

        // The key reaches the core's editor (its rules are tested there): asked once, then stored.
        f.dialogs.yes_no_answers << true;
        QTest::keyClick(ed, Qt::Key_A, Qt::NoModifier);
        QCOMPARE(f.dialogs.questions.last(), QStringLiteral("Update the buffer? / 修改缓冲区内容吗?"));
        QCOMPARE(f.wb().image.program_buffer[0], quint8(0xA1));
        QCOMPARE(ed->dump_text().mid(line0 + 10, 2), QStringLiteral("A1"));
        QCOMPARE(ed->caret(), line0 + 11);
        QCOMPARE(ed->selection_length(), 1);
        QVERIFY(f.w->view().Timer11.enabled());
    }
    void first_run_defaults()
    {
        Fixture f;
        // Model index 0, COM1, fill "00", beep YES, pause "5", formats, double speed NO.
        QCOMPARE(f.w->combMcuModel->currentIndex(), 0);
        QCOMPARE(f.w->combMcuModel->currentText(), QStringLiteral("ZVK7H04A"));
        QCOMPARE(f.wb().model.model_code, QStringLiteral("F001"));
        QCOMPARE(f.w->combCommPort->count(), 8);
        for (int i = 0; i < 8; ++i) {
            const QString t = f.w->combCommPort->itemText(i);
            QVERIFY2(t.startsWith(QStringLiteral("COM%1").arg(i + 1)) && t.contains(QStringLiteral("/dev/")), qPrintable(t));
        }
        QVERIFY(f.w->combCommPort->currentText().startsWith(QStringLiteral("COM1")));
        QCOMPARE(f.wb().link.port_device(), f.w->chosen_port_device());
        QVERIFY(f.w->optFillbyte[1]->isChecked());
        QCOMPARE(f.wb().image.fill_byte(), quint8(0x00));
        QVERIFY(f.w->optBeepYes->isChecked());
        QCOMPARE(f.w->comDalay_ReDownLoad->currentText(), QStringLiteral("5"));
        QCOMPARE(f.w->cobUserCodeParity->currentText(), QStringLiteral("None"));
        QCOMPARE(f.w->cob_DEMO_UserCode_Parity->currentText(), QStringLiteral("Even"));
        QVERIFY(f.w->Option[0][1]->isChecked());
        QCOMPARE(f.w->cobBaudMax->currentText(), QStringLiteral("115200"));
        QCOMPARE(f.wb().choices.max_baud, 115200);
        QCOMPARE(f.wb().choices.power_cycle, PowerCycle::None);
        QVERIFY(qAbs(f.w->form_width() - 12000) <= 15);
        QVERIFY(qAbs(f.w->form_height() - 9045) <= 15);
        // Start-up state of the buffer and viewer.
        QCOMPARE(f.w->VScroll1->maximum(), 64);
        QCOMPARE(f.w->labKbyte->text(), QString());
        QVERIFY(f.w->txtBuffer2->dump_text().startsWith(QStringLiteral("\r\n\r\n 000000   00 00")));
        QCOMPARE(f.w->txtISP_reange[0]->text(), QString());   // the first save fills them
        // Loading armed the deferred save: the section is written back about half a second later.
        QVERIFY(f.w->settings().Timer3.enabled());
        QTRY_VERIFY_WITH_TIMEOUT(!f.w->settings().Timer3.enabled(), 2000);
        QCOMPARE(f.w->settings().value(SettingsStore::kSettings, QStringLiteral("COM_port"), QString()),
                 QStringLiteral("0"));
        QCOMPARE(f.w->txtISP_reange[0]->text(), QStringLiteral("0000"));
        QCOMPARE(f.w->txtISP_reange[2]->text(), QStringLiteral("03800"));
        QCOMPARE(f.w->txtISP_reange[3]->text(), QStringLiteral("03BFF"));
        // The beep and pause choices reach the core as they change (a repeated download reads them each cycle).
        f.w->optBeepNo->click();
        f.w->comDalay_ReDownLoad->setCurrentIndex(7);
        QVERIFY(!f.wb().runner.choices.beep_on_success);
        QCOMPARE(f.wb().runner.choices.redownload_delay_text, QStringLiteral("2"));
    }
    void settings_survive_restart()
    {
        {
            Fixture f;
            f.w->combMcuModel->setCurrentIndex(4);
            emit f.w->combMcuModel->activated(4);
            f.w->optFillbyte[0]->setChecked(true);
            f.w->combCommPort->setCurrentIndex(2);
            f.w->optBeepNo->click();
            f.w->comDalay_ReDownLoad->setCurrentIndex(6);
            f.w->cobUserCodeParity->setCurrentIndex(1);
            f.w->cob_DEMO_UserCode_StopBits->setCurrentIndex(2);
            f.w->txt_DEMO_UserCode->setText(QStringLiteral("AA 55"));
            QCOMPARE(f.w->cob_PowerCycle->itemText(2), QStringLiteral("RTS"));
            f.w->cob_PowerCycle->setCurrentIndex(1);
            QCOMPARE(f.wb().choices.power_cycle, PowerCycle::Dtr);
            f.w->cob_PowerCycle->setCurrentIndex(2);
            QCOMPARE(f.wb().choices.power_cycle, PowerCycle::Rts);
            // A change arms the deferred save, which writes the choices.
            QVERIFY(f.w->settings().Timer3.enabled());
            QTRY_VERIFY_WITH_TIMEOUT(!f.w->settings().Timer3.enabled(), 2000);
            QCOMPARE(f.w->settings().value(SettingsStore::kSettings, QStringLiteral("PowerCycle"), QString()),
                     QStringLiteral("2"));
        }
        Fixture g;
        QCOMPARE(g.w->combMcuModel->currentText(), QStringLiteral("ZVK7H32B+"));
        QCOMPARE(g.wb().model.model_code, QStringLiteral("F108"));
        QVERIFY(g.w->optFillbyte[0]->isChecked());
        QCOMPARE(g.w->combCommPort->currentIndex(), 2);
        QVERIFY(g.w->optBeepNo->isChecked());
        QCOMPARE(g.w->comDalay_ReDownLoad->currentText(), QStringLiteral("3"));
        QCOMPARE(g.w->cobUserCodeParity->currentText(), QStringLiteral("Odd"));
        QCOMPARE(g.w->cob_DEMO_UserCode_StopBits->currentText(), QStringLiteral("2"));
        QCOMPARE(g.w->cob_PowerCycle->currentIndex(), 2);
        QCOMPARE(g.wb().choices.power_cycle, PowerCycle::Rts);
        // The command text is not remembered; the maximum baud neither.
        QCOMPARE(g.w->txt_DEMO_UserCode->text(), QString());
        QCOMPARE(g.w->cobBaudMax->currentIndex(), 0);
    }
    void typed_device_path_persists()
    {
        {
            Fixture f;
            f.w->combCommPort->setEditText(QStringLiteral("/dev/pts/77"));
            QCOMPARE(f.w->chosen_port_device(), QStringLiteral("/dev/pts/77"));
            QCOMPARE(f.wb().link.port_device(), QStringLiteral("/dev/pts/77"));
            f.w->settings().request_settings_save();
            QTRY_VERIFY_WITH_TIMEOUT(!f.w->settings().Timer3.enabled(), 2000);
        }
        {
            Fixture g;
            QCOMPARE(g.w->chosen_port_device(), QStringLiteral("/dev/pts/77"));
            // Choosing a list entry again forgets the typed path.
            g.w->combCommPort->setCurrentIndex(1);
            QVERIFY(g.w->chosen_port_device() != QStringLiteral("/dev/pts/77"));
            QTRY_VERIFY_WITH_TIMEOUT(!g.w->settings().Timer3.enabled(), 2000);
        }
        {
            Fixture h;
            QVERIFY(h.w->chosen_port_device() != QStringLiteral("/dev/pts/77"));
            QCOMPARE(h.w->combCommPort->currentIndex(), 1);
        }
        // --port preselects a device.
        Fixture k(QStringLiteral("/dev/pts/5"));
        QCOMPARE(k.w->chosen_port_device(), QStringLiteral("/dev/pts/5"));
    }
    void log_lines_reach_the_window()
    {
        Fixture f;
        f.wb().log.clear();
        f.wb().log.append(QStringLiteral("first"));
        f.wb().log.append(QStringLiteral("Chinese:第二"));
        QCOMPARE(f.w->textMsg->toPlainText(), QStringLiteral("\nfirst\nChinese:第二"));
        QCOMPARE(f.w->textMsg->textCursor().position(), f.w->textMsg->toPlainText().size());
        f.wb().log.set_text(QStringLiteral("\r\nkept\r\n\r\nProgram succeed. / 下载成功."));
        QCOMPARE(f.w->textMsg->toPlainText(), QStringLiteral("\nkept\n\nProgram succeed. / 下载成功."));
    }
    void permission_failure_shows_one_advice_line()
    {
        Fixture f;
        f.w->show();
        f.w->combCommPort->setEditText(QStringLiteral("/dev/ttyS0"));
        f.port.open_error = 13;
        f.port.open_error_kind = PortErrorKind::PermissionDenied;
        f.port.open_error_text = QStringLiteral("Permission denied");
        f.wb().log.clear();
        f.w->comReadChipLock->click();

        // The three failure lines, then the core's single line of advice, and nothing from the window.
        QStringList shown = f.w->textMsg->toPlainText().split(QLatin1Char('\n'));
        const int first = shown.indexOf(QStringLiteral("Open COM port failure! / 打开串口失败!"));
        QVERIFY2(first >= 0, qPrintable(shown.join(QLatin1Char('|'))));
        shown = shown.mid(first);
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown.mid(1, 2), (QStringList{"The COM port opened by another Program or no the COM port.",
                                               "Chinese:串口已被其它程序打开或该串口不存在。"}));
        // The group to join when it may read and write the device, else the device's mode.
        QVERIFY2(shown.at(3).startsWith(QStringLiteral("Permission denied on /dev/ttyS0")), qPrintable(shown.at(3)));
        QVERIFY(shown.at(3).contains(QStringLiteral("usermod -aG")) || shown.at(3).contains(QStringLiteral("chmod 660")));
        QCOMPARE(f.dialogs.beeps, 3);
        QVERIFY(f.w->comReadChipLock->isEnabled());   // idle again
    }
    void status_panel_rows_on_labels()
    {
        Fixture f;
        f.w->show();
        f.wb().select_model(QStringLiteral("ZVK7H08A"));
        f.wb().status.mcu_type_name = QStringLiteral("ZVK7H/L08A");
        f.wb().status_report.show_mcu_status(0x28, 'C', 0xFE);
        f.wb().status_report.show_status_panel(0x28, 'C', 0xFE, 0);
        const Twips& t = f.w->twips();
        for (int i = 0; i <= 8; ++i)
            QVERIFY2(!f.w->LabLock[i]->isHidden(), qPrintable(QString::number(i)));
        QCOMPARE(f.w->LabLock[8]->y(), t.px(1200 + 5 * 230));
        QCOMPARE(f.w->LabLock[3]->text(), QStringLiteral("Double speed (6 clock) / 双倍速:       Yes"));
        // Variant B: rows 4..8 go away.
        f.wb().status_report.show_mcu_status(0x28, 'B', 0x00);
        f.wb().status_report.show_status_panel(0x28, 'B', 0x00, 0);
        QVERIFY(!f.w->LabLock[3]->isHidden());
        QCOMPARE(f.w->LabLock[3]->y(), t.px(1500));
        for (int i = 4; i <= 8; ++i)
            QVERIFY(f.w->LabLock[i]->isHidden());
        f.wb().status_report.hide_status_panel_rows();
        for (int i = 1; i <= 8; ++i)
            QVERIFY(f.w->LabLock[i]->isHidden());
    }
    void option_panel_by_family_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("buttons");
        QTest::addColumn<bool>("gain_row");
        QTest::addColumn<bool>("note");
        QTest::newRow("family 0") << QStringLiteral("ZVK7H32B") << true << false << true;
        QTest::newRow("family 1") << QStringLiteral("ZVK7L16D") << false << false << false;
        QTest::newRow("family 2") << QStringLiteral("ZVK7L64B+") << true << true << false;
    }
    void option_panel_by_family()
    {
        QFETCH(QString, model);
        QFETCH(bool, buttons);
        QFETCH(bool, gain_row);
        QFETCH(bool, note);
        Fixture f;
        f.w->show();
        // Another family first, with the other choices picked: selecting resets them.
        f.wb().select_model(QStringLiteral("ZVK7H04A"));
        f.w->Option[0][0]->click();
        f.w->Option[1][1]->click();
        QVERIFY(f.wb().options.double_speed_yes());
        f.wb().select_model(model);
        QVERIFY(f.w->Picture2[0]->isVisible());
        QVERIFY(f.w->LabOption[0]->isVisible());
        QCOMPARE(f.w->Option[0][0]->isVisible(), buttons);
        QCOMPARE(f.w->Option[0][1]->isVisible(), buttons);
        QCOMPARE(f.w->Picture2[1]->isVisible(), gain_row);
        QCOMPARE(f.w->Label7->isVisible(), gain_row);
        QCOMPARE(f.w->LabOptionC[0]->isVisible(), note);
        QVERIFY(!f.wb().options.double_speed_yes());
        if (buttons)
            QVERIFY(f.w->Option[0][1]->isChecked());
        if (gain_row) {
            QVERIFY(f.w->Option[1][0]->isChecked());
            QCOMPARE(f.w->Option[1][0]->text(), QStringLiteral("1/2 gain"));
        }
        for (int i = 2; i < 8; ++i)
            QVERIFY(!f.w->Picture2[i]->isVisible());
        // A click on YES goes to the panel and shows on the pair.
        if (buttons) {
            f.w->Option[0][0]->click();
            QVERIFY(f.wb().options.double_speed_yes());
            QVERIFY(f.w->Option[0][0]->isChecked());
            QVERIFY(!f.w->Option[0][1]->isChecked());
        }
    }
    void file_dialogs_offer_the_file_types()
    {
        // The window's own dialogs: the open and save boxes list the file types, the first preset.
        frmMain::Options o;
        FakeSerialPort port;
        o.port = &port;
        o.calibrate = false;
        frmMain w(o);
        w.show();
        QList<QStringList> seen;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &w, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* fd = qobject_cast<QFileDialog*>(modal)) {
                seen << (QStringList{fd->windowTitle(), fd->selectedNameFilter()} + fd->nameFilters());
                fd->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->accept();
            }
        });
        closer.start(20);
        w.findChild<QPushButton*>(QStringLiteral("comLoadFile"))->click();
        w.findChild<QLineEdit*>(QStringLiteral("txt_Start_Address"))->setText(QStringLiteral("0"));
        w.findChild<QLineEdit*>(QStringLiteral("txt_length"))->setText(QStringLiteral("100"));
        w.findChild<QPushButton*>(QStringLiteral("comStoreFile"))->click();
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], (QStringList{"Open .hex or .bin file", "(*.hex, *.ihx, *.bin) (*.hex *.ihx *.bin)",
                                       "(*.hex, *.ihx, *.bin) (*.hex *.ihx *.bin)", "(*.bin) (*.bin)",
                                       "All Files (*.*) (*)"}));
        QCOMPARE(seen[1], (QStringList{"Save .bin file", "(*.bin) (*.bin)", "(*.bin) (*.bin)", "All Files (*.*) (*)"}));
    }
    void operations_want_a_file()
    {
        Fixture f;
        f.w->show();
        f.wb().select_model(QStringLiteral("ZVK7H64B+"));
        for (const char* name : {"comDownload(0)", "comDownload(1)", "comSendUserCode", "com_Demo_DownLoad",
                                 "com_Demo_Re_DownLoad"}) {
            f.wb().work.set_phase(WorkPhase::Idle);
            f.dialogs.clear();
            auto* b = f.get<QPushButton>(QString::fromLatin1(name));
            QVERIFY2(b && b->isEnabled(), name);
            const int opens = f.port.open_calls;
            b->click();
            QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("    Please open file./请打开文件。    ")});
            QCOMPARE(f.port.open_calls, opens);   // the port is not touched
            QVERIFY(f.w->comDownload[0]->isEnabled());
        }
    }
    void shortcuts_press_their_buttons()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("p.bin"));
        QVERIFY(e2e::write_file(bin, e2e::pattern(256, 3)));
        Fixture f;
        f.w->show();
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        // F5 without a file: Download's own refusal. Ctrl+O: the open dialog.
        QTest::keyClick(f.w.get(), Qt::Key_F5);
        QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("    Please open file./请打开文件。    ")});
        QTest::keyClick(f.w.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(f.dialogs.open_requests.size(), 1);
        QVERIFY(f.load(bin));

        // Esc while the download waits for a board (that never answers) stops it.
        bool returned = false;
        QTimer::singleShot(300, f.w.get(), [&] { QTest::keyClick(f.w.get(), Qt::Key_Escape); });
        QTimer::singleShot(0, f.w.get(), [&] {
            QTest::keyClick(f.w.get(), Qt::Key_F5);
            returned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(returned, 5000);
        QVERIFY(f.wb().link.stop_requested());
        QVERIFY(f.w->textMsg->toPlainText().contains(QStringLiteral("Operation is stop. / 操作被停止.")));
        QVERIFY(f.w->comDownload[0]->isEnabled());
        QVERIFY(!f.w->comStop_Download->isEnabled());
    }
    void dropped_file_loads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("taken");
        QTest::newRow("sdcc HEX output") << "p.ihx" << QByteArray(":0400000011223344AE\r\n:00000001FF\r\n") << true;
        QTest::newRow("binary, upper-case name") << "P.BIN" << QByteArray::fromHex("11223344") << true;
        QTest::newRow("other file") << "p.txt" << QByteArray::fromHex("11223344") << false;
    }
    void dropped_file_loads()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(e2e::write_file(path, content));
        Fixture f;
        f.w->show();
        f.fill_ranges();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.w.get(), &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.w.get(), &drop);
        QCoreApplication::processEvents();
        QCOMPARE(f.wb().image.file_loaded, taken);
        QCOMPARE(f.w->recent_files(), taken ? QStringList{path} : QStringList{});
        if (!taken)
            return;
        QCOMPARE(f.wb().image.program_buffer[0], quint8(0x11));
        QCOMPARE(f.w->Frame7->title(), QStringLiteral("File: ") + path);
        QCOMPARE(f.w->labStatusFile->text(), QStringLiteral("File/文件: ") + name);

        // Five recent files, newest first; opening one again puts it first.
        RecentFiles recent(f.w->settings());
        for (int i = 1; i <= 5; ++i)
            recent.add(dir.filePath(QStringLiteral("r%1.bin").arg(i)));
        QCOMPARE(f.w->recent_files().size(), 5);
        QCOMPARE(f.w->recent_files().last(), dir.filePath(QStringLiteral("r1.bin")));
        recent.add(dir.filePath(QStringLiteral("r3.bin")));
        QCOMPARE(f.w->recent_files().mid(0, 2), (QStringList{dir.filePath(QStringLiteral("r3.bin")),
                                                             dir.filePath(QStringLiteral("r5.bin"))}));
        // A recent file that has gone: the loader's message, and it leaves the list.
        f.w->open_program_path(dir.filePath(QStringLiteral("r3.bin")));
        QCOMPARE(f.dialogs.texts().last(), QStringLiteral("Can not find the file./找不到文件"));
        QCOMPARE(f.w->recent_files().size(), 4);
    }
};

QTEST_MAIN(TestUiWindow)
#include "test_ui_window.moc"
