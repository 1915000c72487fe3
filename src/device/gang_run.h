#pragma once
// Gang programming: one board per port at the same time, every port with its own handshake, baud,
// erase, programming, options and serial number from one shared counter. Keeps a row of state per
// port for whoever shows it (the CLI's progress lines, the window's Gang page) and the figures for
// the summary. Lives in the caller's thread; the ports run on threads of their own.

#include "device/job.h"
#include "store/board_record.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class GangStation;
class SerialPool;

class GangRun : public QObject {
    Q_OBJECT
public:
    struct Row {
        QString device;
        QString state;              // "waiting", "programming", "OK", "failed", "stopped", "board removed"
        int percent = -1;           // -1 while the bar is hidden
        QString kbyte;
        QString last_line;          // the last non-empty line of the port's log
        int boards_ok = 0;
        int boards_failed = 0;
        bool last_ok = false;
        bool running = false;
        QStringList serials;        // numbers of the boards that succeeded
    };

    // `devices`: the ports (device paths), at least one, no port twice.
    GangRun(const Job& job, const QStringList& devices, bool repeat, QObject* parent = nullptr);
    // The serial numbers from `pool` (e.g. a store's series) instead of the job's value boxes.
    GangRun(const Job& job, const QStringList& devices, bool repeat, std::unique_ptr<SerialPool> pool,
            QObject* parent = nullptr);
    ~GangRun() override;

    void start();
    // Stop on every port (the window's Stop, Ctrl-C).
    void stop_all();
    // Stop on one port (it has done its share of boards); the others go on.
    void stop(int index);
    bool running() const;
    // Runs the event loop until every port has ended.
    void wait_finished();

    const std::vector<Row>& rows() const { return rows_; }
    // True when every port's last board succeeded.
    bool all_last_ok() const;
    // Null when the serial number is not in use.
    const SerialPool* serial_pool() const { return pool_.get(); }
    // The summary: a line per port, then the serial numbers; in English as the CLI prints it, or
    // with the Chinese words beside the English ones for the window.
    QStringList summary(bool bilingual = false) const;

signals:
    void line(int index, const QString& text);
    void row_changed(int index);
    // After every board on a port (its row already counts it).
    void board_finished(int index, bool ok);
    // Every board's production record (before its board_finished).
    void board_record(int index, const BoardRecord& record);
    void message(int index, const QString& text);
    void beep();
    void finished();

private:
    void on_line(int index, const QString& text);
    void on_progress(int index, int percent, const QString& kbyte);
    void on_board(int index, bool ok, const QString& serial_text);
    void on_board_removed(int index);
    void on_station_finished(int index);

    std::unique_ptr<SerialPool> pool_;
    std::vector<Row> rows_;
    std::vector<std::unique_ptr<GangStation>> stations_;
    bool stopping_ = false;
    int active_ = 0;
};
