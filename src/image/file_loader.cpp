#include "image/file_loader.h"

#include "base/number_text.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"
#include "settings/settings_store.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

const QString FileLoader::kMsgStartOutrun =
    QStringLiteral("Buffer Start Address Outrun the valid scope. \r\n   缓冲区起始地址超出有效空间。");
const QString FileLoader::kMsgCannotFind = QStringLiteral("Can not find the file./找不到文件");
const QString FileLoader::kMsgHexFirstLine = QStringLiteral("HEX File is error.");
const QString FileLoader::kMsgHexLine = QStringLiteral("HEX file is error.");
const QString FileLoader::kMsgFileError = QStringLiteral("File is error.");
const QString FileLoader::kTitleOpen = QStringLiteral("Open HEX file");

namespace {

const QString kOpenTitle = QStringLiteral("Open .hex or .bin file");
// "(*.hex, *.ihx, *.bin)|*.hex;*.ihx;*.bin|(*.bin)|*.bin|All Files (*.*)|*.*" in the form file
// dialogs take (.ihx: the name sdcc gives its HEX output).
const QString kOpenFilter =
    QStringLiteral("(*.hex, *.ihx, *.bin) (*.hex *.ihx *.bin);;(*.bin) (*.bin);;All Files (*.*) (*)");

int hex_digit(char c)
{
    return NumberText::hex_digit(QLatin1Char(c));
}

// A record byte: two characters read as hexadecimal; reading stops at a character that is not a
// digit (no digit at all reads as 0).
int pair_value(const char* p, int available)
{
    if (available < 1)
        return 0;
    const int hi = hex_digit(p[0]);
    if (hi < 0)
        return 0;
    if (available < 2)
        return hi;
    const int lo = hex_digit(p[1]);
    return lo < 0 ? hi : hi * 16 + lo;
}

// Sets the buffer bytes from `low` to `high` (those inside the buffer) to `value`.
void fill_range(ProgramImage& image, qint64 low, qint64 high, quint8 value)
{
    low = std::max<qint64>(low, 0);
    high = std::min<qint64>(high, ProgramImage::kSize - 1);
    if (low <= high)
        std::fill(image.program_buffer.begin() + low, image.program_buffer.begin() + high + 1, value);
}

// The highest address from `high` down to `low` (inside the buffer) whose byte is not `value`;
// -1 when there is none.
qint64 last_other_than(const ProgramImage& image, qint64 low, qint64 high, quint8 value)
{
    low = std::max<qint64>(low, 0);
    high = std::min<qint64>(high, ProgramImage::kSize - 1);
    for (qint64 a = high; a >= low; --a)
        if (image.program_buffer[static_cast<size_t>(a)] != value)
            return a;
    return -1;
}

} // namespace

FileLoader::FileLoader(ProgramImage& image, const SelectedModel& model, SerialNumber& serial,
                       SettingsStore* settings, UserDialogs* dialogs, QObject* parent)
    : QObject(parent), image_(image), model_(model), serial_(serial), settings_(settings), dialogs_(dialogs)
{
}

void FileLoader::load_file()
{
    choose_program_file();
    open_into_buffer();
}

void FileLoader::choose_program_file()
{
    const QString remembered = settings_ ? settings_->file_path() : SettingsStore::program_folder();
    const bool exists = QFileInfo(remembered).isFile();
    QString preset = exists ? remembered : QString();
    if (preset.endsWith(QLatin1Char('\\')) || preset.endsWith(QLatin1Char('/')))
        preset.clear();
    QString chosen;
    if (dialogs_)
        chosen = dialogs_->choose_open_file(kOpenTitle, preset.isEmpty() ? remembered : preset, kOpenFilter);
    // A cancel leaves the preset name.
    image_.file_path = chosen.isEmpty() ? preset : chosen;
    if (!image_.file_path.isEmpty()) {
        image_.frame_caption = QStringLiteral("File: ") + image_.file_path;
        emit caption_changed();
        if (settings_)
            settings_->set_file_path(image_.file_path);
    }
}

void FileLoader::restore_program_file()
{
    const QString remembered = settings_ ? settings_->file_path() : SettingsStore::program_folder();
    if (!QFileInfo(remembered).isFile()) {
        if (dialogs_)
            dialogs_->message_box(kMsgCannotFind);
        return;
    }
    image_.file_path = remembered;
    image_.frame_caption = QStringLiteral("File: ") + image_.file_path;
    emit caption_changed();
}

bool FileLoader::open_path(const QString& path, bool follow_records)
{
    image_.file_path = QFileInfo(path).absoluteFilePath();
    follow_address_records = follow_records;
    open_into_buffer();
    return last_load_ok;
}

void FileLoader::open_into_buffer()
{
    const bool named = !image_.file_path.trimmed().isEmpty();
    open_content_into_buffer(named ? read_program_file(image_.file_path) : std::nullopt);
}

