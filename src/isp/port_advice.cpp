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
    if (kind == PortErrorKind::PermissionDenied)
        group = QFileInfo(device).group();
    return text(kind, device, group, port.error_string());
}

} // namespace port_advice
