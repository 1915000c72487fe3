#include "device/serial_pool.h"

#include "image/number_text.h"
#include "image/serial_number.h"

#include <QMutexLocker>
#include <algorithm>

SerialPool::SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count)
    : first_(NumberText::leading_number(first_text)), step_(NumberText::leading_number(step_text)),
      format_(format), byte_count_(byte_count)
{
}

int SerialPool::take()
{
    QMutexLocker lock(&mutex_);
    if (!released_.isEmpty())
        return released_.takeFirst();
    return fresh_++;
}

void SerialPool::commit(int index)
{
    QMutexLocker lock(&mutex_);
    if (!used_.contains(index))
        used_ << index;
}

void SerialPool::release(int index)
{
    QMutexLocker lock(&mutex_);
    if (used_.contains(index) || released_.contains(index))
        return;
    released_.insert(std::lower_bound(released_.begin(), released_.end(), index), index);
}

QString SerialPool::text(int index) const
{
    const double value = first_ + double(index) * step_;
    return SerialNumber::padded_next_value(NumberText::decimal_text(value), format_, byte_count_);
}

QString SerialPool::next_text() const
{
    QMutexLocker lock(&mutex_);
    const int highest = used_.isEmpty() ? -1 : *std::max_element(used_.begin(), used_.end());
    lock.unlock();
    return text(highest + 1);
}

QList<int> SerialPool::used() const
{
    QMutexLocker lock(&mutex_);
    return used_;
}

QList<int> SerialPool::unused_released() const
{
    QMutexLocker lock(&mutex_);
    return released_;
}
