#pragma once
// The remembered control values of the "Settings" section, as plain data. Loading changes a field
// only when the stored value is usable, so a struct holding the window's design values comes back
// with every unusable value left at its design value.

#include <QString>
#include <array>

struct StoredSettings {
    // Window geometry, twips.
    double main_left = 0;
    double main_top = 0;
    double main_width = 12000;
    double main_height = 9045;

    int model_index = 0;              // model list index
    bool double_speed_yes = false;    // Option0: (0) "YES" selected, else (1) "NO"
    QString file_path;                // initial folder of the file dialog (empty: not read yet)
    bool fill_ff = false;             // fill byte "FF" chosen, else "00"
    int com_index = -1;               // COM port list index; design: no selection
    bool beep_yes = true;             // beep after a good download
    int delay_index = 4;              // repeat-pause list index ("5" seconds)

    // the user command's baud, parity, data bits, stop bits
    std::array<int, 4> user_code{2, 2, 0, 0};
    // the download routine's baud, parity, data bits, stop bits, then the trigger command's
    std::array<int, 8> demo{2, 0, 0, 0, 2, 0, 0, 0};
};
