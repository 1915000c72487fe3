#pragma once
// A board's serial number from a shared counter, taken right before the first chunk with the
// number's bytes goes out: a board that fails before (no board, no answer, erase, the blocks
// before) uses none. With several boards at once the chunks with the number go out last, so the
// number is held only for the board's last moments; the pool lends one number at a time, and
// other boards wait for it there until this one is done with it. A single board keeps the
// chunks in address order.

#include <QString>
#include <atomic>

class SerialNumber;
class SerialPool;
class Workbench;

class NumberedBoard {
public:
    // Hooks into the workbench's programmer; `stop` ends a wait for the number (the workbench's
    // Stop is then pressed). `last`: the number's chunks go out after every other block. Every
    // object must outlive the downloads.
    NumberedBoard(Workbench& bench, SerialNumber& serial, SerialPool& pool, const std::atomic<bool>& stop,
                  bool last);
    ~NumberedBoard();
    // A board begins: waits while the counter's store cannot be reached.
    void begin();
    // The board is done: its number is kept (ok) or handed back. Returns the number's text ("" when
    // the board took none).
    QString finish(bool ok);

private:
    bool take(SerialNumber& serial, const std::atomic<bool>& stop);

    Workbench& bench_;
    SerialPool& pool_;
    const std::atomic<bool>& stop_;
    int taken_ = -1;
};
