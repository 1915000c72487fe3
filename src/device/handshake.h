#pragma once
// Catching the boot loader after power-on: the greeting, the status frame, the clock measurement,
// the chip identity, and the negotiation of the fastest baud that clock, user limit and PC port
// allow (test a candidate with 0x8F, then switch both ends with 0x8E).

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

class IspLink;
class MessageLog;
class WorkState;
class StatusReport;
class StopRun;
class UserDialogs;
struct McuStatus;
struct LinkResults;
struct LinkChoices;
struct SelectedModel;

class Handshake {
public:
    Handshake(IspLink& link, UserDialogs& dialogs, MessageLog& log, McuStatus& status, LinkResults& results,
              const LinkChoices& choices, const SelectedModel& model, StatusReport& report,
              WorkState& work, StopRun& stop_run);


    // The negotiated baud (0 for a read-only connect), or nothing on a failure or a stop.
    std::optional<qint32> handshake(bool read_only);

    // A table baud and its timer count: `index` is its row, from which a next try goes lower.
    struct BaudChoice {
        qint16 index;
        qint32 baud;
        float error_pct;
        qint16 count;
    };
    // Picks the highest table baud below `index` (at most 12, and not above `limit`) that the clock
    // hits within -3.5 % .. +4.5 % with a timer count above 2; nothing when none qualifies.
    static std::optional<BaudChoice> calculate_baud(qint32 clock, qint16 index, qint32 limit);
    static const qint32 kBaudTable[12];

    bool send_extern_WDT_address();   // true: no pin chosen, or the MCU took it
    // True when the MCU answered at the candidate baud / switched to it.
    bool test_new_baud(const QString& baud, quint8 hi, quint8 lo);
    bool set_new_baud(const QString& baud, quint8 hi, quint8 lo);
    void derive_alternate_reload();
    void lookup_reserved_top_size(const QString& version);
    // The line after the three port-open failure lines: the device, the reason and the usual fix.
    void append_port_advice();

    // ---- Pure pieces, exposed for checking ----------------------------------------------------
    // Clock in Hz from the eight 16-bit counts of status bytes 4..19: (mean + 6) x 2061, the mean
    // rounded half to even.
    static qint32 clock_from_counts(const quint16 counts[8]);
    // Model name for identity / sub-identity (two upper-case hex digits each); empty when unknown.
    static QString model_name_for(const QString& id_hex, const QString& subid_hex);
    // 0x86 pin code for a watchdog pin text ("P1.7" -> 0x71; any other length -> 0xFF).
    static quint8 wdt_pin_code(const QString& pin_text);
    // The 0x8F / 0x8E data bytes.
    static quint8 timing_code(double clock_hz, int model_family);
    static quint8 y_byte(qint32 baud, double clock_hz);
    static quint16 reserved_top_size_for(const QString& version);
    // Frame bodies (6A .. 16) of the baud test and switch commands.
    static QByteArray test_baud_frame(qint32 baud, quint8 hi, quint8 lo, double clock_hz, int model_family);
    static QByteArray switch_baud_frame(qint32 baud, quint8 hi, quint8 lo, double clock_hz);
    static QByteArray wdt_frame(bool enabled, const QString& pin_text);

    // The greeting's pace where no wire can be timed (a vanished port): two characters at 1200 baud.
    static constexpr int kGreetingWireMs = 17;
    // 0x7F pairs the last greeting sent.
    int greeting_pairs = 0;
    // Called when the status frame has told the chip's identity, before anything is sent to it
    // (not for Test Option): the command line picks its model here. False ends the attempt.
    std::function<bool()> identified;

private:
    void stop_line();
    void fail_with_time();
    void send_frame_bytes(const QByteArray& frame);

    IspLink& link_;
    UserDialogs& dialogs_;
    MessageLog& log_;
    McuStatus& status_;
    LinkResults& results_;
    const LinkChoices& choices_;
    const SelectedModel& model_;
    StatusReport& report_;
    WorkState& work_;
    StopRun& stop_run_;
};
