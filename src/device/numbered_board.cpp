#include "device/numbered_board.h"

#include "device/serial_pool.h"
#include "device/workbench.h"
#include "image/serial_number.h"

NumberedBoard::NumberedBoard(Workbench& bench, SerialNumber& serial, SerialPool& pool, const std::atomic<bool>& stop)
    : bench_(bench), pool_(pool)
{
    const qint32 last = serial.serial_address;
    const qint32 first = serial.serial_address - serial.serial_length + 1;
    bench.programmer.defer_chunk = [last, first](qint32 address, int length) {
        return address <= last && address + length - 1 >= first;
    };
    bench.programmer.before_deferred = [this, &serial, &stop] {
        finish(false);
        taken_ = pool_.take(stop);
        if (taken_ < 0) {
            bench_.stop_run.comStop_Download_Click();    // stopped while waiting for the number
            return false;
        }
        serial.texts[2] = pool_.text(taken_);
        serial.write_serial_number();
        return true;
    };
}

NumberedBoard::~NumberedBoard()
{
    finish(false);
    bench_.programmer.defer_chunk = nullptr;
    bench_.programmer.before_deferred = nullptr;
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
