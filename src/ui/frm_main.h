#pragma once
// frmMain: the one window of the tool. It draws the core's state (control enabling, progress, log,
// status panel, option panel, buffer dump) and hands the person's clicks and edits to the core.
//
// Every control carries its documented object name ("comDownload(0)", "combCommPort", ...), so
// the enabling table applies by name and tests find the widgets with findChild().

#include "base/one_shot_timer.h"
#include "ui/twips.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <atomic>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabBar;
class QTextEdit;
class QFrame;
class QStatusBar;
class QToolButton;

class SerialPort;
class UserDialogs;
class Workbench;
class BufferView;
class SerialNumber;
class FileLoader;
class BufferStore;
class SettingsStore;
class UserCodeCommand;
class CustomDownload;
class SoftIceDownload;
struct StoredSettings;
class WindowDialogs;
class BufferEditor;
class NumberedBoard;
class SerialPool;
class GangDialog;
class RecordsDialog;
class ControlStates;
class OptionPanel;
class StatusPanel;

struct FrmMainOptions {
    QString port_device;               // preselect this device (path) in combCommPort
    UserDialogs* dialogs = nullptr;    // replaces the real message boxes (tests script answers)
    SerialPort* port = nullptr;        // replaces the real serial port (tests)
    bool calibrate = true;             // run the delay-loop calibration of the load sequence
};

class frmMain : public QWidget {
    Q_OBJECT
public:
    using Options = FrmMainOptions;

    explicit frmMain(const Options& options = Options(), QWidget* parent = nullptr);
    ~frmMain() override;

    // Non-client allowance of the window's Width/Height (title bar and borders), twips.
    static constexpr int kNonClientWidth = 120;
    static constexpr int kNonClientHeight = 450;
    static constexpr int kMinWidth = 1000;
    static constexpr int kMinHeight = 800;
    static constexpr int kLeftColumnWidth = 5595;

    Workbench& workbench() { return *wb_; }
    ControlStates& control_states() { return *states_; }
    BufferView& view() { return *view_; }
    SerialNumber& serial() { return *serial_; }
    FileLoader& loader() { return *loader_; }
    BufferStore& store() { return *store_; }
    SettingsStore& settings() { return *settings_; }
    UserCodeCommand& user_code() { return *user_code_; }
    CustomDownload& custom_download() { return *custom_; }
    SoftIceDownload& softice() { return *softice_; }
    UserDialogs& dialogs() { return *dialogs_; }
    const Twips& twips() const { return tw_; }

    // Opens a program file as Open File does after its dialog (dropped files, recent files).
    void open_program_path(const QString& path);
    // The recent program files, newest first.
    QStringList recent_files() const;

    // The control with this name ("comDownload(1)"), or nullptr.
    QWidget* control(const QString& name) const { return controls_.value(name); }
    QStringList control_names() const { return controls_.keys(); }

    // Window Left/Top/Width/Height in twips (Width/Height include the non-client allowance).
    int form_width() const;
    int form_height() const;
    void set_form_geometry(int left, int top, int width, int height);

    // ---- Procedures of the window --------------------------------------------------------------
    void Form_Load();
    void Form_Resize();
    void TabStrip1_Click();
    // Index (0..7) of the page frame shown, -1 when none or several are visible.
    int visible_page() const;
    bool closing_requested() const { return closing_requested_; }

    // Serial port choice: the device combCommPort's current entry opens.
    QString chosen_port_device() const;
    // Text of combCommPort entry i ("COM1 (/dev/ttyUSB0)").
    static QString port_entry_text(int index, const QString& device);
    // The device a port text opens, with the same COM1..COM8 mapping as combCommPort ("COM3",
    // "COM3 (/dev/ttyUSB2)", or a device path).
    QString device_for_port_text(const QString& text) const;

    // ---- Gang programming (several ports at once) ------------------------------------------------
    // Opens (or raises) the non-modal Gang dialog.
    void open_gang_dialog();
    GangDialog* gang_dialog() const { return gang_dialog_; }
    // ---- Production store ------------------------------------------------------------------------
    // Opens (or raises) the non-modal "Production records" dialog, read afresh from the store the
    // options page names, with the series of the serial-number settings as the current one.
    void open_records_dialog();
    RecordsDialog* records_dialog() const { return records_dialog_; }

    // True while the window itself uses a port (a download, a repeat pause, a connection).
    bool window_busy() const;
    // While a gang run is active the window's port operations are not usable.
    void set_gang_active(bool on);
    bool gang_active() const { return gang_active_; }

