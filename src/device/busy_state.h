#pragma once
// Which controls of the window are usable in each phase of work, the two optional pages,
// the state of the program button, and the progress bar with its kilobyte label.
//
// Controls are named as on the window, array elements as "name(i)" ("comDownload(0)"). The window
// gives its widgets these object names and copies `enabled` onto them whenever changed() fires.

#include <QHash>
#include <QObject>
#include <QString>

class OptionPanel;
struct SelectedModel;

struct ProgressDisplay {
    int minimum = 0;
    int maximum = 1;
    int value = 0;
    bool visible = false;
    bool border_single = false;
    bool fill_grid = false;    // placed for filling the grid (further right) rather than a download
    QString kbyte_label;       // labKbyte: "####.000K" while programming, empty otherwise
};

class ControlStates : public QObject {
    Q_OBJECT
public:
    enum Code { Busy = 2, Idle = 3, Programming = 4, Manual = 6, Connected = 20 };

    ControlStates(const SelectedModel& model, OptionPanel& options, QObject* parent = nullptr);

    void set_busy_state(int code);
    void enable_option_controls();
    void disable_option_controls();
    void disable_action_buttons();
    enum class ProgressMode { Download, FillGrid, Hide };
    void show_progress(ProgressMode mode);

    bool is_enabled(const QString& control) const { return enabled.value(control, false); }
    void set_enabled(const QString& control, bool on);

    QHash<QString, bool> enabled;
    // The Soft ICE and ISP DEMO pages are offered for the model (the window names an offered page
    // "仿真芯片" / "ISP DEMO" and one that is not "_no_").
    bool softice_page_offered = true;
    bool isp_demo_page_offered = true;
    // The program button's state: as first shown, ready again after a connect or a stop, or
    // programming (a second press stops). The window shows it as "下载,校验" / "DownLoad,Check" / "Stop".
    enum class WriteButton { First, Ready, Programming };
    WriteButton write_button = WriteButton::First;
    bool wdt_pin_option_selected = false;      // opt_ISP_DEMO_WDT(1) selected (comb_WDT usable)
    ProgressDisplay progress;
    int last_code = 0;

    // Action buttons and input controls, in the order the window lists them.
    static const QStringList& action_buttons();
    static const QStringList& input_controls();

    // Tells the window to redraw; call after changing several fields directly.
    void notify() { emit changed(); }

signals:
    void changed();
    void progress_changed();

private:
    const SelectedModel& model_;
    OptionPanel& options_;
};
