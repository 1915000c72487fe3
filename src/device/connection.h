#pragma once
// From a successful handshake to a usable connection: synchronisation, status, clock and baud
// report, the model check; and Test Option, which only reads the MCU's status.

#include <QString>
#include <QtGlobal>

class IspLink;
class MessageLog;
class WorkState;
class StatusReport;
class StopRun;
class Handshake;
class ProgramImage;
class UserDialogs;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

// How a connect ended.
enum class ConnectOutcome { Connected, Failed, Stopped, WrongModel };

class Connection {
public:
    Connection(IspLink& link, UserDialogs& dialogs, MessageLog& log, McuStatus& status, LinkResults& results,
               const SelectedModel& model, StatusReport& report, WorkState& work, StopRun& stop_run,
               Handshake& handshake, ProgramImage& image);

    // Connected also sets results.connected (what Test Option and the window read later).
    ConnectOutcome connect_to_mcu(bool read_only);
    void read_status(bool slow);
    void send_sync_command();
    void report_clock();
    void test_option();   // Test Option

    void send_custom_sync();
    void send_custom_erase();
    void send_custom_read_id();

    // The model check of connect: true when the connected chip does not fit the chosen model.
    static bool model_is_wrong(const McuStatus& status, const LinkResults& results, const SelectedModel& model);
    // A clock in MHz as the log writes it: up to 15 significant digits, no trailing zeros.
    static QString format_mhz(double mhz);
    static QString wrong_model_box_text();
    // The line after "MCU Type is wrong.": the chip that answered and the model chosen.
    static QString wrong_model_detail(const McuStatus& status, const LinkResults& results, const SelectedModel& model);

private:
    void stop_line();
    void custom_exchange(quint8 code, int timeout_ms);

    IspLink& link_;
    UserDialogs& dialogs_;
    MessageLog& log_;
    McuStatus& status_;
    LinkResults& results_;
    const SelectedModel& model_;
    StatusReport& report_;
    WorkState& work_;
    StopRun& stop_run_;
    Handshake& handshake_;
    ProgramImage& image_;
};
