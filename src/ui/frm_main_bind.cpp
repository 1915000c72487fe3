// frmMain: the load sequence, the settings, and the wiring between the widgets and the core.

#include "ui/buffer_editor.h"
#include "ui/control_states.h"
#include "ui/option_panel.h"
#include "ui/status_panel.h"
#include "ui/frm_main.h"
#include "ui/records_dialog.h"

#include "device/workbench.h"
#include "image/buffer_store.h"
#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"
#include "isp/port_names.h"
#include "isp/power_cycle.h"
#include "settings/combo_lists.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextCursor>
#include <QToolButton>

namespace {
const QString kComDeviceKey = QStringLiteral("COM_device");

void set_text_if_changed(QLineEdit* e, const QString& text)
{
    if (e->text() != text) {
        const QSignalBlocker block(e);
        e->setText(text);
    }
}
} // namespace

// ---- Load sequence ---------------------------------------------------------------------------

void frmMain::Form_Load()
{
    loading_ = true;
    Workbench& wb = *wb_;
    // 1.
    closing_requested_ = false;
    // 2-3. Geometry, then the remembered choices.
    load_settings();
    // 4.
    wb.results.connected = false;
    // 5. Buffer all 00h, the viewer from address 0.
    view_->clear_program_buffer(0x00);
    // 6.
    wb.link.set_prefix_mode(false);
    // 7.
    states_->disable_action_buttons();
    states_->enabled.insert(QStringLiteral("comDownload(0)"), true);
    states_->enabled.insert(QStringLiteral("comSendUserCode"), true);
    states_->notify();
    // 8.
    {
        Progress p = wb.work.progress();
        p.kbyte_text.clear();
        wb.work.set_progress(p);
    }
    labKbyte->setText(QString());
    // 9.
    if (calibrate_ && !wb.link.adopt_loops_per_ms(settings_->loops_per_ms())) {
        wb.link.calibrate_delay_loop();
        settings_->set_loops_per_ms(wb.link.loops_per_ms());
    }
    // 10.
    wb.status.mcu_type_name.clear();
    // 11.
    view_->small_change = 1;
    view_->large_change = 16;
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(16);
    // 12.
    serial_->serial_active = false;
    serial_->load_serial_settings();
    serial_->update_active();
    apply_serial_fields();
    // 13.
    cobBaudMax->setCurrentIndex(0);
    apply_link_choices();
    // 14.
    TabStrip1_Click();
    // 15.
    view_->edit_confirmed = false;
    {
        StoredSettings s = collect_settings();
        settings_->load_user_code_settings(s);
        settings_->load_demo_settings(s);
        QComboBox* user[4] = {cobUserCodeBaud, cobUserCodeParity, cobUserCodeDataBits, cobUserCodeStopBits};
        for (int i = 0; i < 4; ++i)
            if (s.user_code[i] >= 0 && s.user_code[i] < user[i]->count())
                user[i]->setCurrentIndex(s.user_code[i]);
        QComboBox* demo[8] = {cob_DEMO_DownLoad_Baud, cob_DEMO_DownLoad_Parity, cob_DEMO_DownLoad_DataBits,
                              cob_DEMO_DownLoad_StopBits, cob_DEMO_UserCode_Baud, cob_DEMO_UserCode_Parity,
                              cob_DEMO_UserCode_DataBits, cob_DEMO_UserCode_StopBits};
        for (int i = 0; i < 8; ++i)
            if (s.demo[i] >= 0 && s.demo[i] < demo[i]->count())
                demo[i]->setCurrentIndex(s.demo[i]);
    }
    // 16. Text1 last in the tab order.
    setTabOrder(comDownSoft_ICE, Text1);
    apply_control_states();
    apply_progress();
    apply_option_panel();
    apply_status_panel();
    apply_image_texts();
    loading_ = false;
}

