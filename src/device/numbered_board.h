#pragma once
// A board's serial number from a shared counter. The chunks with the number's bytes go out last,
// and the number is taken right before them: a board that fails before (no board, no answer,
// erase, the other blocks) uses none, and the number is held only for the board's last moments.
// The pool lends one number at a time, so other boards wait for it there until this one is done
// with it.

#include <QString>
#include <atomic>

class SerialNumber;
class SerialPool;
class Workbench;

class NumberedBoard {
public:
    // Hooks into the workbench's programmer; `stop` ends a wait for the number (the workbench's
    // Stop is then pressed). Every object must outlive the downloads.
    NumberedBoard(Workbench& bench, SerialNumber& serial, SerialPool& pool, const std::atomic<bool>& stop);
    ~NumberedBoard();
    // The board is done: its number is kept (ok) or handed back. Returns the number's text ("" when
    // the board took none).
    QString finish(bool ok);

private:
    Workbench& bench_;
    SerialPool& pool_;
    int taken_ = -1;
};