    OneShotTimer TimerUnload{QStringLiteral("TimerUnload"), 500};
    OneShotTimer Timer4{QStringLiteral("Timer4"), 500};

signals:
    // Form_Unload ran (the window is about to go away).
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;   // Form_QueryUnload / Form_Unload
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Construction (frm_main_build.cpp / frm_main_pages.cpp).
    void build_left_column();
    void build_viewer();
    void build_tab_strip();
    void build_page_options(QGroupBox* page);
    void build_page_user_code(QGroupBox* page);
    void build_page_isp_demo(QGroupBox* page);
    void build_page_test_option(QGroupBox* page);
    void build_page_auto_increase(QGroupBox* page);
    void build_page_store(QGroupBox* page);
    void build_page_hardware(QGroupBox* page);
    void build_page_softice(QGroupBox* page);
    void build_option_rows();
    void build_status_rows();
    void build_status_bar();
    // The tab captions' font: the largest up to the window's own that shows all eight tabs.
    void fit_tab_font();

    // Wiring (frm_main.cpp / frm_main_bind.cpp).
    void bind_core();
    void bind_operations();
    void bind_shortcuts_and_files();
    void remember_program_file();
    void fill_recent_menu();
    void update_status_bar();
    void update_progress_status();
    void reset_progress_after_operation();
    void sync_operation_choices();
    void apply_control_states();
    void apply_progress();
    void apply_option_panel();
    void apply_status_panel();
    void apply_image_texts();
    void on_log_appended(const QString& line);
    void on_log_replaced(const QString& text);
    void fill_port_list();
    void on_port_choice_changed();
    void request_settings_save();
    void save_settings_now();
    void load_settings();
    StoredSettings collect_settings() const;
    void apply_serial_fields();
    void apply_view();
    void apply_link_choices();
    void apply_option_choices();
    void arm_save_on(QWidget* w, bool focus_in, bool focus_out);
    void redraw_buffer();
    void comb_mcu_model_click();
    // The store choice after an edit: any password taken out (and the person told), then kept.
    void store_url_edited();
    // Serial numbers from the production store's series for the page's settings (shared with the
    // command line and other stations): false when the store cannot give them (then nothing starts).
    bool begin_store_numbers();
    void end_store_numbers();
    // The store's series for the page's serial-number settings (made, restarted after an edit of
    // the next-value box, or moved on to a page counter that is ahead); null, after a message, when
    // the store cannot give numbers.
    std::unique_ptr<SerialPool> store_serial_pool();

    // Names a control (its object name) and registers it under that name.
    template <class W>
    W* reg(W* widget, const QString& name)
    {
        widget->setObjectName(name);
        controls_.insert(name, widget);
        return widget;
    }
    // Places a control at a design position in twips.
    QWidget* place(QWidget* w, int left, int top, int width, int height)
    {
        w->setGeometry(tw_.rect(left, top, width, height));
        return w;
    }

    Twips tw_;
    std::unique_ptr<WindowDialogs> own_dialogs_;
    UserDialogs* dialogs_ = nullptr;
    std::unique_ptr<SerialPort> own_port_;
    std::unique_ptr<Workbench> wb_;
    std::unique_ptr<OptionPanel> option_panel_;    // the Step4 area
    std::unique_ptr<StatusPanel> status_panel_;    // LabLock 0..8
    std::unique_ptr<ControlStates> states_;        // which controls are usable
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<BufferView> view_;
    std::unique_ptr<SerialNumber> serial_;
    std::unique_ptr<FileLoader> loader_;
    std::unique_ptr<BufferStore> store_;
    std::unique_ptr<UserCodeCommand> user_code_;
    std::unique_ptr<CustomDownload> custom_;
    std::unique_ptr<SoftIceDownload> softice_;
    QHash<QString, QWidget*> controls_;
    bool closing_requested_ = false;
    bool loading_ = false;
    bool unloaded_ = false;
    bool calibrate_ = true;
    QString preset_device_;
    QString custom_device_;      // a device path typed into combCommPort (persisted)
    std::array<QString, 8> port_devices_;   // the devices COM1..COM8 open
    GangDialog* gang_dialog_ = nullptr;     // a child window, made on first use
    RecordsDialog* records_dialog_ = nullptr;
    std::unique_ptr<SerialPool> serial_pool_;        // while a download takes numbers from the store
    std::unique_ptr<NumberedBoard> numbered_;
    std::atomic<bool> numbers_stop_{false};
    bool next_edited_ = false;                      // typed into the next-value box: the series restarts
    bool gang_active_ = false;
    QElapsedTimer progress_clock_;          // since the progress bar appeared
    int status_bar_twips_ = 0;              // the strip the status bar takes off the bottom

public:
    // ---- Controls (names as the documentation gives them) -------------------------------------
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QComboBox* combMcuModel = nullptr;
    std::array<QLineEdit*, 4> txtISP_reange{};
    QPushButton* comLoadFile = nullptr;
    QToolButton* comRecentFiles = nullptr;   // the recent program files
    QCheckBox* Check6 = nullptr;
    QLineEdit* Text4 = nullptr;
    std::array<QRadioButton*, 2> optFillbyte{};
    QComboBox* combCommPort = nullptr;
    QLabel* LabMaxBaud = nullptr;
    QComboBox* cobBaudMax = nullptr;
    std::array<QWidget*, 8> Picture2{};
    std::array<QLabel*, 8> LabOption{};
    std::array<std::array<QRadioButton*, 2>, 8> Option{};
    std::array<QLabel*, 2> LabOptionC{};
    QLabel* Label7 = nullptr;
    std::array<QPushButton*, 2> comDownload{};
    QPushButton* comStop_Download = nullptr;
    QPushButton* comGang = nullptr;          // opens the Gang dialog
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* labKbyte = nullptr;
    QPlainTextEdit* textMsg = nullptr;
    QLabel* LabUpdataVersion = nullptr;
    QLineEdit* Text1 = nullptr;

