#pragma once
// Automatic power cycling: many boards feed the MCU through a transistor driven by the port's DTR
// or RTS line. With a line chosen, the handshake switches the MCU off (line inactive) before the
// greeting, waits a moment, and switches it on (line active) once the greeting runs, so the boot
// loader is caught without anyone touching the board.

#include <QString>
#include <QStringList>

class SerialPort;

enum class PowerCycle { None = 0, Dtr = 1, Rts = 2 };

namespace power_cycle {

// How long the MCU stays off before the greeting starts (long enough for the supply to fall).
constexpr int kOffMs = 300;

// "none", "dtr", "rts" (the CLI's words and the texts the window's list shows in that order).
QString name(PowerCycle choice);
// Parses "none"/"off", "dtr", "rts" (any case); false for anything else.
bool parse(const QString& text, PowerCycle& choice);
// The list the options page offers, in index order (index = int(PowerCycle)).
QStringList choice_texts();

// Drives the chosen line: active (MCU on) or inactive (MCU off). Nothing for None.
void set_power(SerialPort& port, PowerCycle choice, bool on);

// The settings key under section "Settings": the index of the choice as text ("0", "1", "2").
extern const QString kSettingsKey;   // "PowerCycle"
// The stored text back to a choice: unusable or missing text gives None.
PowerCycle from_stored(const QString& text);
QString to_stored(PowerCycle choice);

} // namespace power_cycle
