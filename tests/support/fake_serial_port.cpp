#include "support/fake_serial_port.h"

int FakeSerialPort::open(const QString& device, const SerialFormat& format)
{
    ++open_calls;
    if (open_error > 0) {
        error_string_ = open_error_text.isEmpty() ? QStringLiteral("Cannot open %1: no such device").arg(device)
                                                  : open_error_text;
        return open_error;
    }
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
    if (open_)
        writes.append({bytes, format_});
}

void FakeSerialPort::feed(const QByteArray& bytes, bool notify)
{
    if (!open_)
        return;
    rx_.append(bytes);
    if (notify)
        emit ready_read();
}
