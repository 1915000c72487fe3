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

GangStation::GangStation(int index, const QString& device, const GangRecipe& recipe, SerialPool* pool, bool repeat,
                         QObject* parent)
    : QThread(parent), index(index), device(device), recipe_(recipe), pool_(pool), repeat_(repeat)
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
    if (stopper_)
        QMetaObject::invokeMethod(stopper_, "stop", Qt::QueuedConnection);
}

namespace {

// Presses the workbench's Stop button inside the station's thread.
class Stopper : public QObject {
    Q_OBJECT
public:
    explicit Stopper(Workbench& bench) : bench_(bench) {}
    Q_INVOKABLE void stop() { bench_.stop_run.stop_download(); }

private:
    Workbench& bench_;
};

} // namespace

void GangStation::run()
{
    StationDialogs dialogs(*this);
    BoardPort port;
    Workbench bench(&port, &dialogs);
    SerialNumber serial(bench.image, bench.model, nullptr, &dialogs);
    recipe_.apply(bench, serial);
    bench.link.set_port_device(device);

    LogFollower follower(bench.log);
    connect(&follower, &LogFollower::line, &follower, [this](const QString& text) { emit line(index, text); },
            Qt::DirectConnection);
    connect(&bench.work, &WorkState::progress_changed, &bench.work, [this, &bench] {
        const Progress& p = bench.work.progress();
        int percent = -1;
        if (p.visible && p.maximum > p.minimum)
            percent = int(qBound(0.0, double(p.value - p.minimum) * 100.0 / double(p.maximum - p.minimum), 100.0));
        emit progress(index, percent, p.kbyte_text);
    }, Qt::DirectConnection);

    const bool numbered = pool_ && recipe_.serial_enabled && serial.serial_active;
    std::optional<NumberedBoard> number;
    if (numbered)
        number.emplace(bench, serial, *pool_, stop_, true);
    BoardRecorder recorder(bench);
    recorder.port = device;
    recorder.image_name = QFileInfo(recipe_.file_path).fileName();
    recorder.image_sha256 = BoardRecorder::file_sha256(recipe_.file_path);
    bench.sequencer.board_started = [&] {
        if (number)
            number->begin();
        recorder.begin();
    };
    bench.sequencer.board_finished = [&](bool ok) {
        const QString text = number ? number->finish(ok) : QString();
        // Stopped while waiting for a board that never answered: with Re-Download that is the
        // end of the run, not a failed board. The adapter unplugged while waiting: no board either.
        const bool none_answered = port.no_board_answered();
        const bool no_board = !ok && stop_ && repeat_ && none_answered;
        const bool removed = !ok && port.vanished() && none_answered;
        if (removed) {
            emit board_removed(index);
        } else if (!no_board) {
            const BoardResult result = ok ? BoardResult::Ok : stop_ ? BoardResult::Interrupted : BoardResult::Failed;
            emit board_record(index, recorder.finish(result, text, pool_ ? pool_->series_name() : QString()));
            emit board_finished(index, ok, text);
        }
    };

    Stopper stopper(bench);
    {
        QMutexLocker lock(&mutex_);
        stopper_ = &stopper;
    }
    if (!stop_)
        bench.sequencer.start_download(repeat_ ? 1 : 0);
    {
        QMutexLocker lock(&mutex_);
        stopper_ = nullptr;
    }
    number.reset();
    if (pool_)
        pool_->release_thread_store();
    if (port.is_open())
        port.close();
}

#include "gang_station.moc"