void FileLoader::open_content_into_buffer(const std::optional<QByteArray>& content)
{
    last_load_ok = false;
    refusal.reset();
    if (image_.file_path.isEmpty())
        return;
    if (NumberText::last_hex_digits(image_.buffer_start_text, 5) > model_.user_flash_end) {
        if (dialogs_)
            dialogs_->message_box(kMsgStartOutrun);
        refuse(image_.file_path, 0,
               QStringLiteral("the buffer start address %1 lies beyond %2h / 缓冲区起始地址 %1 超出 %2h")
                   .arg(image_.buffer_start_text.trimmed(), NumberText::hex_upper(model_.user_flash_end)));
        return;
    }
    if (image_.clear_buffer_on_load || !image_.file_loaded)
        image_.clear_before_load();
    else
        image_.widen_to_file();
    serial_.serial_active = false;

    if (content)
        load_program_file(*content, image_.file_path);
    else if (!image_.file_path.trimmed().isEmpty())
        load_binary_content(std::nullopt);   // not readable: taken for a binary, as a file that cannot be opened is

    serial_.set_checked(false);
    serial_.refresh_image();
    serial_.update_active();
    image_.notify();
}

void FileLoader::load_program_file(const QByteArray& bytes, const QString& name)
{
    if (set_wait_cursor)
        set_wait_cursor(true);
    if (is_hex_text(bytes))
        load_hex_file(bytes, name);
    else
        load_binary_file(bytes);
    if (set_wait_cursor)
        set_wait_cursor(false);
}

void FileLoader::refuse(const QString& file, int line, const QString& reason)
{
    refusal = FileDiagnostic{file, line, reason};
}

FileLoader::Ranges FileLoader::read_ranges() const
{
    Ranges r;
    r.ap_end = NumberText::last_hex_digits(image_.range_texts[1], 4);
    const bool block_box_empty = image_.range_texts[2].isEmpty();
    r.block_start = block_box_empty ? qint64(model_.range_end) + 1 : NumberText::last_hex_digits(image_.range_texts[2], 5);
    r.block_end = block_box_empty ? qint64(model_.range_end) : NumberText::last_hex_digits(image_.range_texts[3], 5);
    r.buffer_start = NumberText::hex_prefix_value(image_.buffer_start_text.trimmed());
    return r;
}

void FileLoader::show_range_message(bool over, bool data, bool binary)
{
    if (!over && !data)
        return;
    QString text;
    if (over)
        text = QStringLiteral("    File over the valid scope.\r\n文件超出有效空间, 超出的部分已丢失。");
    if (data) {
        if (!text.isEmpty())
            text += QStringLiteral("\r\n\r\n");
        text += binary ? QStringLiteral(" Data Memory contain datas.\r\n  Data Memory 空间有数据。")
                       : QStringLiteral(" Data Memory contain procedure or datas.\r\n      Data Memory 空间有数据。");
    }
    if (binary)
        text += QStringLiteral("\r\n\r\n            按确定继续。");
    if (dialogs_)
        dialogs_->message_box(text, kTitleOpen);
}

void FileLoader::load_binary_file()
{
    load_binary_content(read_program_file(image_.file_path));
}

void FileLoader::load_binary_content(const std::optional<QByteArray>& bytes)
{
    if (bytes) {
        load_binary_file(*bytes);
        return;
    }
    // A file that cannot be read ends the load without a message.
    last_load_ok = false;
    image_.file_start = static_cast<qint32>(read_ranges().buffer_start);
    refuse(image_.file_path, 0, FileReason::unreadable());
}

void FileLoader::load_binary_file(const QByteArray& bytes)
{
    last_load_ok = false;
    refusal.reset();
    const Ranges r = read_ranges();
    image_.file_start = static_cast<qint32>(r.buffer_start);

    // Byte k goes to buffer start + k; the byte for 10000h is the last one stored.
    const qint64 room = std::max<qint64>(0, ProgramImage::kSize - r.buffer_start);
    qint64 file_end = r.buffer_start + bytes.size() - 1;
    if (bytes.size() > room) {
        file_end = 0xFFFF;        // the file reaches past the buffer
    }
    const qint64 stored = std::min<qint64>(bytes.size(), room);
    if (stored > 0) {
        std::memcpy(image_.program_buffer.data() + r.buffer_start, bytes.constData(), static_cast<size_t>(stored));
        if (r.buffer_start + stored - 1 >= 0x10000)
            file_end = 0xFFFF;
    }

    bool over = false;
    bool data = false;
    if (model_.ap_to_isp) {
        if (file_end > r.ap_end) {
            over = true;
            file_end = r.ap_end;
        }
    } else if (model_.model_family == 2) {
        if (file_end > r.ap_end)
            data = true;
        if (r.block_end - r.block_start > 10 && file_end >= r.block_start) {
            over = true;
            file_end = r.block_start - 1;
        }
    } else {
        if (file_end > r.ap_end) {
            over = true;
            file_end = r.ap_end;
        }
        fill_range(image_, r.ap_end + 1, qint64(model_.data_flash_start) - 1, image_.fill_byte());
    }
    image_.file_end = static_cast<qint32>(file_end);
    show_range_message(over, data, true);
    image_.file_loaded = true;
    last_load_ok = true;
}

