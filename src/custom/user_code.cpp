#include "custom/user_code.h"

#include "custom/hex_text.h"
#include "device/workbench.h"
#include "base/number_text.h"
#include "base/user_dialogs.h"
#include "base/log_texts.h"

// Blanks only, as the combo texts are trimmed.
using NumberText::trim_blanks;

const QString UserCodeCommand::kOpenFailure = LogText::port_open_failed();
const QString UserCodeCommand::kOpenFailureHint =
    LogText::port_in_use();
const QString UserCodeCommand::kOpenFailureChinese = LogText::port_in_use_zh();

QString serial_settings_text(const QString& baud, const QString& parity, const QString& data_bits,
                             const QString& stop_bits)
{
    return trim_blanks(baud) + QLatin1Char(',') + parity.left(1) + QLatin1Char(',') + trim_blanks(data_bits) +
           QLatin1Char(',') + trim_blanks(stop_bits);
}

void wait_transmit_queue_empty(Workbench& bench)
{
    // Only the queue counts here: a stop pressed before or meanwhile is kept for what follows.
    bench.link.wait_transmit_empty(false);
}

UserCodeCommand::UserCodeCommand(Workbench& bench) : bench_(bench) {}

QString UserCodeCommand::settings_text() const
{
    return serial_settings_text(baud, parity, data_bits, stop_bits);
}

void UserCodeCommand::send_then_download()
{
    if (!send_user_code())
        return;
    download_started = true;
    bench_.runner.run(DownloadRunner::Mode::Download);
}

bool UserCodeCommand::send_user_code()
{
    last_sent.clear();
    download_started = false;
    IspLink& link = bench_.link;

    if (!bench_.image.file_loaded) {
        bench_.dialogs->message_box(DownloadRunner::kNoFileText);
        return false;
    }
    bench_.log.clear();
    if (link.port_open())
        link.close_port();

    if (!link.set_settings(settings_text())) {
        QString reason = bench_.port ? bench_.port->error_string() : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("Invalid property value");
        bench_.dialogs->message_box(reason, QString(), UserDialogs::Icon::Exclamation);
        return false;
    }

    link.clear_queues();
    if (link.open_port() != 0) {
        link.beep_times(3);
        bench_.log.append(kOpenFailure);
        bench_.log.append(kOpenFailureHint);
        bench_.log.append(kOpenFailureChinese);
        bench_.handshake.append_port_advice();
        return false;
    }

    const QByteArray bytes = hex_text_to_bytes(code_text);
    if (link.port_open()) {
        wait_transmit_queue_empty(bench_);
        if (!bytes.isEmpty())
            link.write_bytes(bytes);
        last_sent = bytes;
    }
    wait_transmit_queue_empty(bench_);
    link.delay_ms(20);
    return true;
}
