// frmMain: the buttons that start the long operations of the core.

#include "ui/frm_main.h"
#include "ui/buffer_editor.h"
#include "ui/control_states.h"
#include "ui/option_panel.h"
#include "ui/status_panel.h"
#include "image/buffer_store.h"
#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"
#include "isp/port_names.h"
#include "isp/power_cycle.h"
#include "settings/combo_lists.h"

#include "custom/custom_download.h"
#include "custom/user_code.h"
#include "device/numbered_board.h"
#include "device/serial_pool.h"
#include "device/workbench.h"
#include "softice/softice_download.h"
#include "ui/gang_dialog.h"
#include "ui/records_dialog.h"
#include "base/user_dialogs.h"
#include "settings/settings_store.h"
#include "store/production_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

void frmMain::sync_operation_choices()
{
    // The device the port choice names, and the page controls the operations read.
    on_port_choice_changed();
    DownloadChoices& c = wb_->runner.choices;
    c.reload_file = cekReloadFile->isChecked();
    c.beep_on_success = optBeepYes->isChecked();
    c.redownload_delay_text = comDalay_ReDownLoad->currentText();

    UserCodeCommand& u = *user_code_;
    u.code_text = txtUserCode->text();
    u.baud = cobUserCodeBaud->currentText();
    u.parity = cobUserCodeParity->currentText();
    u.data_bits = cobUserCodeDataBits->currentText();
    u.stop_bits = cobUserCodeStopBits->currentText();

    CustomDownload& d = *custom_;
    d.download_baud = cob_DEMO_DownLoad_Baud->currentText();
    d.download_parity = cob_DEMO_DownLoad_Parity->currentText();
    d.download_data_bits = cob_DEMO_DownLoad_DataBits->currentText();
    d.download_stop_bits = cob_DEMO_DownLoad_StopBits->currentText();
    d.trigger_baud = cob_DEMO_UserCode_Baud->currentText();
    d.trigger_parity = cob_DEMO_UserCode_Parity->currentText();
    d.trigger_data_bits = cob_DEMO_UserCode_DataBits->currentText();
    d.trigger_stop_bits = cob_DEMO_UserCode_StopBits->currentText();
    d.send_trigger = che_Demo_DownLoad->isChecked();
    d.trigger_text = txt_DEMO_UserCode->text();
}

