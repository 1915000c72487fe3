#include "device/workbench.h"

Workbench::Workbench(SerialPort* port_in, UserDialogs* dialogs_in, QObject* parent)
    : QObject{parent},
      port{port_in},
      dialogs{dialogs_in},
      controls{model, options},
      link{port_in, dialogs_in},
      image{model},
      status_report{status, status_panel, log, link, model},
      stop_run{link, log, controls, results},
      handshake{link, *dialogs_in, log, status, results, choices, model, status_report, controls, stop_run},
      connection{link, *dialogs_in, log, status, results, model, status_report, controls, stop_run, handshake, image}
{
}

Workbench::~Workbench() = default;

void Workbench::select_model(const QString& text)
{
    model.select(text);
    controls.set_enabled(QStringLiteral("comDownSoft_ICE"), model.soft_ice_capable);
    if (model.model_family != 2) {
        controls.tab_isp_demo_caption = QStringLiteral("_no_");
        controls.notify();
        emit tab_click_requested();
    } else {
        controls.tab_isp_demo_caption = QStringLiteral("ISP DEMO");
        controls.notify();
    }
    status_report.hide_status_panel_rows();
    emit settings_save_requested();
    controls.enable_option_controls();
    options.arrange_option_panel(model.model_family);
    emit model_selected();
}
