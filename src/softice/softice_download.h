#pragma once
// Turning a Soft ICE capable MCU into a debugging target: the monitor image is assembled in the
// program buffer from the two monitor files and the glue and tail code, then programmed with the
// normal connect, erase and program steps in two passes (the monitor body, then the reset vector).
//
// The monitor files are looked up, in this order, in the folder named by the environment variable
// ZVKISP_DATA_DIR, the folder of the executable, and the installed data folders (share/zvkisp
// beside the executable's bin folder, then the system's data folders).

#include <QString>
#include <QStringList>

class Workbench;
class FileLoader;
class ProgramImage;

class SoftIceDownload {
public:
    static constexpr const char* kCommonRom = "ZVK2000.rom";
    static constexpr quint32 kCommonRomAddress = 0x2000;   // its first 384 bytes go here
    static constexpr int kCommonRomBytes = 384;
    static constexpr quint32 kModelRomAddress = 0x2300;    // the model's monitor, 4096 bytes
    static constexpr int kModelRomBytes = 4096;
    static constexpr quint32 kImageEnd = 0x3400;           // 0x0000..0x3400 start as 0xFF

    SoftIceDownload(Workbench& bench, FileLoader& loader);

    // The "Down SoftICE/下载 SoftICE" button.
    void download_monitor();

    // The settling bar after the run command (about six seconds); tests switch it off.
    void set_settling_enabled(bool on) { settling_enabled_ = on; }
    // True when the last click ended with the success message.
    bool succeeded = false;

    // ---- Pure pieces ---------------------------------------------------------------------------
    // The folders searched for the monitor files, in order.
    static QStringList monitor_folders();
    // The folder a monitor file is read from: the first of monitor_folders() that holds `name`;
    // empty when none does.
    static QString find_monitor_folder(const QString& name);
    // The program folder the messages name: where "ZVK2000.rom" was found, else the first folder.
    static QString program_folder();
    // folder + separator + name, with the platform's separators.
    static QString monitor_path(const QString& folder, const QString& name);

    // Builds the monitor image (steps from the buffer caption to the jump at address 0): the buffer
    // cleared to 0x00, 0x0000..0x3400 set to 0xFF, each monitor file loaded with the binary loader
    // and moved up, the glue and tail code written, the long jump to 0x2200 at 0.
    static void build_monitor_image(ProgramImage& image, FileLoader& loader,
                                    const QString& common_path, const QString& model_path, bool variant64);

    static const QString kConfirmErase;
    static const QString kConfirmModel;
    static const QString kSuccessLine;
    static const QString kSuccessBox;

private:
    void settle();

    Workbench& bench_;
    FileLoader& loader_;
    bool settling_enabled_ = true;
};
