#include "image/program_file.h"

#include "base/number_text.h"
#include "models/model_catalogue.h"

#include <QFile>
#include <QFileInfo>

namespace {

int hex_digit(char c)
{
    return NumberText::hex_digit(QLatin1Char(c));
}

// An address as the window shows them, "0F00h".
QString hex(qint64 value, int digits = 4)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper() + QLatin1Char('h');
}

// A byte as a record holds it, "0F".
QString byte_text(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString bilingual(const QString& english, const QString& chinese)
{
    return english + QStringLiteral(" / ") + chinese;
}

// Text rather than a program image: it has line ends, no control byte a text editor would not
// write, and at least three quarters of it is printable ASCII (the rest may be UTF-8 or GBK).
bool plainly_text(const QByteArray& bytes)
{
    if (!bytes.contains('\n') && !bytes.contains('\r'))
        return false;
    qint64 printable = 0;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\t' || u == '\n' || u == '\r' || (u >= 0x20 && u < 0x7F))
            ++printable;
        else if (u < 0x20 && u != '\f' && u != '\v' && u != 0x1A)
            return false;
        else if (u == 0x7F)
            return false;
    }
    return printable * 4 >= qint64(bytes.size()) * 3;
}

QString beyond_flash(qint64 address, const FlashLimits& limits)
{
    const QString range = hex(0) + QStringLiteral("–") + hex(limits.ap_end);
    return bilingual(QStringLiteral("data at %1 lie beyond the application flash of %2 (%3)")
                         .arg(hex(address), limits.model, range),
                     QStringLiteral("数据地址 %1 超出 %2 的程序区 (%3)").arg(hex(address), limits.model, range));
}

std::optional<FileDiagnostic> check_hex(const QByteArray& bytes, const QString& name, const FlashLimits& limits)
{
    TextLines lines(bytes);
    const char* line = nullptr;
    int length = 0;
    qint64 base = 0;      // from the last address record
    int base_line = 0;    // its line
    auto refuse = [&](const QString& reason) { return FileDiagnostic{name, lines.number(), reason}; };
    auto malformed = [&](const QString& english, const QString& chinese) {
        return refuse(bilingual(QStringLiteral("malformed record: ") + english, QStringLiteral("记录格式错误：") + chinese));
    };
    while (lines.next(line, length)) {
        if (length < 1 || line[0] != ':')
            return refuse(FileReason::no_colon());
        for (int i = 1; i < length; ++i)
            if (hex_digit(line[i]) < 0) {
                const auto u = static_cast<unsigned char>(line[i]);
                const QString c = u > 0x20 && u < 0x7F ? QString(QLatin1Char(line[i])) : QStringLiteral("\\x") + byte_text(u);
                return malformed(QStringLiteral("'%1' in column %2 is not a hexadecimal digit").arg(c).arg(i + 1),
                                 QStringLiteral("第 %1 列的 '%2' 不是十六进制数字").arg(i + 1).arg(c));
            }
        if ((length - 1) % 2 != 0)
            return malformed(QStringLiteral("an odd number of hexadecimal digits"), QStringLiteral("十六进制数字的个数是奇数"));
        const int count = (length - 1) / 2;
        if (count < 5)
            return malformed(QStringLiteral("too short for a record"), QStringLiteral("太短，不是一个记录"));
        QByteArray b(count, '\0');
        int sum = 0;
        for (int i = 0; i < count; ++i) {
            b[i] = char(hex_digit(line[1 + 2 * i]) * 16 + hex_digit(line[2 + 2 * i]));
            if (i < count - 1)
                sum += quint8(b[i]);
        }
        const int n = count - 5;
        if (quint8(b[0]) != n)
            return malformed(QStringLiteral("the count byte says %1 data bytes, the line holds %2").arg(quint8(b[0])).arg(n),
                             QStringLiteral("长度字节为 %1，该行实有 %2 个数据字节").arg(quint8(b[0])).arg(n));
        if (n > kMaxRecordData)
            return refuse(FileReason::record_too_long(n));
        const int want = (256 - (sum & 0xFF)) & 0xFF;
        if (quint8(b[count - 1]) != want) {
            const QString got = byte_text(quint8(b[count - 1]));
            const QString need = byte_text(want);
            return refuse(bilingual(QStringLiteral("bad checksum %1, the record needs %2").arg(got, need),
                                    QStringLiteral("校验和错误：为 %1，应为 %2").arg(got, need)));
        }
        const int type = quint8(b[3]);
        switch (type) {
        case 0x00: {
            if (n == 0)
                break;
            const qint64 last = base + quint8(b[1]) * 256 + quint8(b[2]) + n - 1;
            if (last > 0xFFFF) {
                if (base_line > 0)
                    return refuse(bilingual(
                        QStringLiteral("data at %1: the address record on line %2 moves them beyond 64 KB")
                            .arg(hex(last, 5)).arg(base_line),
                        QStringLiteral("数据地址 %1：第 %2 行的地址记录把数据移到 64 KB 以外").arg(hex(last, 5)).arg(base_line)));
                return refuse(bilingual(QStringLiteral("data at %1 run past 64 KB").arg(hex(last, 5)),
                                        QStringLiteral("数据地址 %1 超出 64 KB").arg(hex(last, 5))));
            }
            if (last + limits.buffer_start > limits.ap_end)
                return refuse(beyond_flash(last + limits.buffer_start, limits));
            break;
        }
        case 0x01:
            return std::nullopt;
        case 0x02:
        case 0x04:
            if (n != 2)
                return malformed(QStringLiteral("an address record of type %1 holds 2 data bytes").arg(byte_text(type)),
                                 QStringLiteral("类型 %1 的地址记录应有 2 个数据字节").arg(byte_text(type)));
            base = qint64(quint8(b[4]) * 256 + quint8(b[5])) << (type == 0x02 ? 4 : 16);
            base_line = lines.number();
            break;
        case 0x03:
        case 0x05:
            break;   // start addresses mean nothing to the boot loader
        default:
            return refuse(bilingual(QStringLiteral("unknown record type %1").arg(byte_text(type)),
                                    QStringLiteral("未知的记录类型 %1").arg(byte_text(type))));
        }
    }
    return FileDiagnostic{name, lines.number(),
                          bilingual(QStringLiteral("the file ends without an end record (type 01)"),
                                    QStringLiteral("文件缺少结束记录 (类型 01)"))};
}

