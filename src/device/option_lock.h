#pragma once
// After programming: the chip's configuration. Family 0 gets one lock-and-speed byte, family 2
// the whole option byte with the baud reload pair the boot loader uses afterwards, family 1
// nothing (only a programmer can change its options).

#include <QByteArray>
#include <QtGlobal>

class IspLink;
class MessageLog;
class WorkState;
class OptionChoices;
class StopRun;
class Connection;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

class OptionWriter {
public:
    OptionWriter(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results,
                 const SelectedModel& model, const OptionChoices& options, WorkState& work, StopRun& stop_run,
                 Connection& connection);

    // True when the chip confirmed its options (or already had them); also results.status_read_ok
    // and the log.
    bool write_options();

    // ---- Pure pieces --------------------------------------------------------------------------
    // Family 0 data byte: 0x48 with double speed, else 0x40.
    static quint8 lock_byte(bool double_speed);
    // The family-2 byte the chip has now, as comparable with the desired byte (bits 1 and 5 as 1).
    static quint8 current_option_byte(quint8 option_byte);
    // True when nothing needs writing: bit 1 already clear and the other bits as desired.
    static bool options_already_set(quint8 option_byte, quint8 desired);
    // Frame bodies (0x6A .. 0x16, no prefix).
    static QByteArray family0_frame(quint8 v);
    static QByteArray family2_frame(quint8 o, quint8 reload_hi, quint8 reload_lo);

private:
    IspLink& link_;
    MessageLog& log_;
    McuStatus& status_;
    LinkResults& results_;
    const SelectedModel& model_;
    const OptionChoices& options_;
    WorkState& work_;
    StopRun& stop_run_;
    Connection& connection_;
};
