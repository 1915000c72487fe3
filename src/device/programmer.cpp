#include "device/programmer.h"

#include "device/work_state.h"
#include "device/mcu_status.h"
#include "image/program_image.h"
#include "isp/frames.h"
#include "device/handshake.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kChunk = 128;
constexpr int kOneBlockAttempts = 3;
constexpr int kLastBlockAttempts = 6;

QByteArray normal_header(quint32 address, int n, bool resend)
{
    QByteArray h;
    const int length = n + 12;
    h.append(char(Frames::kCommandStart));
    h.append(char((length >> 8) & 0xFF));
    h.append(char(length & 0xFF));
    h.append(char(resend ? Frames::ProgramAgain : Frames::Program));
    h.append(Frames::program_header(address, quint16(n)));
    return h;
}

QByteArray custom_header(quint32 address, int n, bool resend)
{
    QByteArray h;
    const int length = n + 14;
    h.append(char(Frames::kCustomStart0));
    h.append(char(Frames::kCustomStart1));
    h.append(char((length >> 8) & 0xFF));
    h.append(char(length & 0xFF));
    h.append(char(resend ? Frames::CustomProgramAgain : Frames::CustomProgram));
    h.append(Frames::program_header(address, quint16(n)));
    return h;
}

// Rounds half to even, as the bar's value conversion does.
int round_even(double v)
{
    return int(std::nearbyint(v));
}

} // namespace

Programmer::Programmer(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results,
                       const SelectedModel& model, const ProgramImage& image, WorkState& work,
                       Handshake& handshake)
    : link_(link), log_(log), status_(status), results_(results), model_(model), image_(image),
      work_(work), handshake_(handshake)
{
}

// ---- Pure pieces ----------------------------------------------------------------------------------

QString Programmer::kbyte_text(qint64 bytes)
{
    if (bytes < 0)
        bytes = 0;
    // Thousandths of a kilobyte, halves rounded away from zero.
    const qint64 thousandths = (bytes * 1000 * 2 + 1024) / 2048;
    const qint64 whole = thousandths / 1000;
    const qint64 frac = thousandths % 1000;
    QString text = whole > 0 ? QString::number(whole) : QString();
    text += QLatin1Char('.') + QString::number(frac).rightJustified(3, QLatin1Char('0'));
    return text + QLatin1Char('K');
}

bool Programmer::acknowledges(const quint8* frame, int count, const QByteArray& data, bool custom)
{
    quint32 sum = 0;
    for (char c : data)
        sum += quint8(c);
    if (custom) {
        if (count < 7)
            return false;
        return quint32(frame[5]) * 256 + frame[6] == sum;
    }
    if (count < 4 || frame[3] != Frames::kProgramAck)
        return false;
    const int length = frame[1] * 256 + frame[2];
    if (length == 6)
        return true;
    return count >= 5 && frame[4] == quint8(sum & 0xFF);
}

// ---- Progress ---------------------------------------------------------------------------------------

void Programmer::set_progress_range(qint32 first, qint32 last)
{
    Progress p = work_.progress();
    p.minimum = 0;
    p.maximum = 1;
    counts_units_ = first > 32767 || last >= 32768;
    if (counts_units_) {
        p.maximum = last / 256 + 1;
        p.minimum = first / 256;
    } else {
        p.maximum = last + 1;
        p.minimum = first;
    }
    p.border_single = true;
    p.value = p.minimum;
    work_.set_progress(p);
}

void Programmer::set_progress_value_for(qint32 address_after)
{
    const Progress& p = work_.progress();
    const int v = counts_units_ ? round_even(address_after / 256.0) : address_after;
    work_.set_progress_value(qBound(p.minimum, v, p.maximum));
}

void Programmer::set_progress_to_maximum()
{
    work_.set_progress_value(work_.progress().maximum);
}

void Programmer::set_kbyte(qint64 bytes)
{
    Progress p = work_.progress();
    p.kbyte_text = kbyte_text(bytes);
    work_.set_progress(p);
}

// ---- The step -----------------------------------------------------------------------------------------

