#include "isp/power_cycle.h"

#include "isp/serial_port.h"

namespace power_cycle {

const QString kSettingsKey = QStringLiteral("PowerCycle");

QString name(PowerCycle choice)
{
    switch (choice) {
    case PowerCycle::Dtr: return QStringLiteral("dtr");
    case PowerCycle::Rts: return QStringLiteral("rts");
    case PowerCycle::None: break;
    }
    return QStringLiteral("none");
}

bool parse(const QString& text, PowerCycle& choice)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("none") || t == QLatin1String("off")) {
        choice = PowerCycle::None;
        return true;
    }
    if (t == QLatin1String("dtr")) {
        choice = PowerCycle::Dtr;
        return true;
    }
    if (t == QLatin1String("rts")) {
        choice = PowerCycle::Rts;
        return true;
    }
    return false;
}

QStringList choice_texts()
{
    return {QStringLiteral("Off / 不自动上电"), QStringLiteral("DTR"), QStringLiteral("RTS")};
}

void set_power(SerialPort& port, PowerCycle choice, bool on)
{
    switch (choice) {
    case PowerCycle::Dtr: port.set_dtr(on); break;
    case PowerCycle::Rts: port.set_rts(on); break;
    case PowerCycle::None: break;
    }
}

PowerCycle from_stored(const QString& text)
{
    bool ok = false;
    const int i = text.trimmed().toInt(&ok);
    if (!ok || i < 0 || i > 2)
        return PowerCycle::None;
    return PowerCycle(i);
}

QString to_stored(PowerCycle choice)
{
    return QString::number(int(choice));
}

} // namespace power_cycle
