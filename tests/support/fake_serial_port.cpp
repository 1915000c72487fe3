#include "support/fake_serial_port.h"

#include <QTimer>
#include <memory>

int FakeSerialPort::open(const QString& device, const SerialFormat& format)
{
    ++open_calls;
    if (open_error > 0) {
        error_string_ = open_error_text.isEmpty() ? QStringLiteral("Cannot open %1: no such device").arg(device)
                                                  : open_error_text;
        return open_error;
    }
    if (open_refused)
        return 0;
    opened_device = device;
    format_ = format;
    open_ = true;
    error_string_.clear();
    return 0;
}

void FakeSerialPort::close()
{
    if (!open_)
        return;
    ++close_calls;
    open_ = false;
}

bool FakeSerialPort::set_format(const SerialFormat& format)
{
    if (open_ && refuse_formats)
        return false;
    format_ = format;
    return true;
}

QByteArray FakeSerialPort::read(qint64 max)
{
    if (!open_)
        return {};
    const qint64 n = (max <= 0 || max > rx_.size()) ? rx_.size() : max;
    QByteArray out = rx_.left(n);
    rx_.remove(0, n);
    return out;
}

void FakeSerialPort::write(const QByteArray& bytes)
{
    if (!open_)
        return;
    writes.append({bytes, format_});
    if (responder) {
        const QByteArray answer = responder(*this, bytes);
        if (!answer.isEmpty())
            feed_later(answer, reply_delay_ms);
    }
}

void FakeSerialPort::feed(const QByteArray& bytes, bool notify)
{
    if (!open_)
        return;
    rx_.append(bytes);
    if (notify)
        emit ready_read();
}

void FakeSerialPort::feed_later(const QByteArray& bytes, int ms)
{
    QTimer::singleShot(ms, this, [this, bytes] { feed(bytes); });
}

void FakeSerialPort::vanish(const QString& reason)
{
    open_ = false;
    rx_.clear();
    error_string_ = reason;
    emit failed(reason);
}

QByteArray FakeSerialPort::written() const
{
    QByteArray all;
    for (const Write& w : writes)
        all += w.bytes;
    return all;
}

FakeSerialPort::Responder FakeSerialPort::frame_responder(std::function<QByteArray(const QByteArray&)> answer,
                                                          std::function<QByteArray(quint8)> on_loose_byte)
{
    struct State {
        QByteArray frame;
        int prefix = 0;   // 46 B9 progress
    };
    auto st = std::make_shared<State>();
    return [st, answer, on_loose_byte](FakeSerialPort&, const QByteArray& bytes) {
        QByteArray out;
        for (char ch : bytes) {
            const quint8 b = quint8(ch);
            QByteArray& f = st->frame;
            if (f.isEmpty()) {
                if (b == 0x6A || b == 0x5A) {
                    f.append(ch);
                    st->prefix = 0;
                } else if (b == 0x46 && st->prefix == 0) {
                    st->prefix = 1;
                } else if (b == 0xB9 && st->prefix == 1) {
                    st->prefix = 2;
                } else {
                    st->prefix = 0;
                    if (on_loose_byte)
                        out += on_loose_byte(b);
                }
                continue;
            }
            f.append(ch);
            const bool custom = quint8(f[0]) == 0x5A;
            if (custom && f.size() == 2 && b != 0xA5) {
                f.clear();
                continue;
            }
            const int len_at = custom ? 2 : 1;
            if (f.size() < len_at + 2)
                continue;
            const int len = quint8(f[len_at]) * 256 + quint8(f[len_at + 1]);
            if (len < len_at + 4 || len > 4096) {
                f.clear();
                continue;
            }
            if (f.size() >= len) {
                const QByteArray complete = f;
                f.clear();
                out += answer(complete);
            }
        }
        return out;
    };
}
