#include "device/serial_pool.h"

#include "base/number_text.h"
#include "image/serial_number.h"
#include "store/production_store.h"

#include <QEventLoop>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

SerialPool::SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count)
    : first_(NumberText::leading_number(first_text)), step_(NumberText::leading_number(step_text)),
      format_(format), byte_count_(byte_count)
{
}

struct SerialPool::StoreSide {
    StoreOpener open;
    SeriesKey key;
    int tickets = 0;
    std::map<int, SerialLease> leases;
};

SerialPool::SerialPool(StoreOpener open_store, const SeriesKey& key)
    : first_(0), step_(1), format_(int(key.format)), byte_count_(key.bytes),
      store_(new StoreSide{std::move(open_store), key, 0, {}})
{
}

SerialPool::~SerialPool() = default;

int SerialPool::take(const std::atomic<bool>& stop)
{
    QMutexLocker lock(&mutex_);
    while (held_ && !stop)
        free_.wait(&mutex_);
    if (stop)
        return -1;
    held_ = true;
    if (!store_)
        return next_;
    lock.unlock();
    const auto out =
        until_answered<StoreOutcome<SerialLease>>([this](ProductionStore& s) { return s.take(store_->key); }, &stop);
    lock.relock();
    if (!out.ok()) {
        if (out.status != StoreStatus::Unavailable && message)
            message(out.message);
        held_ = false;
        free_.wakeAll();
        return -1;
    }
    const int ticket = store_->tickets++;
    store_->leases[ticket] = out.value;
    return next_ = ticket;
}

bool SerialPool::wait_until_reachable(const std::atomic<bool>& stop)
{
    if (!store_)
        return true;
    const auto out = until_answered<StoreOutcome<SeriesInfo>>(
        [this](ProductionStore& s) { return s.series(store_->key); }, &stop);
    return out.status != StoreStatus::Unavailable;
}

void SerialPool::commit(int index)
{
    finish(index, true);
}

void SerialPool::release(int index)
{
    finish(index, false);
}

void SerialPool::finish(int index, bool keep)
{
    QMutexLocker lock(&mutex_);
    if (!held_ || index != next_)
        return;
    if (store_) {
        const SerialLease lease = store_->leases[index];
        lock.unlock();
        const auto out = until_answered<StoreOutcome<Done>>(
            [&](ProductionStore& s) { return keep ? s.confirm(lease) : s.give_back(lease); }, nullptr);
        if (!out.ok() && message)
            message(out.message);
        lock.relock();
    }
    if (keep) {
        used_ << index;
        if (!store_)
            ++next_;
    }
    held_ = false;
    free_.wakeAll();
}

void SerialPool::wake()
{
    {
        QMutexLocker lock(&mutex_);
        free_.wakeAll();
    }
    QMutexLocker lock(&stores_mutex_);
    for (QEventLoop* loop : std::as_const(waits_))
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

void SerialPool::abandon()
{
    abandoned_ = true;
    wake();
}

ProductionStore* SerialPool::thread_store()
{
    QMutexLocker lock(&stores_mutex_);
    std::unique_ptr<ProductionStore>& store = stores_[QThread::currentThread()];
    if (!store)
        store = store_->open();
    return store.get();
}

void SerialPool::release_thread_store()
{
    std::unique_ptr<ProductionStore> store;
    QMutexLocker lock(&stores_mutex_);
    const auto it = stores_.find(QThread::currentThread());
    if (it == stores_.end())
        return;
    store = std::move(it->second);
    stores_.erase(it);
    lock.unlock();   // closed here, in the thread that opened it
}

template <class Outcome, class F>
Outcome SerialPool::until_answered(F call, const std::atomic<bool>* stop)
{
    bool said = false;
    for (;;) {
        Outcome out = call(*thread_store());
        if (out.status != StoreStatus::Unavailable) {
            if (said && message)
                message(QStringLiteral("The store is back; going on / 数据库已恢复，继续"));
            return out;
        }
        if (!said && message)
            message(out.message + QStringLiteral("\nWaiting for the store; no serial number is taken meanwhile "
                                                 "/ 等待数据库恢复，期间不取序列号"));
        said = true;
        if (!wait_for_store(stop))
            return out;
    }
}

// Waits retry_ms in an event loop; false when the wait was stopped.
bool SerialPool::wait_for_store(const std::atomic<bool>* stop)
{
    QEventLoop loop;
    QTimer::singleShot(retry_ms, &loop, &QEventLoop::quit);
    {
        QMutexLocker lock(&stores_mutex_);
        waits_.insert(&loop);
    }
    if (!abandoned_ && !(stop && *stop))
        loop.exec();
    QMutexLocker lock(&stores_mutex_);
    waits_.remove(&loop);
    return !abandoned_ && !(stop && *stop);
}

QString SerialPool::text(int index) const
{
    if (store_) {
        QMutexLocker lock(&mutex_);
        const auto it = store_->leases.find(index);
        const qint64 number = it == store_->leases.end() ? -1 : it->second.number;
        lock.unlock();
        return number < 0 ? QString() : SerialNumber::padded_next_value(QString::number(number), format_, byte_count_);
    }
    const double value = first_ + double(index) * step_;
    return SerialNumber::padded_next_value(NumberText::decimal_text(value), format_, byte_count_);
}

QString SerialPool::next_text() const
{
    if (store_) {
        auto* self = const_cast<SerialPool*>(this);
        const auto info = self->thread_store()->series(store_->key);
        return info.ok() ? SerialNumber::padded_next_value(QString::number(info.value.next_out()), format_, byte_count_)
                         : QString();
    }
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

QString SerialPool::series_name() const
{
    return store_ ? store_->key.name() : QString();
}