void frmMain::bind_operations()
{
    Workbench& wb = *wb_;
    user_code_ = std::make_unique<UserCodeCommand>(wb);
    custom_ = std::make_unique<CustomDownload>(wb);
    softice_ = std::make_unique<SoftIceDownload>(wb, *loader_);
    wb.runner.set_image_tools(loader_.get(), serial_.get());
    connect(&wb.runner, &DownloadRunner::board_finished, this, [this] {
        if (numbered_)
            serial_->set_field_text(2, serial_pool_->next_text());
    });
    custom_->set_image_tools(serial_.get());
    custom_->move_focus_off_buttons = [this] { Text1->setFocus(); };
    wb.programmer.enable_timer4 = [this] { Timer4.start(); };

    for (int i = 0; i < 2; ++i)
        connect(comDownload[i], &QPushButton::clicked, this, [this, i] {
            sync_operation_choices();
            if (!begin_store_numbers())
                return;
            wb_->runner.run(i == 0 ? DownloadRunner::Mode::Download : DownloadRunner::Mode::ReDownload);
            end_store_numbers();
        });
    connect(comWrite, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        wb_->programmer.program_and_verify();
    });
    connect(comLock, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        wb_->option_writer.write_options();
    });
    connect(comSendUserCode, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        user_code_->send_then_download();
    });
    connect(com_Demo_DownLoad, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        custom_->download_once();
    });
    connect(com_Demo_Re_DownLoad, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        custom_->download_repeatedly();
    });
    connect(comGang, &QPushButton::clicked, this, &frmMain::open_gang_dialog);
    connect(comRecords, &QPushButton::clicked, this, &frmMain::open_records_dialog);
    connect(txtStoreUrl, &QLineEdit::editingFinished, this, &frmMain::store_url_edited);
    connect(com_Demo_Stop, &QPushButton::clicked, this, [this] { custom_->stop_custom(); });
    connect(comDownSoft_ICE, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        softice_->download_monitor();
    });
    // These stay usable while an operation runs, and every cycle of a repeated download reads them
    // as they are then: a change reaches the core at once.
    for (QRadioButton* r : {optBeepYes, optBeepNo})
        connect(r, &QRadioButton::toggled, this, &frmMain::sync_operation_choices);
    connect(cekReloadFile, &QCheckBox::toggled, this, &frmMain::sync_operation_choices);
    connect(che_Demo_DownLoad, &QCheckBox::toggled, this, &frmMain::sync_operation_choices);
    for (QLineEdit* e : {txtUserCode, txt_DEMO_UserCode})
        connect(e, &QLineEdit::textChanged, this, &frmMain::sync_operation_choices);
    for (QComboBox* c : {comDalay_ReDownLoad, cobUserCodeBaud, cobUserCodeParity, cobUserCodeDataBits,
                         cobUserCodeStopBits, cob_DEMO_DownLoad_Baud, cob_DEMO_DownLoad_Parity,
                         cob_DEMO_DownLoad_DataBits, cob_DEMO_DownLoad_StopBits, cob_DEMO_UserCode_Baud,
                         cob_DEMO_UserCode_Parity, cob_DEMO_UserCode_DataBits, cob_DEMO_UserCode_StopBits})
        connect(c, &QComboBox::currentTextChanged, this, &frmMain::sync_operation_choices);
    for (int i = 0; i < 2; ++i)
        connect(opt_ISP_DEMO_WDT[i], &QRadioButton::clicked, this, [this, i] {
            custom_->select_watchdog_choice(i);
            apply_link_choices();
        });
    bind_shortcuts_and_files();
}

// ---- Gang programming ------------------------------------------------------------------------

void frmMain::open_gang_dialog()
{
    if (!gang_dialog_)
        gang_dialog_ = new GangDialog(
            GangHost{*wb_, *states_, *dialogs_, *loader_, *serial_, [this] { return combCommPort->currentText(); },
                     [this](const QString& text) { return device_for_port_text(text); },
                     [this] { return window_busy(); }, [this] { sync_operation_choices(); },
                     [this](bool on) { set_gang_active(on); }},
            this);
    gang_dialog_->show();
    gang_dialog_->raise();
    gang_dialog_->activateWindow();
}

void frmMain::open_records_dialog()
{
    int format = 0;
    for (int i = 0; i < int(optAuto_Increase.size()); ++i)
        if (optAuto_Increase[size_t(i)]->isChecked())
            format = i;
    if (!records_dialog_)
        records_dialog_ = new RecordsDialog(this);
    records_dialog_->set_source(txtStoreUrl->text(), texAuto_Increase[0]->text(), texAuto_Increase[1]->text(), format);
    records_dialog_->show();
    records_dialog_->raise();
    records_dialog_->activateWindow();
    records_dialog_->refresh();
}

void frmMain::store_url_edited()
{
    bool removed = false;
    const QString url = strip_store_password(txtStoreUrl->text(), &removed);
    if (url != txtStoreUrl->text())
        txtStoreUrl->setText(url);
    if (url != settings_->store_url())
        settings_->set_store_url(url);
    if (removed)
        dialogs_->message_box(QStringLiteral("The password was taken out of the store address: put it in ~/.pgpass, "
                                             "PGPASSWORD or a service file.\n"
                                             "数据库地址中的密码已删除, 请把密码放在 ~/.pgpass、PGPASSWORD 或服务文件中。"),
                              QStringLiteral("Store / 数据库"), UserDialogs::Icon::Information);
}

