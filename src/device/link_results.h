#pragma once
// What the handshake and connect leave behind for the steps after them.

#include "isp/power_cycle.h"

#include <QString>

struct LinkResults {
    float clock_hz = 0;              // MCU clock measured from the status frame
    QString chip_id_hex;             // status byte 23, two upper-case hex digits
    QString chip_subid_hex;          // status byte 24
    bool chip_id_known = false;      // the status frame carried byte 23
    quint8 baud_reload_hi = 0;
    quint8 baud_reload_lo = 0;
    quint8 alt_reload_hi = 0;
    quint8 alt_reload_lo = 0;
    bool connected = false;
    bool status_read_ok = false;
    qint32 baud = 0;                 // negotiated baud of the last successful handshake
};

// What the user chose for the link: the maximum baud, the external watchdog pin.
struct LinkChoices {
    qint32 max_baud = 115200;        // whole-number value of the maximum-baud text
    bool wdt_pin_enabled = false;    // a pin feeds the watchdog
    QString wdt_pin = QStringLiteral("P0.0");   // the pin, as "P1.7"
    PowerCycle power_cycle = PowerCycle::None;  // line that powers the MCU, cycled by the handshake
};
