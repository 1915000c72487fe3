#include "device/serial_pool.h"

#include "base/number_text.h"
#include "image/serial_number.h"

#include <QMutexLocker>

SerialPool::SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count)
    : first_(NumberText::leading_number(first_text)), step_(NumberText::leading_number(step_text)),
      format_(format), byte_count_(byte_count)
{
}

int SerialPool::take(const std::atomic<bool>& stop)
{
    QMutexLocker lock(&mutex_);
    while (held_ && !stop)
        free_.wait(&mutex_);
    if (stop)
        return -1;
    held_ = true;
    return next_;
}

void SerialPool::commit(int index)
{
    QMutexLocker lock(&mutex_);
    if (!held_ || index != next_)
        return;
    used_ << index;
    ++next_;
    held_ = false;
    free_.wakeAll();
}

void SerialPool::release(int index)
{
    QMutexLocker lock(&mutex_);
    if (!held_ || index != next_)
        return;
    held_ = false;
    free_.wakeAll();
}

void SerialPool::wake()
{
    QMutexLocker lock(&mutex_);
    free_.wakeAll();
}

QString SerialPool::text(int index) const
{
    const double value = first_ + double(index) * step_;
    return SerialNumber::padded_next_value(NumberText::decimal_text(value), format_, byte_count_);
}

QString SerialPool::next_text() const
{
    QMutexLocker lock(&mutex_);
    const int next = next_;
    lock.unlock();
    return text(next);
}

QList<int> SerialPool::used() const
{
    QMutexLocker lock(&mutex_);
    return used_;
}
