#pragma once
// What every board of a gang run is programmed with, copied from the tool as the user set it up
// (model, baud limit, power cycling, chip options, the program buffer as it stands, the serial-
// number fields, the pause between boards), so each port can set up its own workbench from it.

#include "image/program_image.h"
#include "device/link_results.h"

#include <QString>
#include <array>
#include <memory>

class Workbench;
class SerialNumber;

struct GangRecipe {
    QString model_name;
    LinkChoices link_choices;
    bool wdt_pin_option_selected = false;
    quint32 loops_per_ms = 0;           // the busy-wait calibration, measured once for all ports

    // Option choices.
    bool double_speed = false;
    bool half_gain = true;
    bool erase_data = false;
    bool p10_p11_to_gnd = false;
    bool aux_ram_no = false;
    bool rst_close_wdt_no = false;

    // The buffer and its ranges (a shared copy: every port reads the same 64 KB).
    std::shared_ptr<const std::array<quint8, ProgramImage::kSize>> buffer;
    bool fill_ff = false;
    bool file_loaded = false;
    qint32 file_start = 0, file_end = 1023, image_start = 0, image_end = 1023, isp_start = 0;
    QString file_path;

    // The serial-number fields; the numbers themselves come from the shared counter.
    bool serial_enabled = false;
    std::array<QString, 4> serial_texts;
    int serial_format = 1;

    bool beep_on_success = true;
    QString pause_text = QStringLiteral("5");

    // Copies the set-up of `bench` (and its serial-number fields, when there are any).
    static GangRecipe capture(const Workbench& bench, const SerialNumber* serial);
    // Sets a fresh workbench up the same way; `serial` gets the fields (not enabled: the run
    // writes each number itself).
    void apply(Workbench& bench, SerialNumber& serial) const;
};
