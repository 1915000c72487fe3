#pragma once
// The serial-number counter several boards share when they are programmed at the same time. One
// number is out at a time: a board takes the next number right before it sends the number's
// bytes, and until that board is done (the number used when it succeeds, handed back when it
// fails) every other board that wants a number waits. A number handed back is the next board's.
// So the boards that succeed carry the first number, first + step, and so on, with none skipped
// and none twice, however boards fail. Safe to call from any thread.

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>

class SerialPool {
public:
    // `first_text`: the next-value box; `step_text`: the step box; `format` and `byte_count` as
    // the serial-number fields have them (the padding of the value text).
    SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count);

    // Waits until no other board holds a number, then takes the next one and returns its index;
    // -1, at once, when `stop` is set (wake() ends the wait of a board whose stop was set).
    int take(const std::atomic<bool>& stop);
    void commit(int index);     // the board with this number succeeded: the counter moves on
    void release(int index);    // the board failed: the number is the next board's
    void wake();                // a board's stop was set: its take() gives up

    // The value text of a number, as the next-value box would show it.
    QString text(int index) const;
    // The next-value box after the run: the number after the last one used (the first number
    // when none was used).
    QString next_text() const;
    // Numbers used, in order.
    QList<int> used() const;

private:
    const double first_;
    const double step_;
    const int format_;
    const int byte_count_;
    mutable QMutex mutex_;
    QWaitCondition free_;
    int next_ = 0;              // index of the next number
    bool held_ = false;         // a board holds number next_
    QList<int> used_;
};
