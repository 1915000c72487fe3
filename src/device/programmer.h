#pragma once
// Program and verify: the used range of the program buffer goes into the flash in blocks, each
// block as frames of at most 128 data bytes, and every frame must come back acknowledged with the
// sum of the data the boot loader received. That echo is the verification.

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <utility>
#include <vector>

class IspLink;
class MessageLog;
class WorkState;
class Handshake;
class ProgramImage;
struct McuStatus;
struct LinkResults;
struct SelectedModel;

class Programmer {
public:
    Programmer(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results, const SelectedModel& model,
               const ProgramImage& image, WorkState& work, Handshake& handshake);

    // The program-and-verify step (also the window's write button, where a second press while
    // programming stops). True when every block was programmed and verified.
    bool program_and_verify();
    bool program_image(bool big_blocks);   // true when every block was acknowledged
    bool program_block(bool big_blocks, qint32 first, qint32 last, bool resend, bool fast);
    bool send_program_chunk(qint32 address, int length, bool resend, bool fast);

    QDateTime program_start_time;           // the download start the runner reports from
    // Set by the window while a close request is pending; a failed frame then arms Timer4.
    bool closing_requested = false;
    std::function<void()> enable_timer4;

    // Counts of the frames sent (first sendings and resends), for reports and checks.
    quint64 frames_sent = 0;
    // The frames of those sent again after a block failed (a noisy line); never reset here, so a
    // reader takes the difference over a board.
    quint64 frames_resent = 0;
    // Chunks this says yes to are held back from their place and sent after every other block,
    // right before programming ends, each with up to six attempts (a gang run sends the serial
    // number's bytes that way). before_deferred runs once before the first of them goes out (the
    // buffer may still change then); false from it fails programming. Unset: every chunk goes out
    // in its place.
    std::function<bool(qint32 address, int length)> defer_chunk;
    std::function<bool()> before_deferred;
    // Runs right before a chunk's bytes are read from the buffer and sent (the buffer may still
    // change then); false fails the chunk (after pressing Stop, so programming ends).
    std::function<bool(qint32 address, int length)> before_chunk;
    // Sees every chunk as it goes out: address, length, resend flag and the gap in busy-wait passes.
    std::function<void(qint32 address, int length, bool resend, quint32 gap)> chunk_observer;

    // ---- Pure pieces --------------------------------------------------------------------------
    // "####.000" of a kilobyte count followed by "K": no leading zero, three decimals.
    static QString kbyte_text(qint64 bytes);
    // Does a received frame acknowledge `data`? (normal: 68 len 80 sum...; custom: bytes 5,6 = sum)
    static bool acknowledges(const quint8* frame, int count, const QByteArray& data, bool custom);
    // The highest address the firmware takes when it keeps `reserved_top_size` bytes at the top.
    static qint32 top_limit(qint32 user_flash_end, int reserved_top_size)
    {
        return user_flash_end + 1024 - reserved_top_size;
    }

private:
    void set_progress_range(qint32 first, qint32 last);
    void set_progress_value_for(qint32 address_after);
    void set_progress_to_maximum();
    void set_kbyte(qint64 bytes);
    void write_spaced(const char* bytes, int count, quint32 gap, quint32& sum);
    bool held_back(qint32 address, int length);
    bool send_held_back();

    IspLink& link_;
    MessageLog& log_;
    McuStatus& status_;
    LinkResults& results_;
    const SelectedModel& model_;
    const ProgramImage& image_;
    WorkState& work_;
    Handshake& handshake_;
    bool counts_units_ = false;             // the bar counts 256-byte units
    std::vector<std::pair<qint32, int>> held_back_;     // chunks (address, length) defer_chunk holds back
};
