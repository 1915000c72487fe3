#pragma once
// One tool instance: every piece of state the window holds and the procedures over it, wired
// together. The window and the command-line front end each own one Workbench; tests build one
// over a fake port. A plain owner: the procedures live in the parts.

#include "device/work_state.h"
#include "device/erase.h"
#include "device/mcu_status.h"
#include "device/option_lock.h"
#include "device/option_choices.h"
#include "device/programmer.h"
#include "device/download_runner.h"
#include "device/stop_run.h"
#include "image/program_image.h"
#include "device/connection.h"
#include "device/handshake.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "models/model_catalogue.h"

#include <QObject>

class SerialPort;
class UserDialogs;

class Workbench : public QObject {
    Q_OBJECT
public:
    Workbench(SerialPort* port, UserDialogs* dialogs, QObject* parent = nullptr);
    ~Workbench() override;

    SerialPort* const port;
    UserDialogs* const dialogs;

    MessageLog log;                 // the message log
    SelectedModel model;            // the selected model's values
    OptionChoices options;          // the chip-option choices
    WorkState work;                 // phase of work, program button, optional pages, progress
    McuStatus status;
    LinkResults results;
    LinkChoices choices;            // maximum baud, watchdog pin
    IspLink link;
    ProgramImage image;
    StatusReport status_report;
    StopRun stop_run;
    Handshake handshake;
    Connection connection;
    // The download road (erase, program and verify, options, the download buttons).
    Eraser eraser{link, log, status, results, model, image, work, stop_run, handshake, connection};
    Programmer programmer{link, log, status, results, model, image, work, handshake};
    OptionWriter option_writer{link, log, status, results, model, options, work, stop_run, connection};
    DownloadRunner runner{link, log, work, stop_run, eraser, programmer, option_writer, status, results,
                          model, image, *dialogs};

    // Choosing a model: apply the catalogue row, offer the Soft ICE download, whether the ISP DEMO
    // page is offered (and the page switch when it is not), hide the status rows, arm the settings
    // save, unlock the option choices, reset them to the family's defaults.
    void select_model(const QString& text);

signals:
    // Run the tab-click handler once (the "ISP DEMO" tab lost its page).
    void tab_click_requested();
    // Arm the deferred settings save (Timer3).
    void settings_save_requested();
    // A selection has been applied.
    void model_selected();
};
