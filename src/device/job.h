#pragma once
// All a download needs, as one value: the model, the link choices (baud limit, power cycling,
// watchdog pin), the chip options, the program buffer as it stands, the serial-number plan and the
// runner's choices (reload, beep, pause). Taken from a workbench set up by the window or the
// command line, it sets up another one the same way (each port of a gang run has its own).

#include "device/download_runner.h"
#include "device/link_results.h"
#include "image/program_image.h"

#include <QString>
#include <array>
#include <memory>

class Workbench;
class SerialNumber;

// The option choices a download writes (the options page and the speed and gain choices).
struct JobOptions {
    bool double_speed = false;
    bool half_gain = true;
    bool erase_data = false;
    bool p10_p11_to_gnd = false;
    bool aux_ram_no = false;
    bool rst_close_wdt_no = false;

    // Sets them on `bench`, each where the selected model's family offers it.
    void apply(Workbench& bench) const;
};

struct Job {
    QString model_name;
    LinkChoices link_choices;
    bool wdt_pin_option_selected = false;
    quint32 loops_per_ms = 0;           // the busy-wait calibration, measured once for all ports

    JobOptions options;

    // The buffer and its ranges (a shared copy: every port reads the same 64 KB).
    std::shared_ptr<const std::array<quint8, ProgramImage::kSize>> buffer;
    bool fill_ff = false;
    bool file_loaded = false;
    qint32 file_start = 0, file_end = 1023, image_start = 0, image_end = 1023, isp_start = 0;
    QString file_path;

    // The serial-number plan; the numbers themselves come from the shared counter.
    bool serial_enabled = false;
    std::array<QString, 4> serial_texts;
    int serial_format = 1;

    DownloadChoices choices;

    // Copies the set-up of `bench` (and its serial-number fields, when there are any).
    static Job capture(const Workbench& bench, const SerialNumber* serial);
    // Sets a fresh workbench up the same way; `serial` gets the fields (not enabled: the run
    // writes each number itself). The file is not loaded again.
    void apply(Workbench& bench, SerialNumber& serial) const;
};
