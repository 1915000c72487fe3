#pragma once
// What the boot loader's status says about the MCU: its log lines, and a signal for the window's
// status panel.

#include <QObject>
#include <QString>

class MessageLog;
class IspLink;
struct SelectedModel;

struct McuStatus {
    QString mcu_type_name;       // from the chip identity; empty when not recognised
    QString firmware_version;    // "2.8"; empty for version byte 0x00
    QString firmware_variant;    // "A", "B", "C" (any other byte as its character); empty at start
    quint8 option_byte = 0;
    bool double_speed = false;
    bool extended_status = false;
    quint16 reserved_top_size = 1024;
    bool block_protect = false;

    // Integer part of (version x 10 + 0.5): 2.8 gives 28, empty gives 0.
    int version_tenths() const;
    // Numeric value of the version text (0 for empty).
    double version_value() const;
};

// The texts of the option bits, as logged and as shown on the status panel.
namespace option_text {
QString double_speed(quint8 option);   // bit 0
QString oscillator(quint8 option);     // bit 4
QString p10_p11(quint8 option);        // bit 2
QString erase_data(quint8 option);     // bit 3
QString aux_ram(quint8 option);        // bit 6
} // namespace option_text

// Decoding and display of a status report (the handshake passes status bytes 20..22, the status
// query passes reply bytes 11..13). Always show_mcu_status first, then show_status_panel.
class StatusReport : public QObject {
    Q_OBJECT
public:
    StatusReport(McuStatus& status, MessageLog& log, IspLink& link, const SelectedModel& model);
    void show_mcu_status(quint8 version, quint8 variant_code, quint8 option);
    void show_status_panel(quint8 version, quint8 variant_code, quint8 option, int unused = 0);
    void hide_status_panel_rows() { emit status_rows_hidden(); }
    // Asks the MCU for its status; true when it answered (its status is then shown).
    bool query_status(bool slow);

signals:
    // The status (as decoded into McuStatus, with this option byte) is to be shown.
    void status_shown(quint8 option);
    // Only the panel's first row stays.
    void status_rows_hidden();

private:
    McuStatus& status_;
    MessageLog& log_;
    IspLink& link_;
    const SelectedModel& model_;
};
