#include "device/erase.h"

#include "device/work_state.h"
#include "device/mcu_status.h"
#include "device/stop_run.h"
#include "image/program_image.h"
#include "device/connection.h"
#include "isp/frames.h"
#include "device/handshake.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>

namespace {
constexpr int kEraseReplyMs = 5000;
constexpr int kAttempts = 3;
}

Eraser::Eraser(IspLink& link, MessageLog& log, McuStatus& status, LinkResults& results, const SelectedModel& model,
               const ProgramImage& image, WorkState& work, StopRun& stop_run, Handshake& handshake,
               Connection& connection)
    : link_(link), log_(log), status_(status), results_(results), model_(model), image_(image),
      work_(work), stop_run_(stop_run), handshake_(handshake), connection_(connection)
{
}

int Eraser::model_page_count(const QString& text, int reserved_top_size)
{
    static const QStringList whole_64k = {QStringLiteral("ZVK7L64D"), QStringLiteral("ZVK7L64T2")};
    static const QStringList small_a = {QStringLiteral("ZVK7H04A"), QStringLiteral("ZVK7L04A"),
                                        QStringLiteral("ZVK7H08A"), QStringLiteral("ZVK7L08A"),
                                        QStringLiteral("ZVK7H12A"), QStringLiteral("ZVK7L12A")};
    static const QStringList b_plus = {QStringLiteral("ZVK7H16B+"), QStringLiteral("ZVK7L16B+"),
                                       QStringLiteral("ZVK7H32B+"), QStringLiteral("ZVK7L32B+"),
                                       QStringLiteral("ZVK7H64B+"), QStringLiteral("ZVK7L64B+")};
    int bytes;
    if (whole_64k.contains(text))
        bytes = 65536 - reserved_top_size;
    else if (text == QLatin1String("ZVK7L32D"))
        bytes = 32768;
    else if (text == QLatin1String("ZVK7L16D"))
        bytes = 16384;
    else if (text == QLatin1String("ZVK7L08D"))
        bytes = 8192;
    else if (small_a.contains(text))
        bytes = 15360 - reserved_top_size;
    else if (b_plus.contains(text))
        bytes = 64512 - reserved_top_size;
    else
        return 255;
    return bytes / 512;
}

int Eraser::page_count(const QString& text, int reserved_top_size, const QString& variant, int version_tenths,
                       qint32 image_end)
{
    const int table = model_page_count(text, reserved_top_size);
    if (variant == QLatin1String("C") && version_tenths >= 28)
        return std::min(image_end / 512 + 1, table);
    return table;
}

bool Eraser::connect_and_erase()
{
    work_.lock_options();
    log_.clear();

    results_.connected = false;
    if (connection_.connect_to_mcu(false) != ConnectOutcome::Connected)
        return false;

    // Old boot loaders (0.2 and before, or none reported) have nothing to erase.
    if (!(status_.version_value() > 0.2)) {
        return true;
    }

    erase_application();
    if (link_.stop_requested()) {
        link_.beep_times(1);
        log_.append(LogText::operation_stopped());
        stop_run_.stop_download();
        return false;
    }
    if (!link_.reply_received()) {
        link_.beep_times(3);
        log_.append(LogText::erase_failed() + MessageLog::time_of_day() +
                    QStringLiteral(")"));
        log_.append(LogText::try_lower_baud());
        return false;
    }
    return true;
}

void Eraser::erase_application()
{
    log_.append(LogText::connection_ok());
    log_.append(LogText::erasing());
    log_.append(LogText::erasing_zh());

    link_.reopen_port();
    link_.flush_receive();

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        link_.set_reply_armed(true);
        link_.delay_ms(50);
        if (link_.prefix_mode()) {
            link_.send_byte(Frames::kPrefix0, 0);
            link_.send_byte(Frames::kPrefix1, 0);
        }
        link_.set_tx_checksum(0);
        link_.send_byte(Frames::kCommandStart, 1);
        link_.send_byte(0x00, 1);
        link_.send_byte(0x07, 1);
        link_.send_byte(Frames::Erase, 1);
        if (model_.model_family != 0 && !status_.extended_status) {
            // The boot loader's table is looked up by the whole-number part of the version here.
            const int whole = int(status_.version_value());
            handshake_.lookup_reserved_top_size(QString::number(whole));
        }
        const int pages = page_count(model_.combo_text, status_.reserved_top_size, status_.firmware_variant,
                                     status_.version_tenths(), image_.image_end);
        link_.send_byte(quint8(pages), 1);
        link_.send_checksum();
        link_.send_byte(Frames::kEnd, 1);

        link_.Timer7.restart(kEraseReplyMs);
        link_.wait_on(link_.Timer7, [this] { return link_.reply_received(); });
        if (link_.reply_received())
            break;
    }
    link_.delay_ms(100);
}
