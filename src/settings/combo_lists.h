#pragma once
// The fixed item lists of the remembered combo boxes. The settings keep list indexes, so the
// order of these lists is part of the stored format.

#include <QStringList>

namespace ComboLists {
const QStringList& user_code_baud();    // cobUserCodeBaud
const QStringList& demo_baud();         // cob_DEMO_DownLoad_Baud, cob_DEMO_UserCode_Baud
const QStringList& parity();            // the four parity combos
const QStringList& data_bits();         // the four data-bits combos
const QStringList& stop_bits();         // the four stop-bits combos
const QStringList& com_ports();         // combCommPort
const QStringList& redownload_delay();  // comDalay_ReDownLoad (seconds)
const QStringList& wdt_pins();          // comb_WDT "P0.0" .. "P4.3" (not stored)
// Number of models in combMcuModel's list.
int model_count();
}
