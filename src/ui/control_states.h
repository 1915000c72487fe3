#pragma once
// Which controls of the window are usable, by object name (array elements as "name(i)",
// "comDownload(0)"), following the phases of work. The window copies `enabled` onto its widgets
// whenever changed() fires. The table keeps what a phase leaves alone (Programming and Manual
// leave Re-Download as it was, Connected leaves the option controls).

#include "device/work_state.h"

#include <QHash>
#include <QObject>
#include <QString>

class OptionPanel;

class ControlStates : public QObject {
    Q_OBJECT
public:
    ControlStates(WorkState& work, OptionPanel& options, QObject* parent = nullptr);

    bool is_enabled(const QString& control) const { return enabled.value(control, false); }
    void set_enabled(const QString& control, bool on);
    void disable_action_buttons();

    QHash<QString, bool> enabled;

    // Action buttons and input controls, in the order the window lists them.
    static const QStringList& action_buttons();
    static const QStringList& input_controls();

    // Tells the window to redraw; call after changing several entries directly.
    void notify() { emit changed(); }

signals:
    void changed();

private:
    void apply_phase(WorkPhase phase);
    void set_working(bool run_usable);
    void enable_option_controls();
    void disable_option_controls();

    WorkState& work_;
    OptionPanel& options_;
};
