#pragma once
// The Stop and Run buttons, and the connection advice printed when the MCU has not answered
// within four seconds of the start of a connection attempt (Timer9).

#include "base/one_shot_timer.h"

#include <QObject>

class IspLink;
class MessageLog;
class WorkState;
struct LinkResults;

class StopRun : public QObject {
    Q_OBJECT
public:
    StopRun(IspLink& link, MessageLog& log, WorkState& work, LinkResults& results,
            QObject* parent = nullptr);

    // Run: the boot loader leaves and starts the user program (0x82, no reply), then the port closes.
    void run_user_program();
    // The stop handling: idle window, stop flag set, 0x82 sent, queues emptied, port closed.
    void stop_download();
    // The advice tick (two beeps, then the advice lines).
    void show_advice();

    OneShotTimer Timer9{QStringLiteral("Timer9"), 4000};

    // The advice lines, English + Chinese, or Chinese only in custom mode.
    static QStringList advice_lines(bool custom_mode);

private:
    IspLink& link_;
    MessageLog& log_;
    WorkState& work_;
    LinkResults& results_;
};
