#pragma once
// The serial-number counter the boards of a run share. One number is out at a time in this
// process: a board takes the next number right before it sends the number's bytes, and until that
// board is done (the number used when it succeeds, handed back when it fails) every other board
// that wants a number waits. A number handed back is the next board's. So the boards that succeed
// carry the first number, first + step, and so on, with none skipped and none twice, however
// boards fail. Safe to call from any thread.
//
// The numbers come either from the pool itself (first and step as the value boxes give them) or
// from a series of the production store, shared with other processes and stations: each call then
// goes to the store (one connection per calling thread), and while the store cannot be reached
// the call waits and tries again (saying so once), so no number is ever invented here.

#include <QList>
#include <QSet>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <map>
#include <memory>

class ProductionStore;
class QEventLoop;
class QThread;
struct SeriesKey;

class SerialPool {
public:
    // `first_text`: the next-value box; `step_text`: the step box; `format` and `byte_count` as
    // the serial-number fields have them (the padding of the value text).
    SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count);
    // Numbers from the store's series `key`; `open_store` opens a connection for a thread.
    using StoreOpener = std::function<std::unique_ptr<ProductionStore>()>;
    SerialPool(StoreOpener open_store, const SeriesKey& key);
    ~SerialPool();

    // Waits until no other board holds a number, then takes the next one and returns its index;
    // -1, at once, when `stop` is set (wake() ends the wait of a board whose stop was set), or
    // when the store refuses for good (exhausted or unknown series; message() says why).
    int take(const std::atomic<bool>& stop);
    void commit(int index);     // the board with this number succeeded: the counter moves on
    void release(int index);    // the board failed: the number is the next board's
    void wake();                // a board's stop was set: its take() gives up
    // Before a board starts: waits while the store cannot be reached (false when `stop` ended
    // the wait), so a batch pauses between boards rather than in the middle of one.
    bool wait_until_reachable(const std::atomic<bool>& stop);

    // The value text of a number, as the next-value box would show it.
    QString text(int index) const;
    // The next-value box after the run: the number after the last one used (the first number
    // when none was used; with a store, the series' next number).
    QString next_text() const;
    // Numbers used, in order.
    QList<int> used() const;

    // The store's series name ("" without a store).
    QString series_name() const;
    // Says why a store call waits or failed (called from the calling thread); default: nothing.
    std::function<void(const QString&)> message;
    // Pause between two tries while the store cannot be reached.
    int retry_ms = 2000;
    // A station's thread is done with the store: its connection is closed (in that thread).
    void release_thread_store();
    // Stops every wait for the store (the run is being stopped); commit/release then give up.
    void abandon();

private:
    ProductionStore* thread_store();
    // Runs a store call until it is answered (Ok or a final status) or the wait is abandoned.
    template <class Outcome, class F>
    Outcome until_answered(F call, const std::atomic<bool>* stop);
    bool wait_for_store(const std::atomic<bool>* stop);
    void finish(int index, bool keep);

    const double first_;
    const double step_;
    const int format_;
    const int byte_count_;
    mutable QMutex mutex_;
    QWaitCondition free_;
    int next_ = 0;              // index of the next number
    bool held_ = false;         // a board holds number next_
    QList<int> used_;

    // With a store: every number taken gets the next index; its lease by index.
    struct StoreSide;
    std::unique_ptr<StoreSide> store_;
    QMutex stores_mutex_;
    std::map<QThread*, std::unique_ptr<ProductionStore>> stores_;
    QSet<QEventLoop*> waits_;
    std::atomic<bool> abandoned_{false};
};
