#pragma once
// The phase of work the tool is in and what goes with it: whether the option choices are locked,
// the program button's state, the optional pages offered, the watchdog-pin choice and the
// progress of the running step. The window draws these; the command line reads the progress.

#include <QObject>
#include <QString>

struct SelectedModel;

// Start: nothing done yet. Busy: connecting. Idle: ready for the next operation. Programming: the
// image is being written. Manual: a step the user asked for (options, Test Option). Connected: the
// MCU answered and a step may follow.
enum class WorkPhase { Start, Busy, Idle, Programming, Manual, Connected };

struct Progress {
    enum class Mode { Download, FillGrid, Hide };
    int minimum = 0;
    int maximum = 1;
    int value = 0;
    bool visible = false;
    bool border_single = false;
    bool fill_grid = false;    // placed for filling the grid rather than for a download
    QString kbyte_text;        // "####.000K" while programming, empty otherwise
};

class WorkState : public QObject {
    Q_OBJECT
public:
    // As first shown, ready again after a connect or a stop, or programming (a second press stops).
    enum class ProgramButton { First, Ready, Programming };

    explicit WorkState(const SelectedModel& model, QObject* parent = nullptr);

    // Idle unlocks the option choices, Programming and Manual lock them; Busy and Connected leave
    // them as they are.
    void set_phase(WorkPhase phase);
    WorkPhase phase() const { return phase_; }

    // Unlocking also offers the pages the selected model has.
    void lock_options();
    void unlock_options();
    bool options_locked() const { return options_locked_; }

    // Shown at the next changed().
    ProgramButton program_button() const { return program_button_; }
    void set_program_button(ProgramButton state) { program_button_ = state; }

    bool softice_page_offered() const { return softice_page_offered_; }
    bool isp_demo_page_offered() const { return isp_demo_page_offered_; }
    void offer_isp_demo_page(bool on);
    // The Soft ICE download is usable (the model has it).
    void offer_soft_ice(bool on);

    // The ISP DEMO page's watchdog-pin choice; the pin list is usable only with it. set_ keeps it
    // for the next unlock; select_ also makes the list usable (or not) at once.
    bool wdt_pin_option_selected() const { return wdt_pin_option_selected_; }
    void set_wdt_pin_option_selected(bool on) { wdt_pin_option_selected_ = on; }
    void select_wdt_pin_option(bool on);

    const Progress& progress() const { return progress_; }
    void set_progress(const Progress& progress);
    void set_progress_value(int value);
    void show_progress(Progress::Mode mode);
    // The same, over a new range and value.
    void show_progress(Progress::Mode mode, const Progress& range);

    // Tells the window to redraw (after set_program_button).
    void notify() { emit changed(); }

signals:
    void phase_changed(WorkPhase phase);
    void options_lock_changed(bool locked);
    void soft_ice_offered(bool on);
    void wdt_pin_list_offered(bool on);
    void changed();
    void progress_changed();

private:
    void offer_model_pages();

    const SelectedModel& model_;
    WorkPhase phase_ = WorkPhase::Start;
    bool options_locked_ = false;
    ProgramButton program_button_ = ProgramButton::First;
    bool softice_page_offered_ = true;
    bool isp_demo_page_offered_ = true;
    bool wdt_pin_option_selected_ = false;
    Progress progress_;
};
