// libFuzzer target: arbitrary bytes loaded from memory as a program file (HEX or binary
// detection, or the binary loader directly) for a model, fill byte, clear choice and start address
// taken from the first three bytes, and held to the strict check. The loaders must not crash, must
// not touch memory outside the buffer, and must leave the image's other fields alone; a file the
// strict check passes must load into a cleared buffer without a single message.

#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "base/number_text.h"
#include "image/program_file.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

class SilentDialogs : public UserDialogs {
public:
    void beep() override {}
    void message_box(const QString&, const QString& = QString(), Icon = Icon::None) override { ++messages; }
    bool ask_yes_no(const QString&, const QString& = QString()) override { return true; }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return QString(); }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return QString(); }
    long messages = 0;
};

const char* const kStarts[] = {"0", "100", "8000", "F000", "FFFF", "10000", "37FF", "1037FF", "-1", "zz", "FFFFFFFFFFFF"};

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "fuzz_loader: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz_loader";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    if (size < 3)
        return 0;

    const auto& rows = McuModelTable::rows();
    const ModelRow& row = rows[data[0] % rows.size()];
    const uint8_t flags = data[1];
    const char* start = kStarts[data[2] % (sizeof kStarts / sizeof kStarts[0])];

    const QString path = QStringLiteral("input.hex");
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 3), int(size - 3));

    SilentDialogs dialogs;
    SelectedModel model;
    model.select(row.name);
    auto image = std::make_unique<ProgramImage>(model);
    SerialNumber serial(*image, model, nullptr, &dialogs);
    FileLoader loader(*image, model, serial, nullptr, &dialogs);
    BufferView view(*image, &serial, &dialogs);

    view.box_height_twips = (flags & 0x40) ? 1e9 : 4850;
    view.clear_program_buffer(0x00);
    image->show_memory_ranges();
    image->fill_ff = flags & 1;
    image->clear_buffer_on_load = flags & 2;
    image->buffer_start_text = QString::fromLatin1(start);
    image->file_path = path;
    if (flags & 0x20) {
        serial.texts = {QStringLiteral("0103"), QString::number(flags & 7), QStringLiteral("12"), QStringLiteral("1")};
        serial.set_checked(true);
    }

    const std::array<QString, 4> ranges_before = image->range_texts;
    const bool strict_ok = !check_program_bytes(bytes, path, FlashLimits::of(model, NumberText::hex_prefix_value(start)));
    loader.follow_address_records = flags & 0x80;
    for (int round = 0; round < ((flags & 0x10) ? 2 : 1); ++round) {
        if (flags & 4) {
            if (image->clear_buffer_on_load || !image->file_loaded)
                image->clear_before_load();
            loader.load_binary_file(bytes);
            serial.refresh_image();
        } else {
            loader.open_content_into_buffer(bytes);
        }
    }
    // What the command line lets through, the window loads without a word (given a start address
    // the window takes, a cleared buffer, no serial number, and address records followed as the
    // command line does).
    if (strict_ok && (flags & 0xA6) == 0x82 &&
        NumberText::last_hex_digits(QString::fromLatin1(start), 5) <= model.user_flash_end) {
        check(loader.last_load_ok, "a file the strict check passed was not loaded");
        check(dialogs.messages == 0, "a file the strict check passed was loaded with a message");
    }
    if (flags & 8) {
        view.set_scroll_value(view.scroll_max);
        view.txtBuffer2_MouseDown(static_cast<int>(size % (view.front_text.size() + 1)));
        view.txtBuffer2_KeyPress(QLatin1Char('F'));
    }

    // The fields around the buffer are untouched.
    check(image->fill_ff == bool(flags & 1), "fill choice changed");
    check(image->clear_buffer_on_load == bool(flags & 2), "clear choice changed");
    check(image->file_path == path, "file path changed");
    check(image->buffer_start_text == QString::fromLatin1(start), "start text changed");
    check(image->range_texts == ranges_before, "range texts changed");
    return 0;
}
