#include "image/buffer_store.h"

#include "base/number_text.h"
#include "image/program_image.h"
#include "base/user_dialogs.h"
#include "settings/settings_store.h"

#include <QFile>

const QString BufferStore::kMsgStartSmall = QStringLiteral("Start Address is small in 0.\r\n      起始地址小于 0。");
const QString BufferStore::kMsgLengthSmall = QStringLiteral("File length too small.\r\n文件长度不能小于 0。");
const QString BufferStore::kMsgLengthBig = QStringLiteral("File length too big.\r\n文件长度太大。");

namespace {
const QString kSaveTitle = QStringLiteral("Save .bin file");
// "(*.bin)|*.bin|All Files (*.*)|*.*" in the form file dialogs take.
const QString kSaveFilter = QStringLiteral("(*.bin) (*.bin);;All Files (*.*) (*)");
} // namespace

BufferStore::BufferStore(ProgramImage& image, SettingsStore* settings, UserDialogs* dialogs)
    : image_(image), settings_(settings), dialogs_(dialogs)
{
}

bool BufferStore::store_enabled(const QString& start_text, const QString& length_text)
{
    return !start_text.isEmpty() && !length_text.isEmpty();
}

bool BufferStore::store_enabled() const
{
    return store_enabled(image_.store_start_text, image_.store_length_text);
}

bool BufferStore::store_file()
{
    const qint64 start = NumberText::last_hex_digits_signed(image_.store_start_text, 4);
    if (start < 0) {
        if (dialogs_)
            dialogs_->message_box(kMsgStartSmall);
        return false;
    }
    const qint64 length = NumberText::last_hex_digits_signed(image_.store_length_text, 5);
    if (length <= 0) {
        if (dialogs_)
            dialogs_->message_box(kMsgLengthSmall);
        return false;
    }
    if (start + length - 1 >= 0x10000) {
        if (dialogs_)
            dialogs_->message_box(kMsgLengthBig);
        return false;
    }
    const QString folder = settings_ ? settings_->file_path() : SettingsStore::program_folder();
    const QString name = dialogs_ ? dialogs_->choose_save_file(kSaveTitle, folder, kSaveFilter) : QString();
    if (name.isEmpty())
        return false;
    return write_range(name, start, length);
}

bool BufferStore::write_range(const QString& path, qint64 start, qint64 length) const
{
    if (start < 0 || length < 0 || start + length > ProgramImage::kSize)
        return false;
    // The old file goes first, so a longer one leaves no tail.
    if (QFile::exists(path))
        QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 written =
        f.write(reinterpret_cast<const char*>(image_.program_buffer.data() + start), length);
    f.close();
    return written == length && f.error() == QFileDevice::NoError;
}