std::optional<FileDiagnostic> check_binary(const QByteArray& bytes, const QString& name, const FlashLimits& limits)
{
    if (plainly_text(bytes)) {
        if (bytes.startsWith(':')) {
            // HEX text with a line that is no record: read as binary, the text itself would be programmed.
            TextLines lines(bytes);
            const char* line = nullptr;
            int length = 0;
            while (lines.next(line, length) && length > 0 && line[0] == ':') {
            }
            return FileDiagnostic{name, lines.number(), FileReason::no_colon()};
        }
        return FileDiagnostic{name, 0,
                              bilingual(QStringLiteral("this is text, not a program (a HEX file's lines begin with ':')"),
                                        QStringLiteral("这是文本文件，不是程序 (HEX 文件的每行以 ':' 开头)"))};
    }
    const qint64 last = limits.buffer_start + bytes.size() - 1;
    if (last > limits.ap_end) {
        const QString range = hex(0) + QStringLiteral("–") + hex(limits.ap_end);
        return FileDiagnostic{
            name, 0,
            bilingual(QStringLiteral("a binary of %1 bytes at %2 does not fit the application flash of %3 (%4)")
                          .arg(bytes.size())
                          .arg(hex(limits.buffer_start), limits.model, range),
                      QStringLiteral("%1 字节的二进制文件放在 %2 超出 %3 的程序区 (%4)")
                          .arg(bytes.size())
                          .arg(hex(limits.buffer_start), limits.model, range))};
    }
    return std::nullopt;
}

} // namespace

QString FileReason::no_colon()
{
    return bilingual(QStringLiteral("the line does not begin with ':'"), QStringLiteral("该行不以 ':' 开头"));
}

QString FileReason::record_too_long(int data_bytes)
{
    return bilingual(QStringLiteral("a record of %1 data bytes; one holds at most %2")
                         .arg(data_bytes)
                         .arg(kMaxRecordData),
                     QStringLiteral("记录有 %1 个数据字节，最多 %2 个").arg(data_bytes).arg(kMaxRecordData));
}

QString FileReason::unreadable()
{
    return bilingual(QStringLiteral("cannot be read"), QStringLiteral("无法读取"));
}

QString FileDiagnostic::text() const
{
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason)
                    : QStringLiteral("%1: %2").arg(file, reason);
}

bool TextLines::next(const char*& line, int& length)
{
    if (p_ >= end_)
        return false;
    line = p_;
    const char* q = p_;
    while (q < end_ && *q != '\r' && *q != '\n')
        ++q;
    length = static_cast<int>(q - p_);
    if (q < end_) {
        const char partner = *q == '\r' ? '\n' : '\r';
        ++q;
        if (q < end_ && *q == partner)
            ++q;
    }
    p_ = q;
    ++number_;
    return true;
}

bool is_hex_text(const QByteArray& bytes)
{
    TextLines lines(bytes);
    const char* line = nullptr;
    int length = 0;
    for (int i = 0; i < 3 && lines.next(line, length); ++i)
        if (length < 1 || line[0] != ':')
            return false;
    return true;
}

std::optional<QByteArray> read_program_file(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = f.read(kMaxProgramFileSize + 1);
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

FlashLimits FlashLimits::of(const SelectedModel& model, qint64 buffer_start)
{
    return FlashLimits{model.combo_text, model.ap_end, buffer_start};
}

std::optional<FileDiagnostic> check_program_bytes(const QByteArray& bytes, const QString& name, const FlashLimits& limits)
{
    if (bytes.isEmpty())
        return FileDiagnostic{name, 0, bilingual(QStringLiteral("the file is empty"), QStringLiteral("文件是空的"))};
    return is_hex_text(bytes) ? check_hex(bytes, name, limits) : check_binary(bytes, name, limits);
}

std::optional<FileDiagnostic> check_program_file(const QString& path, const FlashLimits& limits)
{
    const QFileInfo info(path);
    if (info.isDir())
        return FileDiagnostic{path, 0, bilingual(QStringLiteral("a folder, not a file"), QStringLiteral("这是文件夹，不是文件"))};
    if (!info.exists())
        return FileDiagnostic{path, 0, bilingual(QStringLiteral("no such file"), QStringLiteral("文件不存在"))};
    if (info.size() > kMaxProgramFileSize)
        return FileDiagnostic{path, 0,
                              bilingual(QStringLiteral("%1 bytes, far more than any program").arg(info.size()),
                                        QStringLiteral("%1 字节，远大于任何程序").arg(info.size()))};
    const std::optional<QByteArray> bytes = read_program_file(path);
    if (!bytes)
        return FileDiagnostic{path, 0, FileReason::unreadable()};
    return check_program_bytes(*bytes, path, limits);
}
