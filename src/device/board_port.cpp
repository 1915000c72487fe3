#include "device/board_port.h"

BoardPort::BoardPort()
{
    connect(this, &SerialPort::failed, this, [this] { vanished_ = opened_; });
}

int BoardPort::open(const QString& device, const SerialFormat& format)
{
    const int rc = QtSerialPort::open(device, format);
    if (rc == 0)
        opened_ = true;
    else if (opened_ && error_kind() == PortErrorKind::Missing)
        vanished_ = true;
    return rc;
}

QByteArray BoardPort::read(qint64 max)
{
    QByteArray bytes = QtSerialPort::read(max);
    received_ += bytes.size();
    return bytes;
}

bool BoardPort::no_board_answered()
{
    const bool none = received_ == 0;
    received_ = 0;
    return none;
}
