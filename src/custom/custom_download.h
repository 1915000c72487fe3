#pragma once
// The "ISP DEMO" page: downloading into a running user application that carries its own
// download routine. The application may first be sent a trigger command at its serial format;
// the routine is then spoken to with custom frames (5A A5 ...) at a second format: synchronise,
// read the chip identity, erase, program and verify, finish. The flow can repeat board after board.

#include <QString>
#include <functional>

class Workbench;
class SerialNumber;

class CustomDownload {
public:
    explicit CustomDownload(Workbench& bench);

    // The auto-increment serial number, when the owner has one.
    void set_image_tools(SerialNumber* serial) { serial_ = serial; }

    // ---- The page's choices --------------------------------------------------------------------
    // "ISP Demo下载程序通讯格式:" (the download routine's format)
    QString download_baud = QStringLiteral("38400");
    QString download_parity = QStringLiteral("Even");
    QString download_data_bits = QStringLiteral("8");
    QString download_stop_bits = QStringLiteral("1");
    // "发送自定义下载命令格式:" (the trigger command's format)
    QString trigger_baud = QStringLiteral("38400");
    QString trigger_parity = QStringLiteral("Even");
    QString trigger_data_bits = QStringLiteral("8");
    QString trigger_stop_bits = QStringLiteral("1");
    bool send_trigger = false;      // "发送自定义下载命令"
    QString trigger_text;           // the trigger command as hex text

    QString download_settings_text() const;
    QString trigger_settings_text() const;

    // ---- Handlers ------------------------------------------------------------------------------
    void download_once() { run_custom_download(false); }
    void download_repeatedly() { run_custom_download(true); }
    void stop_custom();
    // The watchdog choice: 0 "无", 1 "用1个I/O口喂狗"; the pin list is usable exactly for 1.
    void select_watchdog_choice(int index);

    void run_custom_download(bool repeat);
    bool connect_custom();
    bool read_custom_id();
    bool erase_custom();

    // Moves the keyboard focus off the buttons; the window sets it.
    std::function<void()> move_focus_off_buttons;
    // Called after every board: ok when it ended with the success lines, else it failed after the
    // download routine answered (or the routine never answered and no stop was asked for).
    std::function<void(bool ok)> board_finished;
    bool running = false;
    bool last_board_ok = false;
    int boards_done = 0;     // boards that ended with "Program OK"
    int boards_failed = 0;

    // ---- Pure pieces ---------------------------------------------------------------------------
    // The identity text of a 0xB5 answer: bytes 6 and 7 as two upper-case hex digits each.
    static QString identity_text(quint8 high, quint8 low);
    // Does the identity fit the model code ("4002" fits "F002")? An unknown identity never does.
    static bool identity_matches(const QString& identity, const QString& model_code);
    // Reply time-out while polling for the routine: by the download baud text.
    static int poll_interval_ms(const QString& baud_text);

    static const QString kWrongTypeBox;

private:
    bool open_failure();   // the three "Open COM port failure!" lines after three beeps
    void countdown();

    Workbench& bench_;
    SerialNumber* serial_ = nullptr;
};
