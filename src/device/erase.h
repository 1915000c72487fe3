#pragma once
// The first device step of a download: connect to the boot loader, then clear the application
// area of the flash with one erase command (0x84) whose argument is a count of 512-byte pages.

#include <QString>
#include <QtGlobal>

class IspLink;
class MessageLog;
class WorkState;
class StopRun;
class Handshake;
class Connection;
class ProgramImage;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

class Eraser {
public:
    Eraser(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results, const SelectedModel& model,
           const ProgramImage& image, WorkState& work, StopRun& stop_run, Handshake& handshake,
           Connection& connection);

    // Connects (greeting, baud, status) and erases; true: go on to programming.
    bool connect_and_erase();
    // The erase attempts; the outcome is left in the link's reply_received / stop_requested.
    void erase_application();

    // Pages for the model text of the combo and the boot loader's top area (255 for any other text).
    static int model_page_count(const QString& combo_text, int reserved_top_size);
    // The page count the erase frame carries: variant "C" firmware 2.8 or newer erases only up to
    // the end of the image (never more than the model's count).
    static int page_count(const QString& combo_text, int reserved_top_size, const QString& variant,
                          int version_tenths, qint32 image_end);

private:
    IspLink& link_;
    MessageLog& log_;
    McuStatus& status_;
    LinkResults& results_;
    const SelectedModel& model_;
    const ProgramImage& image_;
    WorkState& work_;
    StopRun& stop_run_;
    Handshake& handshake_;
    Connection& connection_;
};
