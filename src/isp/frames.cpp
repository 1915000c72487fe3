#include "isp/frames.h"

namespace Frames {

namespace {

int clamp_end(const QByteArray& bytes, int to)
{
    if (to < 0 || to > bytes.size())
        return int(bytes.size());
    return to;
}

} // namespace

quint8 sum8(const QByteArray& bytes, int from, int to)
{
    to = clamp_end(bytes, to);
    unsigned sum = 0;
    for (int i = qMax(0, from); i < to; ++i)
        sum += quint8(bytes[i]);
    return quint8(sum & 0xFF);
}

quint32 sum_plain(const QByteArray& bytes, int from, int to)
{
    to = clamp_end(bytes, to);
    quint32 sum = 0;
    for (int i = qMax(0, from); i < to; ++i)
        sum += quint8(bytes[i]);
    return sum;
}

QByteArray command_frame(quint8 code, const QByteArray& data, bool with_prefix)
{
    const int length = 6 + int(data.size());
    QByteArray frame;
    frame.reserve(length + 2);
    frame.append(char(kCommandStart));
    frame.append(char((length >> 8) & 0xFF));
    frame.append(char(length & 0xFF));
    frame.append(char(code));
    frame.append(data);
    frame.append(char(sum8(frame)));
    frame.append(char(kEnd));
    if (with_prefix)
        frame.prepend(QByteArray::fromRawData("\x46\xB9", 2));
    return frame;
}

QByteArray reply_frame(const QByteArray& contents)
{
    const int length = 5 + int(contents.size());
    QByteArray frame;
    frame.reserve(length);
    frame.append(char(kReplyStart));
    frame.append(char((length >> 8) & 0xFF));
    frame.append(char(length & 0xFF));
    frame.append(contents);
    frame.append(char(sum8(frame)));
    frame.append(char(kEnd));
    return frame;
}

QByteArray custom_frame(quint8 code, const QByteArray& data)
{
    const int length = 8 + int(data.size());
    QByteArray frame;
    frame.reserve(length);
    frame.append(char(kCustomStart0));
    frame.append(char(kCustomStart1));
    frame.append(char((length >> 8) & 0xFF));
    frame.append(char(length & 0xFF));
    frame.append(char(code));
    frame.append(data);
    const quint32 sum = sum_plain(frame);
    frame.append(char((sum >> 8) & 0xFF));
    frame.append(char(sum & 0xFF));
    frame.append(char(kEnd));
    return frame;
}

QByteArray program_header(quint32 address, quint16 count)
{
    QByteArray h(6, '\0');
    h[0] = char((address >> 24) & 0xFF);
    h[1] = char((address >> 16) & 0xFF);
    h[2] = char((address >> 8) & 0xFF);
    h[3] = char(address & 0xFF);
    h[4] = char((count >> 8) & 0xFF);
    h[5] = char(count & 0xFF);
    return h;
}

} // namespace Frames
