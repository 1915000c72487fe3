#include "device/work_state.h"

#include "models/model_catalogue.h"

WorkState::WorkState(const SelectedModel& model, QObject* parent) : QObject(parent), model_(model) {}

void WorkState::set_phase(WorkPhase phase)
{
    switch (phase) {
    case WorkPhase::Busy:
        show_progress(Progress::Mode::Hide);
        break;
    case WorkPhase::Idle:
        options_locked_ = false;
        offer_model_pages();
        break;
    case WorkPhase::Programming:
    case WorkPhase::Manual:
        options_locked_ = true;
        break;
    case WorkPhase::Start:
    case WorkPhase::Connected:
        break;
    }
    phase_ = phase;
    emit phase_changed(phase);
}

void WorkState::offer_model_pages()
{
    softice_page_offered_ = model_.soft_ice_capable;
    isp_demo_page_offered_ = model_.model_family == 2;
}

void WorkState::lock_options()
{
    options_locked_ = true;
    emit options_lock_changed(true);
}

void WorkState::unlock_options()
{
    options_locked_ = false;
    offer_model_pages();
    emit options_lock_changed(false);
}

void WorkState::offer_isp_demo_page(bool on)
{
    isp_demo_page_offered_ = on;
    emit changed();
}

void WorkState::offer_soft_ice(bool on)
{
    emit soft_ice_offered(on);
}

void WorkState::select_wdt_pin_option(bool on)
{
    wdt_pin_option_selected_ = on;
    emit wdt_pin_list_offered(on);
}

void WorkState::set_progress(const Progress& progress)
{
    progress_ = progress;
    emit progress_changed();
}

void WorkState::set_progress_value(int value)
{
    progress_.value = value;
    emit progress_changed();
}

void WorkState::show_progress(Progress::Mode mode, const Progress& range)
{
    progress_.minimum = range.minimum;
    progress_.maximum = range.maximum;
    progress_.value = range.value;
    show_progress(mode);
}

void WorkState::show_progress(Progress::Mode mode)
{
    if (mode == Progress::Mode::Hide)
        progress_.kbyte_text.clear();
    else
        progress_.fill_grid = mode == Progress::Mode::FillGrid;
    progress_.visible = mode != Progress::Mode::Hide;
    emit progress_changed();
}
