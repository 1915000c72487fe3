#include "device/numbered_board.h"

#include "device/serial_pool.h"
#include "device/workbench.h"
#include "image/serial_number.h"

NumberedBoard::NumberedBoard(Workbench& bench, SerialNumber& serial, SerialPool& pool, const std::atomic<bool>& stop,
                             bool last)
    : bench_(bench), pool_(pool), stop_(stop)
{
    const qint32 high = serial.serial_address;
    const qint32 low = serial.serial_address - serial.serial_length + 1;
    const auto holds_number = [high, low](qint32 address, int length) {
        return address <= high && address + length - 1 >= low;
    };
    if (last) {
        bench.programmer.defer_chunk = holds_number;
        bench.programmer.before_deferred = [this, &serial, &stop] {
            finish(false);
            return take(serial, stop);
        };
    } else {
        bench.programmer.before_chunk = [this, &serial, &stop, holds_number](qint32 address, int length) {
            return taken_ >= 0 || !holds_number(address, length) || take(serial, stop);
        };
    }
}

bool NumberedBoard::take(SerialNumber& serial, const std::atomic<bool>& stop)
{
    taken_ = pool_.take(stop);
    if (taken_ < 0) {
        bench_.stop_run.stop_download();    // stopped while waiting for the number
        return false;
    }
    serial.texts[2] = pool_.text(taken_);
    serial.write_serial_number();
    return true;
}

void NumberedBoard::begin()
{
    pool_.wait_until_reachable(stop_);
}

NumberedBoard::~NumberedBoard()
{
    finish(false);
    bench_.programmer.defer_chunk = nullptr;
    bench_.programmer.before_deferred = nullptr;
    bench_.programmer.before_chunk = nullptr;
}

QString NumberedBoard::finish(bool ok)
{
    if (taken_ < 0)
        return QString();
    const QString text = pool_.text(taken_);
    if (ok)
        pool_.commit(taken_);
    else
        pool_.release(taken_);
    taken_ = -1;
    return text;
}
