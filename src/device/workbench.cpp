#include "device/workbench.h"

Workbench::Workbench(SerialPort* port_in, UserDialogs* dialogs_in, QObject* parent)
    : QObject{parent},
      port{port_in},
      dialogs{dialogs_in},
      work{model},
      link{port_in, dialogs_in},
      image{model},
      status_report{status, log, link, model},
      stop_run{link, log, work, results},
      handshake{link, *dialogs_in, log, status, results, choices, model, status_report, work, stop_run},
      connection{link, *dialogs_in, log, status, results, model, status_report, work, stop_run, handshake, image}
{
}

Workbench::~Workbench() = default;

void Workbench::select_model(const QString& text)
{
    model.select(text);
    work.offer_soft_ice(model.soft_ice_capable);
    work.offer_isp_demo_page(model.model_family == 2);
    if (model.model_family != 2)
        emit tab_click_requested();
    status_report.hide_status_panel_rows();
    emit settings_save_requested();
    work.unlock_options();
    options.apply_family_defaults(model.model_family);
    emit model_selected();
}
