#include "isp/port_advice.h"

#include <QFileInfo>

namespace port_advice {

QString text(PortErrorKind kind, const QString& device, const QString& group, const QString& detail)
{
    const QString name = device.isEmpty() ? QStringLiteral("(no port chosen)") : device;
    switch (kind) {
    case PortErrorKind::None:
        return {};
    case PortErrorKind::Missing:
        return QStringLiteral("No serial device %1: plug in the USB adapter or choose another port "
                              "(zvkisp-cli ports lists them). / 没有串口设备 %1: 请插好 USB 转串口线或选择其它串口。")
            .arg(name);
    case PortErrorKind::PermissionDenied: {
        const QString g = group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
        return QStringLiteral("Permission denied on %1: add your user to the group '%2' "
                              "(sudo usermod -aG %2 $USER) and log in again. / 没有权限打开 %1: "
                              "请把当前用户加入 '%2' 组后重新登录。")
            .arg(name, g);
    }
    case PortErrorKind::Busy:
        return QStringLiteral("%1 is in use by another program: close it (a terminal program, ModemManager, "
                              "another zvkisp) and try again. / %1 已被其它程序占用: 请关闭该程序后重试。")
            .arg(name);
    case PortErrorKind::NotSerial:
        return QStringLiteral("%1 is not a serial port or refuses the settings: choose another port. / "
                              "%1 不是串口或不支持该设置: 请选择其它串口。")
            .arg(name);
    case PortErrorKind::Other:
        break;
    }
    QString why = detail;
    const QString prefix = QStringLiteral("Cannot open %1: ").arg(name);
    if (why.startsWith(prefix))
        why = why.mid(prefix.size());
    if (why.isEmpty())
        why = QStringLiteral("the port layer gave no reason");
    return QStringLiteral("Cannot open %1: %2. / 无法打开 %1。").arg(name, why);
}

QString for_port(const SerialPort& port, const QString& device)
{
    const PortErrorKind kind = port.error_kind();
    QString group;
    if (kind == PortErrorKind::PermissionDenied) {
        const QFileInfo info(device);
        group = info.group();
        const QFile::Permissions rw = QFile::ReadGroup | QFile::WriteGroup;
        // Joining the group helps only when the group may read and write the device (and root's
        // group is no group to join): then the advice names the device's mode.
        if (!info.exists() || ((info.permissions() & rw) == rw && !group.isEmpty() && group != QLatin1String("root")))
            return text(kind, device, group, port.error_string());
        const QFile::Permissions p = info.permissions();
        auto digit = [p](QFile::Permission r, QFile::Permission w) { return (p & r ? 4 : 0) + (p & w ? 2 : 0); };
        const QString mode_text = QStringLiteral("%1%2%3")
                                      .arg(digit(QFile::ReadOwner, QFile::WriteOwner))
                                      .arg(digit(QFile::ReadGroup, QFile::WriteGroup))
                                      .arg(digit(QFile::ReadOther, QFile::WriteOther));
        return QStringLiteral("Permission denied on %1 (mode %2, owner %3, group %4): no group membership lets "
                              "you open it; give its group read and write in the device's udev rule "
                              "(GROUP=\"dialout\", MODE=\"0660\"), or for now: sudo chmod 660 %1. / 没有权限打开 %1 "
                              "(权限 %2): 请在 udev 规则中给设备的组读写权限, 或执行 sudo chmod 660 %1。")
            .arg(device, mode_text, info.owner(), group);
    }
    return text(kind, device, group, port.error_string());
}

QString low_latency_refused(const QString& device, const QString& tty, const QString& reason, int latency_ms)
{
    const QString ms = latency_ms > 0 ? QString::number(latency_ms) : QStringLiteral("16");
    return QStringLiteral("Low latency refused on %1 (%2): every reply waits up to %3 ms for the adapter's "
                          "latency timer, up to %3 ms more per program frame. Fix: install the udev rule of "
                          "zvkisp (60-zvkisp-usb-serial.rules) or run 'echo 1 | sudo tee "
                          "/sys/bus/usb-serial/devices/%4/latency_timer'. / %1 拒绝低延迟模式: 每个应答最多晚 "
                          "%3 ms, 下载变慢; 请安装 udev 规则或把 latency_timer 设为 1。")
        .arg(device, reason, ms, tty);
}

} // namespace port_advice
