// frmMain: the buttons that start the long operations of the core.

#include "ui/frm_main.h"

#include "custom/custom_download.h"
#include "custom/user_code.h"
#include "device/workbench.h"
#include "softice/softice_download.h"
#include "ui/gang_dialog.h"
#include "ui/records_dialog.h"
#include "base/user_dialogs.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void frmMain::sync_operation_choices()
{
    // The device the port choice names, and the page controls the operations read.
    on_port_choice_changed();
    SequencerChoices& c = wb_->sequencer.choices;
    c.reload_file = cekReloadFile->isChecked();
    c.beep_on_success = optBeepYes->isChecked();
    c.redownload_delay_text = comDalay_ReDownLoad->currentText();

    UserCodeCommand& u = *user_code_;
    u.txtUserCode = txtUserCode->text();
    u.cobUserCodeBaud = cobUserCodeBaud->currentText();
    u.cobUserCodeParity = cobUserCodeParity->currentText();
    u.cobUserCodeDataBits = cobUserCodeDataBits->currentText();
    u.cobUserCodeStopBits = cobUserCodeStopBits->currentText();

    CustomDownload& d = *custom_;
    d.cob_DEMO_DownLoad_Baud = cob_DEMO_DownLoad_Baud->currentText();
    d.cob_DEMO_DownLoad_Parity = cob_DEMO_DownLoad_Parity->currentText();
    d.cob_DEMO_DownLoad_DataBits = cob_DEMO_DownLoad_DataBits->currentText();
    d.cob_DEMO_DownLoad_StopBits = cob_DEMO_DownLoad_StopBits->currentText();
    d.cob_DEMO_UserCode_Baud = cob_DEMO_UserCode_Baud->currentText();
    d.cob_DEMO_UserCode_Parity = cob_DEMO_UserCode_Parity->currentText();
    d.cob_DEMO_UserCode_DataBits = cob_DEMO_UserCode_DataBits->currentText();
    d.cob_DEMO_UserCode_StopBits = cob_DEMO_UserCode_StopBits->currentText();
    d.che_Demo_DownLoad = che_Demo_DownLoad->isChecked();
    d.txt_DEMO_UserCode = txt_DEMO_UserCode->text();
}

void frmMain::bind_operations()
{
    Workbench& wb = *wb_;
    user_code_ = std::make_unique<UserCodeCommand>(wb);
    custom_ = std::make_unique<CustomDownload>(wb);
    softice_ = std::make_unique<SoftIceDownload>(wb, *loader_);
    wb.sequencer.set_image_tools(loader_.get(), serial_.get());
    custom_->set_image_tools(serial_.get());
    custom_->focus_text1 = [this] { Text1->setFocus(); };
    wb.programmer.enable_timer4 = [this] { Timer4.start(); };

    for (int i = 0; i < 2; ++i)
        connect(comDownload[i], &QPushButton::clicked, this, [this, i] {
            sync_operation_choices();
            wb_->sequencer.comDownload_Click(i);
        });
    connect(comWrite, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        wb_->programmer.comWrite_Click();
    });
    connect(comLock, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        wb_->option_writer.comLock_Click();
    });
    connect(comSendUserCode, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        user_code_->comSendUserCode_Click();
    });
    connect(com_Demo_DownLoad, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        custom_->com_Demo_DownLoad_Click();
    });
    connect(com_Demo_Re_DownLoad, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        custom_->com_Demo_Re_DownLoad_Click();
    });
    connect(comGang, &QPushButton::clicked, this, &frmMain::open_gang_dialog);
    connect(comRecords, &QPushButton::clicked, this, &frmMain::open_records_dialog);
    connect(txtStoreUrl, &QLineEdit::editingFinished, this, &frmMain::store_url_edited);
    connect(com_Demo_Stop, &QPushButton::clicked, this, [this] { custom_->com_Demo_Stop_Click(); });
    connect(comDownSoft_ICE, &QPushButton::clicked, this, [this] {
        sync_operation_choices();
        softice_->comDownSoft_ICE_Click();
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
            custom_->opt_ISP_DEMO_WDT_Click(i);
            apply_link_choices();
        });
    bind_shortcuts_and_files();
}

// ---- Gang programming ------------------------------------------------------------------------

void frmMain::open_gang_dialog()
{
    if (!gang_dialog_)
        gang_dialog_ = new GangDialog(
            GangHost{*wb_, *dialogs_, *loader_, *serial_, [this] { return combCommPort->currentText(); },
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

bool frmMain::window_busy() const
{
    return wb_->sequencer.running || (custom_ && custom_->running) || wb_->link.port_open();
}

void frmMain::set_gang_active(bool on)
{
    if (gang_active_ == on)
        return;
    gang_active_ = on;
    apply_control_states();
}
