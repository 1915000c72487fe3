#include "device/board_recorder.h"

#include "base/log_follower.h"
#include "device/workbench.h"
#include "base/log_texts.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <cmath>

BoardRecorder::BoardRecorder(Workbench& bench, QObject* parent) : QObject(parent), bench_(bench)
{
    auto* follower = new LogFollower(bench.log, this);
    connect(follower, &LogFollower::line, this, &BoardRecorder::on_line);
    connect(&bench.work, &WorkState::phase_changed, this, &BoardRecorder::on_phase);
    auto observer = bench.programmer.chunk_observer;
    bench.programmer.chunk_observer = [this, observer](qint32 address, int length, bool resend, quint32 gap) {
        if (step_ != Step::None && !chunks_.contains(address)) {
            chunks_.insert(address);
            chunk_bytes_ += length;
        }
        if (observer)
            observer(address, length, resend, gap);
    };
}

void BoardRecorder::begin()
{
    record_ = BoardRecord::begin();
    clock_.start();
    step_ = Step::None;
    enter(Step::Handshake);
    resent_at_begin_ = bench_.programmer.frames_resent;
    chunks_.clear();
    chunk_bytes_ = 0;
    option_lines_.clear();
    failure_line_.clear();
    connected_ = false;
}

// Frames sent again during this board.
qint64 BoardRecorder::resent_frames() const
{
    return qint64(bench_.programmer.frames_resent - resent_at_begin_);
}

void BoardRecorder::enter(Step step)
{
    const qint64 now = clock_.elapsed();
    const qint64 took = now - step_start_;
    switch (step_) {
    case Step::Handshake: record_.handshake_ms = took; break;
    case Step::Erase: record_.erase_ms = took; break;
    case Step::Program: record_.program_ms = took; break;
    case Step::Options: record_.options_ms = took; break;
    case Step::None:
    case Step::Done: break;
    }
    step_ = step;
    step_start_ = now;
}

void BoardRecorder::on_line(const QString& line)
{
    if (step_ == Step::None || step_ == Step::Done)
        return;
    const QString text = line.trimmed();
    if (text.isEmpty())
        return;
    if (text.startsWith(QLatin1String("Connection is OK...")) && step_ == Step::Handshake) {
        connected_ = true;
        enter(Step::Erase);
    } else if (text.startsWith(QLatin1String("Programming.../")) && step_ < Step::Program) {
        connected_ = true;
        enter(Step::Program);
    }
    else if (text.startsWith(QLatin1String("Program OK")))
        enter(Step::Done);
    else if (step_ == Step::Options && !text.startsWith(QLatin1String("Chinese:")) &&
             !text.startsWith(QLatin1String("MCU ")))
        option_lines_ << text;
    static const QRegularExpression failure(QStringLiteral("fail|error|stop|not |refus|cannot"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (failure.match(text).hasMatch() && !text.startsWith(QLatin1String("Chinese:")))
        failure_line_ = text;
}

void BoardRecorder::on_phase(WorkPhase phase)
{
    if (step_ == Step::Program && phase == WorkPhase::Manual)
        enter(Step::Options);
}

BoardRecord BoardRecorder::finish(RecordResult result, const QString& serial_text, const QString& series)
{
    enter(Step::None);
    BoardRecord r = record_;
    r.ended = QDateTime::currentDateTimeUtc();
    r.port = port;
    r.model = bench_.model.combo_text;
    // What the chip reported, once this board got connected (the figures of an earlier board
    // stay in the workbench until the next handshake).
    if (connected_) {
        if (bench_.results.chip_id_known)
            r.chip_id = bench_.results.chip_id_hex + bench_.results.chip_subid_hex;
        r.firmware_version = bench_.status.firmware_version + bench_.status.firmware_variant;
        if (bench_.results.clock_hz > 0)
            r.clock_hz = std::llround(bench_.results.clock_hz);
        if (bench_.results.baud > 0)
            r.baud = bench_.results.baud;
    }
    r.image_name = image_name;
    r.image_sha256 = image_sha256;
    r.bytes_programmed = chunk_bytes_;
    r.serial_series = serial_text.isEmpty() ? QString() : series;
    r.serial_number = serial_text.trimmed();
    r.options = option_lines_.join(QStringLiteral("; "));
    r.result = result;
    if (result != RecordResult::Ok)
        r.failure_reason = result == RecordResult::Interrupted && failure_line_.isEmpty()
                               ? LogText::operation_stopped()
                               : failure_line_;
    r.frames_resent = resent_frames();
    return r;
}

QString BoardRecorder::file_sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}
