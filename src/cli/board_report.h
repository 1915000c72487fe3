#pragma once
// What a download keeps of every board: --report FILE (one JSON line or CSV row per board, written
// and flushed as each board ends), the record in the production store, and the serial numbers
// from a series of that store (--serial, --store, --product, --serial-restart, --station).

#include "store/board_record.h"

#include <QCommandLineOption>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class ProductionStore;
class QCommandLineParser;
class SerialNumber;
class SerialPool;
struct SeriesKey;

class BoardReport : public QObject {
    Q_OBJECT
public:
    explicit BoardReport(const char* command);
    ~BoardReport() override;

    static QList<QCommandLineOption> options();
    // Reads the options; false with a usage error in `error`.
    bool configure(const QCommandLineParser& parser, QString& error);
    // With the serial number set up in `serial`: its series in the store, created on first use;
    // running again continues from the stored number when that is ahead of NEXT (said on stderr),
    // --serial-restart starts over at NEXT. 0, or the exit status after saying why.
    int prepare_series(const SerialNumber& serial);
    // The counter over that series (null without --serial).
    std::unique_ptr<SerialPool> make_pool();
    // Ctrl-C: the waits for the store end.
    void interrupt();

    // One board done: its line in --report and its record in the store.
    void add(const BoardRecord& record);
    // Records the store could not take yet are tried again until it does (or Ctrl-C).
    void store_pending();
    // "serial number 0042" for the verdict lines ("" when the board carries none).
    static QString number_words(const QString& number);

signals:
    void interrupted();

private:
    bool store_records();
    void say(const QString& text) const;

    const char* const command_;
    QString report_path_;
    bool csv_ = false;
    QString store_location_;
    QString product_;
    QString station_;
    bool restart_ = false;
    bool wait_for_store_ = false;     // the store was asked for: its records are worth a wait
    std::unique_ptr<ProductionStore> store_;          // this thread's connection, for the records
    std::unique_ptr<SeriesKey> key_;
    std::vector<BoardRecord> pending_;                // not yet in the store
    bool said_pending_ = false;
    std::atomic<bool> interrupted_{false};
};
