#pragma once
// The real serial port as a run of boards uses it: counts the bytes that came back from the board
// (whether a board answered at all) and notices an adapter that opened and then went away.

#include "isp/qt_serial_port.h"

class BoardPort : public QtSerialPort {
public:
    BoardPort();
    int open(const QString& device, const SerialFormat& format) override;
    QByteArray read(qint64 max = 0) override;

    // The board ended: true when no board answered at all since the last call (a stopped wait for
    // the next board, or an adapter that went away while waiting). Starts counting afresh.
    bool no_board_answered();
    bool board_answered() const { return received_ > 0; }
    bool vanished() const { return vanished_; }

private:
    qint64 received_ = 0;
    bool opened_ = false;     // the device opened once in this run
    bool vanished_ = false;   // and then went away
};