void frmMain::load_settings()
{
    StoredSettings s;   // design values
    settings_->load_geometry(s);
    set_form_geometry(qRound(s.main_left), qRound(s.main_top), qRound(s.main_width), qRound(s.main_height));

    settings_->load_settings(s);
    // Model: setting the list index runs the selection.
    if (s.model_index >= 0 && s.model_index < combMcuModel->count()) {
        const QSignalBlocker block(combMcuModel);
        combMcuModel->setCurrentIndex(s.model_index);
    }
    comb_mcu_model_click();
    // Double speed.
    wb_->options.set_double_speed(s.double_speed_yes);
    // Fill byte.
    optFillbyte[0]->setChecked(s.fill_ff);
    optFillbyte[1]->setChecked(!s.fill_ff);
    wb_->image.fill_ff = s.fill_ff;
    // COM port (no selection falls back to COM1) and a typed device path.
    custom_device_ = settings_->value(SettingsStore::kSettings, kComDeviceKey, QString());
    if (!preset_device_.isEmpty())
        custom_device_ = preset_device_;
    fill_port_list();
    {
        const QSignalBlocker block(combCommPort);
        combCommPort->setCurrentIndex(s.com_index >= 0 && s.com_index < 8 ? s.com_index : 0);
        if (!custom_device_.isEmpty())
            combCommPort->setEditText(custom_device_);
    }
    on_port_choice_changed();
    // Beep, repeat pause.
    optBeepYes->setChecked(s.beep_yes);
    optBeepNo->setChecked(!s.beep_yes);
    if (s.delay_index >= 0 && s.delay_index < comDalay_ReDownLoad->count())
        comDalay_ReDownLoad->setCurrentIndex(s.delay_index);
    if (comb_WDT->currentText().isEmpty())
        comb_WDT->setCurrentIndex(0);
    // Automatic power cycling (missing or unusable: off).
    {
        const QSignalBlocker block(cob_PowerCycle);
        const PowerCycle power =
            power_cycle::from_stored(settings_->value(SettingsStore::kSettings, power_cycle::kSettingsKey, QString()));
        cob_PowerCycle->setCurrentIndex(int(power));
        wb_->choices.power_cycle = power;
    }
    txtStoreUrl->setText(strip_store_password(settings_->store_url()));
    // Setting the list indexes while loading raises their click events: the section is written
    // back half a second after start.
    request_settings_save();
}