bool Programmer::program_and_verify()
{
    if (work_.program_button() == WorkState::ProgramButton::Programming) {
        work_.set_phase(WorkPhase::Programming);
        work_.set_program_button(WorkState::ProgramButton::Ready);
        work_.notify();
        return false;
    }
    bool ok = false;
    work_.set_program_button(WorkState::ProgramButton::Programming);
    work_.set_phase(WorkPhase::Programming);
    program_start_time = QDateTime::currentDateTime();

    set_progress_range(image_.image_start, image_.image_end);
    work_.show_progress(Progress::Mode::Download);

    log_.append(QStringLiteral("Programming.../ 正在下载... ( Begin: ") + MessageLog::time_of_day() +
                QStringLiteral(" )"));

    if (program_image(model_.block_size > kChunk)) {
        ok = true;
    } else if (link_.stop_requested()) {
        link_.beep_times(2);
        log_.append(LogText::operation_stopped());
    } else {
        link_.beep_times(3);
        log_.append(QStringLiteral("Program is failure. / 下载失败 (End: ") + MessageLog::time_of_day() +
                    QStringLiteral(")"));
        log_.append(LogText::try_lower_baud());
        work_.set_phase(WorkPhase::Idle);
    }
    work_.set_program_button(WorkState::ProgramButton::Ready);
    work_.notify();
    return ok;
}

bool Programmer::program_image(bool big_blocks)
{
    held_back_.clear();
    const qint32 first = image_.image_start;
    qint32 last = qMax<qint32>(image_.image_end, 639);

    if (status_.mcu_type_name == QLatin1String("ZVK7L64D/T2") || model_.model_family == 2) {
        if (model_.model_family != 0 && !status_.extended_status)
            handshake_.lookup_reserved_top_size(status_.firmware_version);
        if (status_.reserved_top_size > 1024 && !link_.custom_frame_mode()) {
            const qint32 top = top_limit(model_.user_flash_end, status_.reserved_top_size);
            if (last > top) {
                link_.beep_times(2);
                last = top;
                set_progress_range(image_.image_start, last);
                const qint32 k = (last + 511) / 1024;
                log_.append(QStringLiteral("Enable ") + QString::number(k) +
                            QStringLiteral("K file size for this Version firmware."));
                log_.append(QStringLiteral("Chinese:此版本固件最多可编程 ") + QString::number(k) +
                            QStringLiteral("K, 文件超长部分不下载。"));
            }
        }
    }

    const qint32 bs = qMax(1, model_.block_size);
    const qint32 first_block = first / bs;
    const qint32 last_block = last / bs;
    bool sent = false;

    if (first_block == last_block) {
        for (int attempt = 0; attempt < kOneBlockAttempts; ++attempt) {
            sent = program_block(big_blocks, first, last, attempt > 0, false);
            if (sent)
                break;
            if (link_.stop_requested())
                return false;
        }
        if (!sent || !send_held_back())
            return false;
        set_kbyte(qint64(last) - first + 1);
        set_progress_value_for(last + 1);
        return true;
    }

    auto last_block_first = [&]() -> bool {
        for (int attempt = 0; attempt < kLastBlockAttempts; ++attempt) {
            if (link_.stop_requested())
                return false;
            if (program_block(big_blocks, last_block * bs, last, attempt > 0, false))
                return true;
        }
        return false;
    };

    if (model_.model_family != 0 && !last_block_first())
        return false;

    int failures = 0;
    bool fast = true;
    for (qint32 b = first_block; b < last_block; ++b) {
        const qint32 start = b == first_block ? first : b * bs;
        const qint32 end = bs * (b + 1) - 1;
        for (int attempt = 0;; ++attempt) {
            sent = program_block(big_blocks, start, end, attempt > 0, fast);
            if (link_.stop_requested())
                return false;
            if (sent) {
                failures = 0;
                break;
            }
            ++failures;
            if (failures > 2)
                fast = false;
            if (failures > 5)
                return false;
        }
        set_kbyte(qint64(end) - first + 1);
        set_progress_value_for(end + 1);
    }

    if (model_.model_family == 0 && !last_block_first())
        return false;
    if (!send_held_back())
        return false;
    set_kbyte(qint64(last_block + 1) * bs - first);
    set_progress_to_maximum();
    return true;
}

bool Programmer::program_block(bool big_blocks, qint32 first, qint32 last, bool resend, bool fast)
{
    if (!big_blocks) {
        if (held_back(first, last - first + 1))
            return true;
        frames_resent += resend ? 1 : 0;
        return send_program_chunk(first, last - first + 1, resend, fast);
    }
    bool first_chunk = true;
    for (qint32 a = first; a <= last; a = (a / kChunk + 1) * kChunk) {
        const int length = a + (kChunk - 1) >= last ? last - a + 1 : kChunk;
        if (held_back(a, length))
            continue;
        frames_resent += resend ? 1 : 0;   // every chunk of a block tried again goes out again
        const bool sent = send_program_chunk(a, length, first_chunk && resend, fast);
        first_chunk = false;
        if (!sent || link_.stop_requested())
            return false;
    }
    return true;
}

