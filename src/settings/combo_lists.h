#pragma once
// The fixed item lists of the remembered combo boxes. The settings keep list indexes, so the
// order of these lists is part of the stored format.

#include <QStringList>

namespace ComboLists {
const QStringList& user_code_baud();    // the user command's baud
const QStringList& demo_baud();         // the download routine's and the trigger's baud
const QStringList& parity();            // the four parity combos
const QStringList& data_bits();         // the four data-bits combos
const QStringList& stop_bits();         // the four stop-bits combos
const QStringList& com_ports();         // the port choice
const QStringList& redownload_delay();  // the repeat pause (seconds)
const QStringList& wdt_pins();          // the watchdog pin "P0.0" .. "P4.3" (not stored)
// Number of models in the model list.
int model_count();
}