StoredSettings frmMain::collect_settings() const
{
    StoredSettings s;
    const int fw = form_width();
    const int fh = form_height();
    s.main_left = tw_.tw(x());
    s.main_top = tw_.tw(y());
    s.main_width = fw;
    s.main_height = fh;
    s.model_index = combMcuModel->findText(combMcuModel->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    s.double_speed_yes = wb_->options.double_speed_yes();
    s.file_path = settings_->file_path();
    s.fill_ff = optFillbyte[0]->isChecked();
    s.com_index = combCommPort->currentIndex();
    s.beep_yes = optBeepYes->isChecked();
    s.delay_index = comDalay_ReDownLoad->currentIndex();
    s.user_code = {cobUserCodeBaud->currentIndex(), cobUserCodeParity->currentIndex(),
                   cobUserCodeDataBits->currentIndex(), cobUserCodeStopBits->currentIndex()};
    s.demo = {cob_DEMO_DownLoad_Baud->currentIndex(),    cob_DEMO_DownLoad_Parity->currentIndex(),
              cob_DEMO_DownLoad_DataBits->currentIndex(), cob_DEMO_DownLoad_StopBits->currentIndex(),
              cob_DEMO_UserCode_Baud->currentIndex(),    cob_DEMO_UserCode_Parity->currentIndex(),
              cob_DEMO_UserCode_DataBits->currentIndex(), cob_DEMO_UserCode_StopBits->currentIndex()};
    return s;
}

void frmMain::request_settings_save()
{
    settings_->request_settings_save();
}

void frmMain::save_settings_now()
{
    settings_->save_pending_settings();
}

// ---- Model -----------------------------------------------------------------------------------

void frmMain::comb_mcu_model_click()
{
    wb_->select_model(combMcuModel->currentText());
    update_status_bar();
}

// ---- Serial port choice ----------------------------------------------------------------------

QString frmMain::port_entry_text(int index, const QString& device)
{
    const QString com = QStringLiteral("COM%1").arg(index + 1);
    if (device.isEmpty() || device == com)
        return com;
    return QStringLiteral("%1 (%2)").arg(com, device);
}

void frmMain::fill_port_list()
{
    // One scan of the serial devices gives the eight entries (COMn -> the n-th device found).
    const QStringList found = ordered_serial_devices();
    for (int i = 0; i < 8; ++i) {
#ifdef Q_OS_WIN
        port_devices_[i] = QStringLiteral("COM%1").arg(i + 1);
#else
        port_devices_[i] = i < found.size() ? found.at(i) : QStringLiteral("/dev/ttyS%1").arg(i);
#endif
    }
    const QSignalBlocker block(combCommPort);
    const int index = combCommPort->currentIndex();
    const QString edit = combCommPort->currentText();
    const bool typed = combCommPort->count() > 0 && index >= 0 && edit != combCommPort->itemText(index);
    combCommPort->clear();
    for (int i = 0; i < 8; ++i)
        combCommPort->addItem(port_entry_text(i, port_devices_[i]));
    combCommPort->setCurrentIndex(index >= 0 ? index : 0);
    if (typed)
        combCommPort->setEditText(edit);
}

QString frmMain::chosen_port_device() const
{
    const QString text = combCommPort->currentText().trimmed();
    const int index = combCommPort->currentIndex();
    if (index >= 0 && index < 8 && text == combCommPort->itemText(index))
        return port_devices_[index];
    if (text.isEmpty())
        return port_devices_[qBound(0, index, 7)];
    return device_for_port_text(text);
}

QString frmMain::device_for_port_text(const QString& port_text) const
{
    // "COM3", a device path, or "COM3 (/dev/ttyUSB0)" as the list shows it.
    const QString text = port_text.trimmed();
    const int paren = text.indexOf(QLatin1String(" ("));
    if (paren > 0 && text.endsWith(QLatin1Char(')')))
        return text.mid(paren + 2, text.size() - paren - 3);
    for (int i = 0; i < 8; ++i)
        if (text.compare(QStringLiteral("COM%1").arg(i + 1), Qt::CaseInsensitive) == 0)
            return port_devices_[i];
    return resolve_port_device(text);
}

void frmMain::on_port_choice_changed()
{
    const QString text = combCommPort->currentText().trimmed();
    const int index = combCommPort->currentIndex();
    const bool typed = !(index >= 0 && text == combCommPort->itemText(index));
    const QString path = typed ? chosen_port_device() : QString();
    if (path != custom_device_ || typed != !custom_device_.isEmpty()) {
        custom_device_ = path;
        if (!loading_)
            settings_->set_value(SettingsStore::kSettings, kComDeviceKey, custom_device_);
    }
    wb_->link.set_port_device(chosen_port_device());
    update_status_bar();
}

// ---- Core -> widgets -------------------------------------------------------------------------

void frmMain::apply_control_states()
{
    const ControlStates& c = *states_;
    const WorkState& work = wb_->work;
    for (auto it = c.enabled.constBegin(); it != c.enabled.constEnd(); ++it)
        if (QWidget* w = controls_.value(it.key()))
            w->setEnabled(it.value());
    const QString softice_caption = work.softice_page_offered() ? QStringLiteral("仿真芯片") : QStringLiteral("_no_");
    const QString isp_demo_caption = work.isp_demo_page_offered() ? QStringLiteral("ISP DEMO") : QStringLiteral("_no_");
    if (TabStrip1->tabText(7) != softice_caption || TabStrip1->tabText(2) != isp_demo_caption) {
        TabStrip1->setTabText(7, softice_caption);
        TabStrip1->setTabText(2, isp_demo_caption);
        fit_tab_font();
    }
    switch (work.program_button()) {
    case WorkState::ProgramButton::First: comWrite->setText(QStringLiteral("下载,校验")); break;
    case WorkState::ProgramButton::Ready: comWrite->setText(QStringLiteral("DownLoad,Check")); break;
    case WorkState::ProgramButton::Programming: comWrite->setText(QStringLiteral("Stop")); break;
    }
    if (work.phase() == WorkPhase::Idle)
        reset_progress_after_operation();
    if (gang_active_) {
        // A gang run owns ports of its own: nothing on the window may open one meanwhile.
        for (QWidget* w : std::initializer_list<QWidget*>{comDownload[0], comDownload[1], comSendUserCode, comWrite,
                                                          comLock, comReadChipLock, com_Demo_DownLoad,
                                                          com_Demo_Re_DownLoad, comDownSoft_ICE})
            w->setEnabled(false);
    }
    comRecentFiles->setEnabled(comLoadFile->isEnabled());
    update_status_bar();
}

void frmMain::apply_option_panel()
{
    const OptionPanel& o = *option_panel_;
    const int row_h = 240;
    auto apply = [this](QWidget* w, const PanelItem& item, int height) {
        w->setGeometry(tw_.rect(item.left, item.top, item.width > 0 ? item.width : 1000, height));
        w->setVisible(item.visible);
        w->setEnabled(item.enabled);
        if (item.on_top)
            w->raise();
    };
    for (int i = 0; i < 8; ++i) {
        apply(Picture2[i], o.Picture2[i], row_h);
        apply(LabOption[i], o.LabOption[i], row_h);
        LabOption[i]->setText(o.LabOption[i].caption);
        for (int j = 0; j < 2; ++j) {
            const PanelItem& b = o.Option[i][j];
            QRadioButton* r = Option[i][j];
            const QSignalBlocker block(r);
            r->setText(b.caption);
            const int width = b.width > 0 ? b.width : tw_.tw(r->sizeHint().width()) + 60;
            r->setGeometry(tw_.rect(b.left, b.top, width, row_h));
            r->setVisible(b.visible);
            r->setEnabled(b.enabled);
            r->setChecked(b.selected);
        }
    }
    for (int i = 0; i < 2; ++i) {
        apply(LabOptionC[i], o.LabOptionC[i], 255);
        LabOptionC[i]->setText(o.LabOptionC[i].caption);
    }
    Label7->setGeometry(tw_.rect(o.Label7.left, o.Label7.top, kLeftColumnWidth - o.Label7.left - 60, 230));
    Label7->setVisible(o.Label7.visible);
    if (!o.Label7.caption.isEmpty())
        Label7->setText(o.Label7.caption);
}

void frmMain::apply_status_panel()
{
    const StatusPanel& p = *status_panel_;
    for (int i = 0; i < 9; ++i) {
        const PanelItem& item = p.LabLock[i];
        QLabel* lab = LabLock[i];
        if (i > 0 || !item.caption.isEmpty())
            lab->setText(item.caption);
        // Row 0 keeps its design top; the rows below take the tops the report gives them.
        const int top = item.top > 0 ? item.top : (i == 0 ? 370 : tw_.tw(lab->y()));
        const int left = item.left > 0 ? item.left : 800;
        lab->setGeometry(tw_.rect(left, top, item.width > 0 ? item.width : 4900, 230));
        lab->setVisible(item.visible);
        lab->setEnabled(item.enabled);
    }
}

void frmMain::apply_image_texts()
{
    const ProgramImage& im = wb_->image;
    for (int i = 0; i < 4; ++i)
        set_text_if_changed(txtISP_reange[i], im.range_texts[i]);
    Frame7->setTitle(im.frame_caption);
    set_text_if_changed(txt_length, im.store_length_text);
    set_text_if_changed(txt_Start_Address, im.store_start_text);
    set_text_if_changed(Text4, im.buffer_start_text);
    if (Check6->isChecked() != im.clear_buffer_on_load) {
        const QSignalBlocker block(Check6);
        Check6->setChecked(im.clear_buffer_on_load);
    }
    comStoreFile->setEnabled(BufferStore::store_enabled(txt_Start_Address->text(), txt_length->text()));
    update_status_bar();
}

void frmMain::apply_serial_fields()
{
    const SerialNumber& s = *serial_;
    for (int i = 0; i < 4; ++i)
        set_text_if_changed(texAuto_Increase[i], s.texts[i]);
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(optAuto_Increase[i]);
        optAuto_Increase[i]->setChecked(s.format == i);
    }
    const QSignalBlocker block(cheAuto_Increase);
    cheAuto_Increase->setChecked(s.checked);
}

