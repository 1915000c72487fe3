#pragma once
// The serial-number counter several boards share when they are programmed at the same time. A
// board takes a number when its programming reaches the number's bytes; the number is used when
// the board succeeds and handed back when it fails, and the next board takes the lowest number
// handed back before a fresh one. So the boards that succeed carry distinct numbers, none skipped
// unless a board fails after taking one and no board comes after it. Safe to call from any thread.

#include <QList>
#include <QMutex>
#include <QString>

class SerialPool {
public:
    // `first_text`: the next-value box; `step_text`: the step box; `format` and `byte_count` as
    // the serial-number fields have them (the padding of the value text).
    SerialPool(const QString& first_text, const QString& step_text, int format, int byte_count);

    // Takes a number: the lowest one handed back, else the next fresh one. Returns its index.
    int take();
    void commit(int index);     // the board with this number succeeded
    void release(int index);    // the board failed: the number goes back

    // The value text of a number, as the next-value box would show it.
    QString text(int index) const;
    // The next-value box after the run: one past the highest number used (the first number when
    // none was used).
    QString next_text() const;
    // Numbers used (in the order the boards succeeded) and numbers handed back and not used again.
    QList<int> used() const;
    QList<int> unused_released() const;

private:
    const double first_;
    const double step_;
    const int format_;
    const int byte_count_;
    mutable QMutex mutex_;
    int fresh_ = 0;             // index of the next fresh number
    QList<int> released_;       // sorted ascending
    QList<int> used_;
};