std::unique_ptr<SerialPool> frmMain::store_serial_pool()
{
    const SerialNumber& serial = *serial_;
    SeriesKey key;
    key.product = QStringLiteral("default");
    key.address = quint32(serial.serial_address);
    key.bytes = serial.serial_length;
    key.format = SerialNumberFormat(serial.format);
    const qint64 next = serial.texts[2].trimmed().toLongLong();
    const qint64 step = qMax<qint64>(1, serial.texts[3].trimmed().toLongLong());
    const QString location = settings_->store_url();
    const QString station = default_station_name();
    auto opened = open_production_store(location, station);
    const auto refuse = [this](const QString& why) {
        dialogs_->message_box(QStringLiteral("The production store gives no serial number: %1\n"
                                             "生产数据库无法提供序列号: %1").arg(scrub_store_text(why)),
                              QStringLiteral("Store / 数据库"), UserDialogs::Icon::Exclamation);
        return nullptr;
    };
    if (!opened.ok())
        return refuse(opened.message);
    // Typing into the next-value box is an explicit restart there.
    const auto info = start_series(*opened.value, key, next, step, next_edited_);
    if (!info.ok())
        return refuse(info.message);
    next_edited_ = false;
    return std::make_unique<SerialPool>(
        [location, station] { return std::move(open_production_store(location, station).value); }, key);
}

bool frmMain::begin_store_numbers()
{
    SerialNumber& serial = *serial_;
    if (!wb_->image.file_loaded || !serial.checked)
        return true;
    if (!serial.serial_active)
        serial.update_active();
    if (!serial.serial_active)
        return true;   // the page's own message said why; the download runs as without numbers
    serial_pool_ = store_serial_pool();
    if (!serial_pool_)
        return false;
    numbers_stop_ = false;
    numbered_ = std::make_unique<NumberedBoard>(*wb_, serial, *serial_pool_, numbers_stop_, false);
    serial_->set_field_text(2, serial_pool_->next_text());
    wb_->runner.set_image_tools(loader_.get(), nullptr);
    wb_->runner.set_numbers(numbered_.get());
    return true;
}

void frmMain::end_store_numbers()
{
    if (!numbered_)
        return;
    wb_->runner.set_numbers(nullptr);
    wb_->runner.set_image_tools(loader_.get(), serial_.get());
    numbered_.reset();
    serial_->set_field_text(2, serial_pool_->next_text());
    serial_pool_.reset();
}

bool frmMain::window_busy() const
{
    return wb_->runner.running() || (custom_ && custom_->running) || wb_->link.port_open();
}

void frmMain::set_gang_active(bool on)
{
    if (gang_active_ == on)
        return;
    gang_active_ = on;
    apply_control_states();
}