void frmMain::apply_view()
{
    const BufferView& v = *view_;
    txtBuffer->set_dump_text(v.back_text);
    txtBuffer->set_selection(v.back_caret, v.back_selection);
    txtBuffer2->set_dump_text(v.front_text);
    txtBuffer2->set_selection(v.front_caret, v.front_selection);
    const QSignalBlocker block(VScroll1);
    VScroll1->setRange(v.scroll_min, qMax(v.scroll_min, v.scroll_max));
    VScroll1->setValue(v.scroll_value);
    VScroll1->setSingleStep(v.small_change);
    VScroll1->setPageStep(v.large_change);
    VScroll1->setEnabled(v.scroll_enabled);
}

void frmMain::apply_link_choices()
{
    LinkChoices& c = wb_->choices;
    c.max_baud = cobBaudMax->currentText().trimmed().toInt();
    c.wdt_pin_enabled = opt_ISP_DEMO_WDT[1]->isChecked();
    c.wdt_pin = comb_WDT->currentText();
    c.power_cycle = power_cycle::from_stored(QString::number(cob_PowerCycle->currentIndex()));
    wb_->work.set_wdt_pin_option_selected(c.wdt_pin_enabled);
    update_status_bar();
}

void frmMain::apply_option_choices()
{
    OptionChoices& o = wb_->options;
    o.erase_data_yes = opt_erase_data[0]->isChecked();
    o.p10_p11_to_gnd_yes = optShot_P10_P11_to_GND[0]->isChecked();
    o.aux_ram_no = optAUX_RAM_NO->isChecked();
    o.rst_close_wdt_no = optRST_CLOSE_WDT_NO->isChecked();
}

