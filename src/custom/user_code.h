#pragma once
// The "自定义下载" page: a running user application is sent its own download command at its own
// serial format; it then resets into the boot loader, and the normal download follows.

#include <QByteArray>
#include <QString>

class Workbench;

// The port settings text from four combo texts: trimmed baud, the first letter of the parity
// text ("Even" -> "E", "Odd" -> "O", "None" -> "N"), trimmed data bits, trimmed stop bits.
// Example: "38400", "Even", "8", "1" give "38400,E,8,1".
QString serial_settings_text(const QString& baud, const QString& parity, const QString& data_bits,
                             const QString& stop_bits);

class UserCodeCommand {
public:
    explicit UserCodeCommand(Workbench& bench);

    // The command as hex text and the port format to send it at (design values and remembered defaults).
    QString code_text = QStringLiteral("12 34 56 78 90 AB CD EF 1234567890ABCDEF");
    QString baud = QStringLiteral("38400");
    QString parity = QStringLiteral("None");
    QString data_bits = QStringLiteral("8");
    QString stop_bits = QStringLiteral("1");

    QString settings_text() const;

    // The "发送" button: the command at the application's format, then the normal download.
    void send_then_download();
    // The click up to the download: true when the command went out and the download is due.
    bool send_user_code();

    // What the last click did: the bytes written (empty when none) and whether the download ran.
    QByteArray last_sent;
    bool download_started = false;

    static const QString kOpenFailure;        // "Open COM port failure! / 打开串口失败!"
    static const QString kOpenFailureHint;    // "The COM port opened by another Program or no the COM port."
    static const QString kOpenFailureChinese; // "Chinese:串口已被其它程序打开或该串口不存在。"

private:
    Workbench& bench_;
};

// Waits until the port's transmit queue is empty, whatever the stop flags say (the command is
// written whole before anything else happens on the line).
void wait_transmit_queue_empty(Workbench& bench);