void frmMain::bind_core()
{
    Workbench& wb = *wb_;
    settings_ = std::make_unique<SettingsStore>();
    serial_ = std::make_unique<SerialNumber>(wb.image, wb.model, settings_.get(), dialogs_);
    view_ = std::make_unique<BufferView>(wb.image, serial_.get(), dialogs_);
    txtBuffer->set_source(view_.get(), &wb.image);
    txtBuffer2->set_source(view_.get(), &wb.image);
    loader_ = std::make_unique<FileLoader>(wb.image, wb.model, *serial_, settings_.get(), dialogs_);
    store_ = std::make_unique<BufferStore>(wb.image, settings_.get(), dialogs_);

    // Core -> widgets.
    connect(states_.get(), &ControlStates::changed, this, &frmMain::apply_control_states);
    connect(&wb.work, &WorkState::progress_changed, this, &frmMain::apply_progress);
    connect(option_panel_.get(), &OptionPanel::changed, this, &frmMain::apply_option_panel);
    connect(status_panel_.get(), &StatusPanel::changed, this, &frmMain::apply_status_panel);
    connect(&wb.log, &MessageLog::appended, this, &frmMain::on_log_appended);
    connect(&wb.log, &MessageLog::replaced, this, &frmMain::on_log_replaced);
    connect(&wb.image, &ProgramImage::changed, this, &frmMain::apply_image_texts);
    connect(loader_.get(), &FileLoader::caption_changed, this, &frmMain::apply_image_texts);
    connect(loader_.get(), &FileLoader::log_line, &wb.log, &MessageLog::append);
    connect(&wb, &Workbench::tab_click_requested, this, &frmMain::TabStrip1_Click);
    connect(&wb, &Workbench::settings_save_requested, this, &frmMain::request_settings_save);
    connect(view_.get(), &BufferView::redrawn, this, [this] {
        apply_view();
        apply_image_texts();
    });
    connect(view_.get(), &BufferView::front_changed, this, [this] {
        txtBuffer2->set_dump_text(view_->front_text);
        txtBuffer2->set_selection(view_->front_caret, view_->front_selection);
    });
    connect(view_.get(), &BufferView::focus_front, this, [this] { txtBuffer2->setFocus(); });
    view_->reset_progress = [this] {
        Progress p = wb_->work.progress();
        p.value = p.minimum;
        p.border_single = false;
        p.kbyte_text.clear();
        wb_->work.set_progress(p);
    };
    connect(serial_.get(), &SerialNumber::changed, this, &frmMain::apply_serial_fields);
    serial_->set_fields_enabled = [this](bool on) {
        for (int i = 0; i < 4; ++i)
            states_->enabled.insert(QStringLiteral("texAuto_Increase(%1)").arg(i), on);
        for (int i = 0; i < 3; ++i)
            states_->enabled.insert(QStringLiteral("optAuto_Increase(%1)").arg(i), on);
        states_->notify();
    };
    loader_->set_wait_cursor = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    settings_->collect = [this] { return collect_settings(); };
    settings_->show_memory_ranges = [this] { wb_->image.show_memory_ranges(); };
    // The power-cycling choice is written with the rest of the section.
    connect(settings_.get(), &SettingsStore::saved, this, [this] {
        settings_->set_value(SettingsStore::kSettings, power_cycle::kSettingsKey,
                             power_cycle::to_stored(wb_->choices.power_cycle));
    });

    // Widgets -> core: the model and the file.
    connect(combMcuModel, qOverload<int>(&QComboBox::activated), this, [this] {
        comb_mcu_model_click();
    });
    connect(combMcuModel, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!combMcuModel->hasFocus())
            return;
        // combMcuModel_Change: the selection, then the option panel.
        wb_->select_model(text);
        wb_->options.apply_family_defaults(wb_->model.model_family);
    });
    connect(Check6, &QCheckBox::toggled, this, [this](bool on) { wb_->image.clear_buffer_on_load = on; });
    connect(Text4, &QLineEdit::textChanged, this, [this](const QString& t) { wb_->image.buffer_start_text = t; });
    for (int i = 0; i < 2; ++i) {
        optFillbyte[i]->setProperty("zvk_save_up", true);
        optFillbyte[i]->installEventFilter(this);
        connect(optFillbyte[i], &QRadioButton::toggled, this, [this] { wb_->image.fill_ff = optFillbyte[0]->isChecked(); });
    }

    // Port and baud.
    connect(combCommPort, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        on_port_choice_changed();
        request_settings_save();
    });
    connect(combCommPort, &QComboBox::editTextChanged, this, [this] {
        on_port_choice_changed();
        request_settings_save();
    });
    arm_save_on(combCommPort, true, true);
    combCommPort->setProperty("zvk_refresh_ports", true);
    connect(cobBaudMax, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmMain::apply_link_choices);

    // Step4 option buttons: the panel keeps the choice.
    connect(Option[0][0], &QRadioButton::clicked, this, [this] { wb_->options.set_double_speed(true); });
    connect(Option[0][1], &QRadioButton::clicked, this, [this] { wb_->options.set_double_speed(false); });
    connect(Option[1][0], &QRadioButton::clicked, this, [this] { wb_->options.set_half_gain(true); });
    connect(Option[1][1], &QRadioButton::clicked, this, [this] { wb_->options.set_half_gain(false); });

    // Options page.
    for (QRadioButton* r : {opt_erase_data[0], opt_erase_data[1], optShot_P10_P11_to_GND[0],
                            optShot_P10_P11_to_GND[1], optAUX_RAM_NO, optAUX_RAM_YES, optRST_CLOSE_WDT_NO,
                            optRST_CLOSE_WDT_YES})
        connect(r, &QRadioButton::toggled, this, &frmMain::apply_option_choices);
    apply_option_choices();
    connect(comb_WDT, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmMain::apply_link_choices);
    connect(optBeepNo, &QRadioButton::clicked, this, &frmMain::request_settings_save);
    arm_save_on(optBeepYes, false, true);
    arm_save_on(comDalay_ReDownLoad, false, true);
    connect(cob_PowerCycle, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        apply_link_choices();
        request_settings_save();
    });
    connect(cob_PowerCycle, qOverload<int>(&QComboBox::activated), this, &frmMain::request_settings_save);
    arm_save_on(cob_PowerCycle, true, true);

    // Remembered format combos: Change, Click, GotFocus, LostFocus (cob_DEMO_UserCode_Baud: Change).
    for (QComboBox* c : {cob_DEMO_DownLoad_Baud, cob_DEMO_DownLoad_Parity, cob_DEMO_DownLoad_DataBits,
                         cob_DEMO_DownLoad_StopBits, cob_DEMO_UserCode_Parity, cob_DEMO_UserCode_DataBits,
                         cob_DEMO_UserCode_StopBits, cobUserCodeBaud, cobUserCodeParity, cobUserCodeDataBits,
                         cobUserCodeStopBits}) {
        connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this, &frmMain::request_settings_save);
        connect(c, qOverload<int>(&QComboBox::activated), this, &frmMain::request_settings_save);
        arm_save_on(c, true, true);
    }
    connect(cob_DEMO_UserCode_Baud, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &frmMain::request_settings_save);
    connect(txt_DEMO_UserCode, &QLineEdit::textChanged, this, &frmMain::request_settings_save);
    arm_save_on(txt_DEMO_UserCode, true, true);

    // Viewer and editor.
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int v) { view_->set_scroll_value(v); });
    txtBuffer2->on_mouse_down = [this] { view_->txtBuffer2_MouseDown(txtBuffer2->caret()); };
    txtBuffer2->on_key_press = [this](QChar key) {
        view_->front_caret = txtBuffer2->caret();
        view_->front_selection = txtBuffer2->selection_length();
        view_->txtBuffer2_KeyPress(key);
    };
    txtBuffer2->on_focus_in = [this] { view_->txtBuffer2_GotFocus(); };
    txtBuffer->on_focus_in = [this] { view_->txtBuffer_GotFocus(); };

    // Auto-increment page.
    for (int i = 0; i < 4; ++i)
        connect(texAuto_Increase[i], &QLineEdit::textChanged, this,
                [this, i](const QString& t) { serial_->set_field_text(i, t); });
    connect(texAuto_Increase[2], &QLineEdit::textEdited, this, [this] { next_edited_ = true; });
    for (int i = 0; i < 3; ++i)
        connect(optAuto_Increase[i], &QRadioButton::clicked, this, [this, i] { serial_->select_format(i); });
    connect(cheAuto_Increase, &QCheckBox::clicked, this, [this](bool on) { serial_->set_checked(on); });

    // Store page.
    connect(txt_Start_Address, &QLineEdit::textChanged, this, [this](const QString& t) {
        wb_->image.store_start_text = t;
        comStoreFile->setEnabled(BufferStore::store_enabled(txt_Start_Address->text(), txt_length->text()));
    });
    connect(txt_length, &QLineEdit::textChanged, this, [this](const QString& t) {
        wb_->image.store_length_text = t;
        comStoreFile->setEnabled(BufferStore::store_enabled(txt_Start_Address->text(), txt_length->text()));
    });
    connect(comStoreFile, &QPushButton::clicked, this, [this] { store_->store_file(); });

    // Tabs.
    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        // A click on the tab that is already current still runs the handler.
        if (index == TabStrip1->currentIndex())
            TabStrip1_Click();
    });
    connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });

    // Buttons of the link and connection.
    connect(comStop_Download, &QPushButton::clicked, this, [this] { wb_->runner.stop(); });
    connect(comRun, &QPushButton::clicked, this, [this] { wb_->stop_run.run_user_program(); });
    connect(comReadChipLock, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        wb_->connection.test_option();
    });
    connect(&wb.stop_run.Timer9, &OneShotTimer::tick, this, [] {});
    bind_operations();
}
