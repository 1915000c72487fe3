#pragma once
// The "Gang" dialog: one board per port on several ports at the same time. A list of ports to
// use, the Repeat choice, Start and Stop, and a table with a row per port (state, progress, time
// since the port started, boards programmed and failed, serial numbers, the port's last log line)
// above a log of every port's lines prefixed with its name; the log follows its last line. Non-modal; the window's port operations wait while a run is
// active, and Start waits while the window itself uses a port.

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class GangRun;
class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class FileLoader;
class SerialNumber;
class UserDialogs;
class Workbench;
class ControlStates;

// What the dialog takes from the window: its core objects and the few questions it asks it.
struct GangHost {
    Workbench& bench;
    ControlStates& controls;   // the window's enabling
    UserDialogs& dialogs;
    FileLoader& loader;
    SerialNumber& serial;
    std::function<QString()> port_box_text;  // the port box's text
    std::function<QString(const QString&)> device_of_port;
    std::function<bool()> busy_elsewhere;  // the window's own operation runs
    std::function<void()> take_page_choices;  // page choices into the core
    std::function<void(bool)> gang_active_changed;
};

class GangDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { ColPort, ColState, ColProgress, ColTime, ColOk, ColFailed, ColSerials, ColLast, ColumnCount };

    explicit GangDialog(GangHost host, QWidget* parent = nullptr);
    ~GangDialog() override;

    // The port texts of the list, as typed ("COM3", "/dev/ttyUSB1"); empty rows left out.
    QStringList ports() const;
    void set_ports(const QStringList& texts);

    // Start: checks the ports and the file, copies the window's set-up and starts every port.
    void start();
    // Stop on every port.
    void stop_all();
    bool running() const;
    // The current (or last) run; null before the first Start.
    GangRun* run() const { return run_.get(); }
    // A line at the end of the log, which then shows it.
    void append_log(const QString& text);

    // The lines of the log view (bounded to the newest kLogLines).
    static constexpr int kLogLines = 5000;

    static const QString kNoPortText;
    static const QString kPortTwiceText;        // %1 the port text, %2 the device
    static const QString kWindowBusyText;
    // The state of a row as the table shows it ("OK" -> "OK/成功").
    static QString state_text(const QString& state);

    QListWidget* portList = nullptr;
    QPushButton* addPort = nullptr;
    QPushButton* removePort = nullptr;
    QCheckBox* repeat = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QTableWidget* table = nullptr;
    QPlainTextEdit* log = nullptr;

signals:
    // The run ended on every port; the summary is in the log and the serial number handed back.
    void run_finished();

public slots:
    // Closing the dialog (Esc, the title bar) is Stop for every port.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void add_port_row();
    void remove_port_rows();
    void build_table(const QStringList& texts, const QStringList& devices);
    void show_row(int index);
    void on_finished();
    void update_buttons();
    void show_times();

    GangHost host_;
    std::unique_ptr<GangRun> run_;
    QStringList names_;         // the port texts of the running rows, for the log prefix
    QTimer busy_check_;         // looks again while the window's own operation winds down
    QTimer clock_;              // the time column of the running ports
    std::vector<QElapsedTimer> started_;   // per row, since Start
    std::vector<qint64> ended_ms_;         // per row, the time at which the port ended (-1 running)
};
