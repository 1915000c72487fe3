#pragma once
// How one board's download ended, as the download runner reports it to the window, the command
// line and a gang run's port.

#include <QString>
#include <QtGlobal>

struct BoardResult {
    enum class Outcome {
        Ok,       // the success lines were reached
        Failed,
        Stopped,  // Stop ended the board
        NoBoard,  // Stop ended a Re-Download's wait for a board that never answered: no board at all
    };
    Outcome outcome = Outcome::Failed;
    // The number the board took from a shared counter ("" when it took none).
    QString serial_number;
    // Frames of this board that had to be sent again.
    quint64 frames_resent = 0;
    // The board ended good but needed more resent frames than allowed: failed.
    bool too_many_resends = false;
    // Whether anything came back from the board (known when the runner watches the port).
    bool board_answered = true;

    bool ok() const { return outcome == Outcome::Ok; }
};
