#pragma once
// The "检查MCU选项" page's status rows (label array LabLock 0..8), laid out in twips from what the
// MCU reported.

#include "ui/panel_item.h"

#include <QObject>
#include <array>

struct McuStatus;
class StatusReport;

class StatusPanel : public QObject {
    Q_OBJECT
public:
    StatusPanel(const McuStatus& status, StatusReport& report, QObject* parent = nullptr);

    std::array<PanelItem, 9> LabLock;

    void show_status_panel(quint8 option);
    void hide_status_panel_rows();   // hides and disables rows 1..8

signals:
    void changed();

private:
    const McuStatus& status_;
};
