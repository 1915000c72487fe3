#include "softice/softice_download.h"

#include "device/workbench.h"
#include "image/program_image.h"
#include "image/file_loader.h"
#include "base/user_dialogs.h"
#include "softice/monitor_tables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

const QString SoftIceDownload::kConfirmErase =
    QStringLiteral("Write SoftICE program, the DownLoad Code will be erased!\r\n"
                   " Chinese: 烧录 SoftICE 程序, 将会删除下载引导码。\r\n\r\n"
                   "          Continue?/ 继续吗?  (Y/N)");
const QString SoftIceDownload::kConfirmModel =
    QStringLiteral("Please check MCU type / 请确认 MCU 型号是否正确\r\n\r\n"
                   "        Continue?/ 继续吗?  (Y/N)");
const QString SoftIceDownload::kSuccessLine = QStringLiteral("Download Soft_ICE is succeed /下载 Soft_ICE 成功");
const QString SoftIceDownload::kSuccessBox =
    QStringLiteral("Download Soft_ICE is succeed.\r\nChinese:下载 Soft_ICE 成功。");

SoftIceDownload::SoftIceDownload(Workbench& bench, FileLoader& loader) : bench_(bench), loader_(loader)
{
}

QStringList SoftIceDownload::monitor_folders()
{
    QStringList folders;
    const auto add = [&folders](const QString& folder) {
        if (folder.isEmpty())
            return;
        const QString clean = QDir::cleanPath(folder);
        if (!folders.contains(clean))
            folders << clean;
    };
    add(qEnvironmentVariable("ZVKISP_DATA_DIR"));
    const QString exe_dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    add(exe_dir);
    if (!exe_dir.isEmpty())
        add(exe_dir + QStringLiteral("/../share/zvkisp"));
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        add(data + QStringLiteral("/zvkisp"));
    return folders;
}

QString SoftIceDownload::find_monitor_folder(const QString& name)
{
    for (const QString& folder : monitor_folders())
        if (QFileInfo(QDir(folder).filePath(name)).isFile())
            return folder;
    return QString();
}

QString SoftIceDownload::program_folder()
{
    const QString found = find_monitor_folder(QString::fromLatin1(kCommonRom));
    if (!found.isEmpty())
        return found;
    const QStringList folders = monitor_folders();
    return folders.isEmpty() ? QString() : folders.first();
}

QString SoftIceDownload::monitor_path(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}

void SoftIceDownload::build_monitor_image(ProgramImage& image, FileLoader& loader,
                                          const QString& common_path, const QString& model_path, bool variant64)
{
    auto& buffer = image.program_buffer;
    image.frame_caption = QStringLiteral("File: ");
    image.file_loaded = true;

    image.clear_program_buffer(0x00);
    std::fill(buffer.begin(), buffer.begin() + kImageEnd + 1, quint8(0xFF));

    image.file_path = common_path;
    loader.load_binary_file();
    for (int i = 0; i < kCommonRomBytes; ++i) {
        buffer[size_t(kCommonRomAddress + i)] = buffer[size_t(i)];
        buffer[size_t(i)] = 0xFF;
    }

    image.file_path = model_path;
    loader.load_binary_file();
    for (int i = 0; i < kModelRomBytes; ++i) {
        buffer[size_t(kModelRomAddress + i)] = buffer[size_t(i)];
        buffer[size_t(i)] = 0xFF;
    }

    MonitorTables::write_lines(buffer.data(), ProgramImage::kSize, MonitorTables::kGlueAddress,
                               MonitorTables::glue(variant64));
    MonitorTables::write_lines(buffer.data(), ProgramImage::kSize, MonitorTables::kTailAddress,
                               MonitorTables::tail(variant64));

    // An 8051 long jump to the monitor's start.
    buffer[0] = 0x02;
    buffer[1] = 0x22;
    buffer[2] = 0x00;
    image.notify();
}

void SoftIceDownload::download_monitor()
{
    succeeded = false;
    UserDialogs& dialogs = *bench_.dialogs;
    const QString common = QString::fromLatin1(kCommonRom);
    const QString rom_name = bench_.model.soft_ice_rom_name;

    const QString common_folder = find_monitor_folder(common);
    if (common_folder.isEmpty()) {
        dialogs.message_box(QStringLiteral("找不到文件 ZVK2000.rom."));
        return;
    }
    const QString model_folder = rom_name.isEmpty() ? QString() : find_monitor_folder(rom_name);
    if (model_folder.isEmpty()) {
        dialogs.message_box(QStringLiteral("找不到文件 ") + monitor_path(common_folder, rom_name));
        return;
    }
    if (!dialogs.ask_yes_no(kConfirmErase))
        return;
    if (!dialogs.ask_yes_no(kConfirmModel))
        return;

    ProgramImage& image = bench_.image;
    build_monitor_image(image, loader_, monitor_path(common_folder, common), monitor_path(model_folder, rom_name),
                        MonitorTables::is_64k_variant(rom_name));

    // First pass: the monitor body.
    image.file_start = image.image_start = 0x2000;
    image.file_end = image.image_end = 0x33FF;
    image.notify();
    IspLink& link = bench_.link;
    link.clear_stop();
    if (!bench_.eraser.connect_and_erase())
        return;
    bench_.log.clear();
    if (!bench_.programmer.program_and_verify())
        return;

    // Second pass: the reset vector.
    bench_.log.clear();
    bench_.work.show_progress(Progress::Mode::Hide);
    image.file_start = image.image_start = 0x0000;
    image.file_end = image.image_end = 0x007F;
    image.notify();
    if (!bench_.programmer.program_and_verify())
        return;

    bench_.log.clear();
    bench_.work.show_progress(Progress::Mode::Hide);
    bench_.stop_run.run_user_program();

    settle();

    bench_.log.set_text(QStringLiteral("\r\n") + kSuccessLine);
    succeeded = true;
    dialogs.message_box(kSuccessBox);
    bench_.stop_run.stop_download();
}

void SoftIceDownload::settle()
{
    WorkState& work = bench_.work;
    Progress bar = work.progress();
    bar.minimum = 0;
    bar.maximum = 300;
    bar.value = bar.minimum;
    work.show_progress(Progress::Mode::Download, bar);
    if (settling_enabled_) {
        OneShotTimer& timer = bench_.link.Timer10;
        const int kept_interval = timer.interval();
        timer.set_interval(20);
        for (int v = 0; v <= 300; ++v) {
            timer.set_enabled(true);
            bench_.link.wait_tick(timer);
            work.set_progress_value(v);
        }
        timer.set_interval(kept_interval);
    } else {
        work.set_progress_value(bar.maximum);
    }
    bench_.work.show_progress(Progress::Mode::Hide);
}