// True when defer_chunk holds this chunk back (noted once, however often its block is tried).
bool Programmer::held_back(qint32 address, int length)
{
    if (!defer_chunk || !defer_chunk(address, length))
        return false;
    const std::pair<qint32, int> chunk{address, length};
    if (std::find(held_back_.begin(), held_back_.end(), chunk) == held_back_.end())
        held_back_.push_back(chunk);
    return true;
}

// The held-back chunks, after every other block, in address order: each with up to six attempts
// at the calibrated gap, the resend flag on every attempt after the first.
bool Programmer::send_held_back()
{
    if (held_back_.empty())
        return true;
    if (link_.stop_requested() || (before_deferred && !before_deferred()))
        return false;
    std::sort(held_back_.begin(), held_back_.end());
    for (const auto& [address, length] : held_back_) {
        for (int attempt = 0;; ++attempt) {
            if (link_.stop_requested() || attempt == kLastBlockAttempts)
                return false;
            frames_resent += attempt > 0 ? 1 : 0;
            if (send_program_chunk(address, length, attempt > 0, false))
                break;
        }
    }
    return true;
}

void Programmer::write_spaced(const char* bytes, int count, quint32 gap, quint32& sum)
{
    for (int i = 0; i < count; ++i)
        sum += quint8(bytes[i]);
    link_.send_paced(bytes, count, gap);
}

bool Programmer::send_program_chunk(qint32 address, int length, bool resend, bool fast)
{
    if (before_chunk && !before_chunk(address, length))
        return false;
    const quint32 gap = fast ? 1 : link_.byte_gap_loops();
    QByteArray data;
    if (address >= 0 && length > 0 && address + length <= ProgramImage::kSize)
        data = QByteArray(reinterpret_cast<const char*>(image_.program_buffer.data()) + address, length);
    else
        data = QByteArray(qMax(0, length), char(image_.fill_byte()));
    ++frames_sent;
    if (chunk_observer)
        chunk_observer(address, length, resend, gap);

    bool replied = false;
    if (!link_.custom_frame_mode()) {
        if (link_.prefix_mode()) {
            link_.send_byte(Frames::kPrefix0, 0);
            link_.send_byte(Frames::kPrefix1, 0);
        }
        const QByteArray header = normal_header(quint32(address), length, resend);
        quint32 sum = 0;
        write_spaced(header.constData(), header.size(), gap, sum);
        write_spaced(data.constData(), data.size(), gap, sum);
        link_.set_spaced_checksum(quint16(sum & 0xFF));
        link_.send_checksum_spaced();
        // The receive side is emptied right before the end byte goes out rather than after: the
        // board answers only once it has the end byte, so the answer is never among what is
        // emptied, however late this thread gets to run.
        link_.Timer7.stop();
        link_.flush_receive();
        link_.send_byte_spaced(Frames::kEnd, link_.byte_gap_loops());
        link_.start_block_reply_timer(results_.clock_hz);
        link_.Timer7.start();
        link_.wait_on(link_.Timer7, [this] { return link_.reply_received(); });
        replied = link_.reply_received();
    } else {
        const QByteArray header = custom_header(quint32(address), length, resend);
        quint32 sum = 0;
        write_spaced(header.constData(), header.size(), gap, sum);
        write_spaced(data.constData(), data.size(), gap, sum);
        sum &= 0xFFFF;
        link_.send_byte_spaced(quint8((sum >> 8) & 0xFF), link_.byte_gap_loops());
        link_.send_byte_spaced(quint8(sum & 0xFF), link_.byte_gap_loops());
        // Emptied before the end byte, as above.
        link_.flush_receive();
        link_.clear_custom_reply();
        link_.clear_custom_stop();
        link_.clear_queues();
        link_.Timer7.stop();
        link_.flush_receive();
        link_.send_byte_spaced(Frames::kEnd, link_.byte_gap_loops());
        link_.start_block_reply_timer(results_.clock_hz);
        link_.Timer7.start();
        link_.wait_on(link_.Timer7, [this] { return link_.custom_reply_received(); });
        replied = link_.custom_reply_received();
    }

    bool acknowledged = false;
    if (replied) {
        std::array<quint8, IspLink::kFrameCapacity> frame{};
        const int count = link_.get_received_frame(frame);
        acknowledged = acknowledges(frame.data(), count, data, link_.custom_frame_mode());
    }
    if (!acknowledged && closing_requested && enable_timer4)
        enable_timer4();
    return acknowledged;
}