void FileLoader::load_hex_file(const QByteArray& bytes, const QString& name)
{
    last_load_ok = false;
    refusal.reset();
    bool ok = !bytes.isEmpty();
    if (!ok) {
        refuse(name, 0, QStringLiteral("the file is empty / 文件是空的"));
    } else if (!bytes.startsWith(':')) {
        if (dialogs_)
            dialogs_->message_box(kMsgHexFirstLine);
        refuse(name, 1, FileReason::no_colon());
        ok = false;
    }
    if (ok && parse_hex_records(bytes, name) == 0)
        return;
    if (dialogs_)
        dialogs_->message_box(kMsgFileError);
}

int FileLoader::parse_hex_records(const QByteArray& content, const QString& name)
{
    const Ranges r = read_ranges();
    qint64 max = 0;
    qint64 base = 0;   // moved by address records when they are followed
    TextLines lines(content);
    const char* line = nullptr;
    int length = 0;
    while (lines.next(line, length)) {
        if (length < 1 || line[0] != ':') {
            if (dialogs_)
                dialogs_->message_box(kMsgHexLine);
            refuse(name, lines.number(), FileReason::no_colon());
            return 1;
        }
        const char* body = line + 1;
        const int chars = length - 1;
        const int count = chars / 2;              // bytes on the line
        const int n = count - 5;                  // data bytes
        if (n > kMaxRecordData) {
            if (dialogs_)
                dialogs_->message_box(kMsgHexLine);
            refuse(name, lines.number(), FileReason::record_too_long(n));
            return 1;
        }
        auto byte_at = [&](int i) { return (i < 0 || i >= count) ? 0 : pair_value(body + 2 * i, chars - 2 * i); };
        int sum = 0;
        for (int i = 0; i < count - 1; ++i)
            sum += byte_at(i);
        const int checksum = count >= 1 ? byte_at(count - 1) : 0;
        if ((sum & 0xFF) != ((256 - checksum) & 0xFF)) {
            if (dialogs_)
                dialogs_->message_box(QStringLiteral("Checksum\r\n\r\n") + QString::fromLatin1(line, length), name);
            emit log_line(QStringLiteral("Checksum error on line %1 of the HEX file. / HEX 文件第 %1 行校验和错误。")
                              .arg(lines.number()));
        }
        const int type = byte_at(3);
        if (type == 0x01)
            break;
        if (follow_address_records && (type == 0x02 || type == 0x04))
            base = qint64(byte_at(4) * 256 + byte_at(5)) << (type == 0x02 ? 4 : 16);
        if (type != 0x00)
            continue;                             // address records carry no bytes for the buffer
        const qint64 address = base + byte_at(1) * 256 + byte_at(2) + r.buffer_start;
        for (int i = 0; i < n; ++i) {
            const qint64 a = address + i;
            if (a > max)
                max = a;
            if (a < r.block_start && ProgramImage::in_buffer(a))
                image_.program_buffer[static_cast<size_t>(a)] = static_cast<quint8>(byte_at(4 + i));
        }
    }

    bool over = false;
    bool data = false;
    const qint64 isp_start = image_.isp_start;
    if (max >= isp_start) {
        over = true;
        max = isp_start - 1;
    }
    if (!model_.ap_to_isp) {
        if (model_.model_family == 2) {
            if (max > r.ap_end)
                data = true;
        } else if (max > r.ap_end) {
            max = r.ap_end;
            over = true;
        }
    }
    image_.file_end = static_cast<qint32>(max);
    const quint8 fill = image_.fill_byte();
    // The area from isp_start - 1 down to AP end + 1: family 2 notes that it holds data, the other
    // families clear it from its highest byte that is not the fill byte down.
    const bool scan = model_.model_family == 2 ? !data : !over;
    const qint64 other = scan ? last_other_than(image_, r.ap_end + 1, isp_start - 1, fill) : -1;
    if (model_.model_family == 2) {
        data = data || other >= 0;
    } else if (other >= 0) {
        over = true;
        fill_range(image_, r.ap_end + 1, other, fill);
    }
    image_.file_start = static_cast<qint32>(r.buffer_start);
    show_range_message(over, data, false);
    image_.file_loaded = true;
    last_load_ok = true;
    return 0;
}