void frmMain::redraw_buffer()
{
    view_->VScroll1_Change();
}

void frmMain::on_log_appended(const QString& line)
{
    QTextCursor c = textMsg->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("\n") + line);
    textMsg->setTextCursor(c);
    textMsg->ensureCursorVisible();
}

void frmMain::on_log_replaced(const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    textMsg->setPlainText(plain);
    QTextCursor c = textMsg->textCursor();
    c.movePosition(QTextCursor::End);
    textMsg->setTextCursor(c);
    textMsg->ensureCursorVisible();
}

// ---- Deferred save events (Change / Click / GotFocus / LostFocus) ----------------------------

void frmMain::arm_save_on(QWidget* w, bool focus_in, bool focus_out)
{
    w->setProperty("zvk_save_in", focus_in);
    w->setProperty("zvk_save_out", focus_out);
    w->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched->property("zvk_save_in").toBool())
        request_settings_save();
    else if (event->type() == QEvent::FocusOut && watched->property("zvk_save_out").toBool())
        request_settings_save();
    else if (event->type() == QEvent::MouseButtonRelease && watched->property("zvk_save_up").toBool())
        request_settings_save();
    else if (event->type() == QEvent::MouseButtonPress && watched->property("zvk_save_click").toBool())
        request_settings_save();
    if (event->type() == QEvent::MouseButtonPress && watched->property("zvk_refresh_ports").toBool()) {
        // Adapters come and go: the entries are read again when the list is opened.
        fill_port_list();
        on_port_choice_changed();
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Wiring ----------------------------------------------------------------------------------

