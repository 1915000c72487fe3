#pragma once
// What the boot loader's status says about the MCU, and its two displays: the log lines and the
// status panel (label array LabLock 0..8).

#include "device/panel_item.h"

#include <QObject>
#include <QString>
#include <array>

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

class StatusPanel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    std::array<PanelItem, 9> LabLock;
    void hide_status_panel_rows();   // hides and disables rows 1..8
signals:
    void changed();
};

// Decoding and display of a status report (the handshake passes status bytes 20..22, the status
// query passes reply bytes 11..13). Always show_mcu_status first, then show_status_panel.
class StatusReport {
public:
    StatusReport(McuStatus& status, StatusPanel& panel, MessageLog& log, IspLink& link, const SelectedModel& model);
    void show_mcu_status(quint8 version, quint8 variant_code, quint8 option);
    void show_status_panel(quint8 version, quint8 variant_code, quint8 option, int unused = 0);
    void hide_status_panel_rows() { panel_.hide_status_panel_rows(); }
    // Asks the MCU for its status; true when it answered (its status is then shown).
    bool query_status(bool slow);

private:
    McuStatus& status_;
    StatusPanel& panel_;
    MessageLog& log_;
    IspLink& link_;
    const SelectedModel& model_;
};
