#pragma once
// The two download buttons: Download runs the whole road once (connect, erase, program and
// verify, options, run, report); Re-Download repeats it for one board after another with a
// countdown between them.

#include <QDateTime>
#include <QString>
#include <functional>

class IspLink;
class MessageLog;
class WorkState;
class StopRun;
class Eraser;
class Programmer;
class OptionWriter;
class ProgramImage;
class FileLoader;
class SerialNumber;
class UserDialogs;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

// The sequencer's own controls on the window.
struct SequencerChoices {
    bool reload_file = false;                         // reload the file before each download
    bool beep_on_success = true;                      // beep after a good download
    QString redownload_delay_text = QStringLiteral("5");   // the repeat pause (seconds)
};

class Sequencer {
public:
    Sequencer(IspLink& link, MessageLog& log, WorkState& work, StopRun& stop_run, Eraser& eraser,
              Programmer& programmer, OptionWriter& option_writer, McuStatus& status, LinkResults& results,
              const SelectedModel& model, ProgramImage& image, UserDialogs& dialogs);

    // The image tools, when the owner has them (file reload and serial number).
    void set_image_tools(FileLoader* loader, SerialNumber* serial)
    {
        loader_ = loader;
        serial_ = serial;
    }

    // index 0 = Download, 1 = Re-Download.
    void start_download(int index);

    SequencerChoices choices;

    // Called before every board's connect, and after every board: true when it ended with the
    // success lines.
    std::function<void()> board_started;
    std::function<void(bool ok)> board_finished;
    // Set (by board_finished) to end a Re-Download series after this board, as Download ends.
    bool end_series = false;
    bool running = false;
    bool last_board_ok = false;
    int boards_done = 0;

    // ---- Pure pieces --------------------------------------------------------------------------
    // "mm:ss" of a whole number of seconds, each part the last two digits.
    static QString total_time_text(qint64 seconds);
    // Whole seconds from `start` to now as the clock shows them (10:00:00.9 to 10:00:02.1 is 2).
    static qint64 seconds_since(const QDateTime& start);
    // The whole-number value of the pause text (leading number; 0 when there is none).
    static int pause_seconds(const QString& text);

    static const QString kNoFileText;

private:
    bool run_cycle();                   // one board; true when it reached the success lines
    void countdown();

    IspLink& link_;
    MessageLog& log_;
    WorkState& work_;
    StopRun& stop_run_;
    Eraser& eraser_;
    Programmer& programmer_;
    OptionWriter& option_writer_;
    McuStatus& status_;
    LinkResults& results_;
    const SelectedModel& model_;
    ProgramImage& image_;
    UserDialogs& dialogs_;
    FileLoader* loader_ = nullptr;
    SerialNumber* serial_ = nullptr;
};