    // Status bar: port, baud, model, file, and the figures of a running programming.
    QStatusBar* StatusBar1 = nullptr;
    QLabel* labStatusPort = nullptr;
    QLabel* labStatusBaud = nullptr;
    QLabel* labStatusModel = nullptr;
    QLabel* labStatusFile = nullptr;
    QLabel* labStatusProgress = nullptr;

    BufferEditor* txtBuffer = nullptr;
    BufferEditor* txtBuffer2 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    std::array<QLabel*, 2> txtBufferAddress{};

    QFrame* TabStripBox = nullptr;
    QTabBar* TabStrip1 = nullptr;
    QWidget* Picture1 = nullptr;
    QGroupBox* Frame12 = nullptr;
    QGroupBox* Frame8 = nullptr;
    QGroupBox* Frame11 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* fraAuto_Increase = nullptr;
    QGroupBox* Frame9 = nullptr;
    QGroupBox* fraAboutHardWare = nullptr;
    QGroupBox* Frame10 = nullptr;
    std::array<QGroupBox*, 8> pages{};     // by tab index 0..7

    // Options page.
    QWidget* picWDT = nullptr;
    QWidget* picBeep = nullptr;
    QWidget* picExtRAM = nullptr;
    std::array<QRadioButton*, 2> opt_ISP_DEMO_WDT{};
    QComboBox* comb_WDT = nullptr;
    std::array<QRadioButton*, 2> opt_erase_data{};
    std::array<QRadioButton*, 2> optShot_P10_P11_to_GND{};
    QRadioButton* optAUX_RAM_NO = nullptr;
    QRadioButton* optAUX_RAM_YES = nullptr;
    QRadioButton* optRST_CLOSE_WDT_NO = nullptr;
    QRadioButton* optRST_CLOSE_WDT_YES = nullptr;
    QRadioButton* optBeepYes = nullptr;
    QRadioButton* optBeepNo = nullptr;
    QComboBox* comDalay_ReDownLoad = nullptr;
    QComboBox* cob_PowerCycle = nullptr;
    QCheckBox* cekReloadFile = nullptr;
    QLineEdit* txtStoreUrl = nullptr;        // the production store: a postgresql:// URL or an SQLite file
    QPushButton* comRecords = nullptr;       // opens the "Production records" dialog

    // User-code page.
    QLineEdit* txtUserCode = nullptr;
    QComboBox* cobUserCodeBaud = nullptr;
    QComboBox* cobUserCodeParity = nullptr;
    QComboBox* cobUserCodeDataBits = nullptr;
    QComboBox* cobUserCodeStopBits = nullptr;
    QPushButton* comSendUserCode = nullptr;

    // ISP DEMO page.
    QCheckBox* che_Demo_DownLoad = nullptr;
    QLineEdit* txt_DEMO_UserCode = nullptr;
    QComboBox* cob_DEMO_UserCode_Baud = nullptr;
    QComboBox* cob_DEMO_UserCode_Parity = nullptr;
    QComboBox* cob_DEMO_UserCode_DataBits = nullptr;
    QComboBox* cob_DEMO_UserCode_StopBits = nullptr;
    QComboBox* cob_DEMO_DownLoad_Baud = nullptr;
    QComboBox* cob_DEMO_DownLoad_Parity = nullptr;
    QComboBox* cob_DEMO_DownLoad_DataBits = nullptr;
    QComboBox* cob_DEMO_DownLoad_StopBits = nullptr;
    QPushButton* com_Demo_DownLoad = nullptr;
    QPushButton* com_Demo_Re_DownLoad = nullptr;
    QPushButton* com_Demo_Stop = nullptr;

    // Test Option page.
    QPushButton* comReadChipLock = nullptr;
    QPushButton* comWrite = nullptr;
    QPushButton* comLock = nullptr;
    QPushButton* comRun = nullptr;
    std::array<QLabel*, 9> LabLock{};

    // Auto-increment page.
    std::array<QLineEdit*, 4> texAuto_Increase{};
    std::array<QRadioButton*, 3> optAuto_Increase{};
    QCheckBox* cheAuto_Increase = nullptr;

    // Store page.
    QLineEdit* txt_Start_Address = nullptr;
    QLineEdit* txt_length = nullptr;
    QPushButton* comStoreFile = nullptr;

    // Soft ICE page.
    QPushButton* comDownSoft_ICE = nullptr;
};
