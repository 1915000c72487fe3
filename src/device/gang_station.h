#pragma once
// One port of a gang run: a whole tool instance (port, workbench, image tools) on a thread of its
// own, doing Download or Re-Download with the shared serial-number counter. Each port's waits run
// in that thread's own event loop, so a port that waits for its board never holds up another.
// Everything it reports goes out as signals; receivers in other threads get them queued.

#include "device/job.h"
#include "store/board_record.h"

#include <QMutex>
#include <QPointer>
#include <QThread>

#include <atomic>

class DownloadRunner;
class SerialPool;

class GangStation : public QThread {
    Q_OBJECT
public:
    // `pool` may be null (no serial number); it must outlive the station.
    GangStation(int index, const QString& device, const Job& job, SerialPool* pool, bool repeat,
                QObject* parent = nullptr);
    ~GangStation() override;

    // The Stop button for this port; safe from any thread, also before the run got going.
    void request_stop();

    const int index;
    const QString device;

signals:
    void line(int index, const QString& text);                   // a new line of the port's log
    void progress(int index, int percent, const QString& kbyte); // -1: the bar is hidden
    void message(int index, const QString& text);                // a message box's text
    void beeped(int index);
    // After every board: the success lines reached or not, and the serial number it carries.
    void board_finished(int index, bool ok, const QString& serial_text);
    // Every board's production record, right before its board_finished.
    void board_record(int index, const BoardRecord& record);
    // The port's device went away while it waited for a board (an unplugged adapter).
    void board_removed(int index);

protected:
    void run() override;

private:
    const Job job_;
    SerialPool* const pool_;
    const bool repeat_;
    std::atomic<bool> stop_{false};
    QMutex mutex_;
    QPointer<DownloadRunner> runner_;   // lives in the station's thread while it runs
};
