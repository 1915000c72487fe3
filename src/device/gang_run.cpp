#include "device/gang_run.h"

#include "device/gang_station.h"
#include "device/serial_pool.h"
#include "base/number_text.h"

#include <QEventLoop>

namespace {

std::unique_ptr<SerialPool> job_pool(const Job& job)
{
    if (!job.serial_enabled)
        return nullptr;
    const int bytes = int(NumberText::round_half_even(NumberText::leading_number(job.serial_texts[1])));
    return std::make_unique<SerialPool>(job.serial_texts[2], job.serial_texts[3], job.serial_format, bytes);
}

} // namespace

GangRun::GangRun(const Job& job, const QStringList& devices, bool repeat, QObject* parent)
    : GangRun(job, devices, repeat, job_pool(job), parent)
{
}

GangRun::GangRun(const Job& job, const QStringList& devices, bool repeat, std::unique_ptr<SerialPool> pool,
                 QObject* parent)
    : QObject(parent), pool_(std::move(pool))
{
    for (int i = 0; i < devices.size(); ++i) {
        Row row;
        row.device = devices.at(i);
        row.state = QStringLiteral("waiting");
        rows_.push_back(row);
        auto station = std::make_unique<GangStation>(i, devices.at(i), job, pool_.get(), repeat);
        connect(station.get(), &GangStation::line, this, &GangRun::on_line);
        connect(station.get(), &GangStation::progress, this, &GangRun::on_progress);
        connect(station.get(), &GangStation::board_record, this, &GangRun::board_record);
        connect(station.get(), &GangStation::board_finished, this, &GangRun::on_board);
        connect(station.get(), &GangStation::board_removed, this, &GangRun::on_board_removed);
        connect(station.get(), &GangStation::message, this, &GangRun::message);
        connect(station.get(), &GangStation::beeped, this, &GangRun::beep);
        connect(station.get(), &QThread::finished, this, [this, i] { on_station_finished(i); });
        stations_.push_back(std::move(station));
    }
}

GangRun::~GangRun()
{
    for (auto& s : stations_)
        s->request_stop();
    stations_.clear();      // each joins its thread
}

void GangRun::start()
{
    stopping_ = false;
    for (size_t i = 0; i < stations_.size(); ++i) {
        if (stations_[i]->isRunning())
            continue;
        rows_[i].running = true;
        rows_[i].state = QStringLiteral("waiting");
        ++active_;
        stations_[i]->start();
        emit row_changed(int(i));
    }
}

void GangRun::stop_all()
{
    stopping_ = true;
    if (pool_)
        pool_->abandon();
    for (auto& s : stations_)
        s->request_stop();
}

void GangRun::stop(int index)
{
    if (index >= 0 && size_t(index) < stations_.size())
        stations_[size_t(index)]->request_stop();
}

bool GangRun::running() const
{
    return active_ > 0;
}

void GangRun::wait_finished()
{
    if (!running())
        return;
    QEventLoop loop;
    connect(this, &GangRun::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

bool GangRun::all_last_ok() const
{
    for (const Row& r : rows_)
        if (!r.last_ok || r.boards_ok + r.boards_failed == 0)
            return false;
    return !rows_.empty();
}

void GangRun::on_line(int index, const QString& text)
{
    Row& row = rows_[size_t(index)];
    if (!text.trimmed().isEmpty()) {
        row.last_line = text.trimmed();
        emit row_changed(index);
    }
    emit line(index, text);
}

void GangRun::on_progress(int index, int percent, const QString& kbyte)
{
    Row& row = rows_[size_t(index)];
    row.percent = percent;
    row.kbyte = kbyte;
    if (percent >= 0 && row.running)
        row.state = QStringLiteral("programming");
    emit row_changed(index);
}

void GangRun::on_board(int index, bool ok, const QString& serial_text)
{
    Row& row = rows_[size_t(index)];
    row.last_ok = ok;
    if (ok) {
        ++row.boards_ok;
        if (!serial_text.isEmpty())
            row.serials << serial_text;
        row.state = QStringLiteral("OK");
    } else {
        ++row.boards_failed;
        row.state = stopping_ ? QStringLiteral("stopped") : QStringLiteral("failed");
    }
    row.percent = -1;
    emit row_changed(index);
    emit board_finished(index, ok);
}

void GangRun::on_board_removed(int index)
{
    Row& row = rows_[size_t(index)];
    row.state = QStringLiteral("board removed");
    row.percent = -1;
    emit row_changed(index);
}

void GangRun::on_station_finished(int index)
{
    Row& row = rows_[size_t(index)];
    row.running = false;
    if (row.boards_ok + row.boards_failed == 0 && row.state != QLatin1String("board removed"))
        row.state = QStringLiteral("stopped");
    emit row_changed(index);
    if (--active_ == 0)
        emit finished();
}

QStringList GangRun::summary(bool bilingual) const
{
    // English words, with the Chinese ones after a slash when asked for.
    auto w = [bilingual](const char* english, const char* chinese) {
        return bilingual ? QStringLiteral("%1/%2").arg(QLatin1String(english), QString::fromUtf8(chinese))
                         : QString::fromLatin1(english);
    };
    const QString counts = QStringLiteral("%1 ") + w("programmed", "已下载") + QStringLiteral(", %2 ") + w("failed", "失败");
    QStringList out;
    int ok = 0, failed = 0;
    for (const Row& r : rows_) {
        QString text = QStringLiteral("%1: ").arg(r.device) + counts.arg(r.boards_ok).arg(r.boards_failed);
        if (!r.serials.isEmpty())
            text += QStringLiteral(", ") + w("serial numbers", "序列号") + QLatin1Char(' ') +
                    r.serials.join(QStringLiteral(", "));
        text += QStringLiteral("; ") + w("last board", "最后一块") + QLatin1Char(' ') +
                (r.boards_ok + r.boards_failed == 0 ? w("not started", "未开始")
                 : r.last_ok                         ? QStringLiteral("OK")
                                                     : r.state);
        out << text;
        ok += r.boards_ok;
        failed += r.boards_failed;
    }
    out << w("all ports", "全部") + QStringLiteral(": ") + counts.arg(ok).arg(failed);
    if (pool_)
        out << w("next serial number", "下一个序列号") + QStringLiteral(": %1").arg(pool_->next_text().trimmed());
    return out;
}
