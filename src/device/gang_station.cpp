#include "device/gang_station.h"

#include "device/board_port.h"
#include "device/board_recorder.h"
#include "device/numbered_board.h"
#include "device/serial_pool.h"
#include "device/workbench.h"
#include "image/serial_number.h"
#include "base/log_follower.h"
#include "base/user_dialogs.h"

#include <QFileInfo>
#include <QMutexLocker>

#include <optional>

namespace {

// The station's answers to the core's questions: nobody sits at a gang port, so beeps and
// message boxes are passed on and every question is answered No.
class StationDialogs : public UserDialogs {
public:
    explicit StationDialogs(GangStation& station) : station_(station) {}
    void beep() override { emit station_.beeped(station_.index); }
    void message_box(const QString& text, const QString&, Icon) override { emit station_.message(station_.index, text); }
    bool ask_yes_no(const QString&, const QString&) override { return false; }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return {}; }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return {}; }

private:
    GangStation& station_;
};

} // namespace

GangStation::GangStation(int index, const QString& device, const Job& job, SerialPool* pool, bool repeat,
                         QObject* parent)
    : QThread(parent), index(index), device(device), job_(job), pool_(pool), repeat_(repeat)
{
}

GangStation::~GangStation()
{
    request_stop();
    wait();
}

void GangStation::request_stop()
{
    stop_ = true;
    if (pool_)
        pool_->wake();
    QMutexLocker lock(&mutex_);
    if (runner_)
        QMetaObject::invokeMethod(runner_, "stop", Qt::QueuedConnection);
}

void GangStation::run()
{
    StationDialogs dialogs(*this);
    BoardPort port;
    Workbench bench(&port, &dialogs);
    SerialNumber serial(bench.image, bench.model, nullptr, &dialogs);
    job_.apply(bench, serial);
    bench.link.set_port_device(device);
    DownloadRunner& runner = bench.runner;

    LogFollower follower(bench.log);
    connect(&follower, &LogFollower::line, &follower, [this](const QString& text) { emit line(index, text); },
            Qt::DirectConnection);
    connect(&runner, &DownloadRunner::progress_changed, &runner, [this, &bench] {
        const Progress& p = bench.work.progress();
        int percent = -1;
        if (p.visible && p.maximum > p.minimum)
            percent = int(qBound(0.0, double(p.value - p.minimum) * 100.0 / double(p.maximum - p.minimum), 100.0));
        emit progress(index, percent, p.kbyte_text);
    }, Qt::DirectConnection);

    const bool numbered = pool_ && job_.serial_enabled && serial.serial_active;
    std::optional<NumberedBoard> number;
    if (numbered)
        runner.set_numbers(&number.emplace(bench, serial, *pool_, stop_, true));
    runner.set_board_port(&port);
    BoardRecorder recorder(bench);
    recorder.port = device;
    recorder.image_name = QFileInfo(job_.file_path).fileName();
    recorder.image_sha256 = BoardRecorder::file_sha256(job_.file_path);
    connect(&runner, &DownloadRunner::board_started, &recorder, &BoardRecorder::begin, Qt::DirectConnection);
    connect(&runner, &DownloadRunner::board_finished, &runner, [&](const BoardResult& board) {
        // The adapter unplugged while waiting for a board: no board either.
        const bool removed = !board.ok() && port.vanished() && !board.board_answered;
        if (removed) {
            emit board_removed(index);
        } else if (board.outcome != BoardResult::Outcome::NoBoard) {
            const RecordResult result = board.ok() ? RecordResult::Ok : stop_ ? RecordResult::Interrupted : RecordResult::Failed;
            emit board_record(index, recorder.finish(result, board.serial_number, pool_ ? pool_->series_name() : QString()));
            emit board_finished(index, board.ok(), board.serial_number);
        }
    }, Qt::DirectConnection);

    {
        QMutexLocker lock(&mutex_);
        runner_ = &runner;
    }
    if (!stop_)
        runner.run(repeat_ ? DownloadRunner::Mode::ReDownload : DownloadRunner::Mode::Download);
    {
        QMutexLocker lock(&mutex_);
        runner_ = nullptr;
    }
    runner.set_numbers(nullptr);
    number.reset();
    if (pool_)
        pool_->release_thread_store();
    if (port.is_open())
        port.close();
}
