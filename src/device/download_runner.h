#pragma once
// The two download buttons: Download runs the whole road once (connect, erase, program and
// verify, options, run, report); Re-Download repeats it for one board after another with a
// countdown between them. The window, the command line and every port of a gang run use it;
// each board ends with a BoardResult.

#include "device/board_result.h"

#include <QDateTime>
#include <QObject>
#include <QString>

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
class BoardPort;
class NumberedBoard;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

// The runner's own controls on the window.
struct DownloadChoices {
    bool reload_file = false;                         // reload the file before each download
    bool beep_on_success = true;                      // beep after a good download
    QString redownload_delay_text = QStringLiteral("5");   // the repeat pause (seconds)
};

class DownloadRunner : public QObject {
    Q_OBJECT
public:
    enum class Mode { Download, ReDownload };
    enum class Phase { Idle, Connecting, Programming, Options, Countdown };

    DownloadRunner(IspLink& link, MessageLog& log, WorkState& work, StopRun& stop_run, Eraser& eraser,
                   Programmer& programmer, OptionWriter& option_writer, McuStatus& status, LinkResults& results,
                   const SelectedModel& model, ProgramImage& image, UserDialogs& dialogs, QObject* parent = nullptr);

    // The image tools, when the owner has them (file reload and serial number).
    void set_image_tools(FileLoader* loader, SerialNumber* serial)
    {
        loader_ = loader;
        serial_ = serial;
    }
    // The port of a run of boards: it tells whether a board answered at all (no board).
    void set_board_port(BoardPort* port) { board_port_ = port; }
    // Numbers from a shared counter: one is taken for each board and kept or given back as the
    // board ends (null: none).
    void set_numbers(NumberedBoard* numbers) { numbers_ = numbers; }
    NumberedBoard* numbers() const { return numbers_; }
    // A good board that needed more than `max` frames sent again fails and ends the series (-1: no
    // limit).
    void set_resend_limit(qint64 max) { max_resends_ = max; }

    // There is a file to download (else the message box says so); a fresh copy of it is loaded
    // when the choices ask for one.
    bool prepare_image();
    // Download (one board) or Re-Download (board after board until a board fails, Stop or
    // end_series()). Returns the last board's result.
    BoardResult run(Mode mode);
    // One board, from the connect to the success lines.
    BoardResult run_board();
    // The Stop button.
    Q_INVOKABLE void stop();
    // Ends a Re-Download after the board in hand, as Download ends.
    void end_series() { end_series_ = true; }

    bool running() const { return running_; }
    const BoardResult& last_result() const { return last_; }

    DownloadChoices choices;

    // ---- Pure pieces --------------------------------------------------------------------------
    // "mm:ss" of a whole number of seconds, each part the last two digits.
    static QString total_time_text(qint64 seconds);
    // Whole seconds from `start` to now as the clock shows them (10:00:00.9 to 10:00:02.1 is 2).
    static qint64 seconds_since(const QDateTime& start);
    // The whole-number value of the pause text (leading number; 0 when there is none).
    static int pause_seconds(const QString& text);

    static const QString kNoFileText;

signals:
    // Before every board's connect, and after every board.
    void board_started();
    void board_finished(const BoardResult& result);
    void phase_changed(DownloadRunner::Phase phase);
    void progress_changed();
    void log_line(const QString& line);

private:
    bool run_cycle();                   // one board; true when it reached the success lines
    BoardResult board_result(bool ok);
    void countdown();
    void enter(Phase phase);

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
    BoardPort* board_port_ = nullptr;
    NumberedBoard* numbers_ = nullptr;
    qint64 max_resends_ = -1;
    quint64 resent_before_ = 0;
    Mode mode_ = Mode::Download;
    bool running_ = false;
    bool stopped_ = false;
    bool end_series_ = false;
    Phase phase_ = Phase::Idle;
    BoardResult last_;
};
