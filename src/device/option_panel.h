#pragma once
// The "Step4" double-speed area and the chip-option choices of the options page: which choices a
// model family offers, their layout and defaults, and what the user picked.

#include "device/panel_item.h"

#include <QObject>
#include <array>

class OptionPanel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Lays the area out anew for the family and resets the choices to their defaults.
    void arrange_option_panel(int model_family);

    // ---- Layout (Step4 area) -------------------------------------------------------------------
    std::array<PanelItem, 8> Picture2;               // one frame per option row
    std::array<PanelItem, 8> LabOption;              // row captions
    std::array<std::array<PanelItem, 2>, 8> Option;  // Option0..Option7, element 0 "YES", element 1 the other
    std::array<PanelItem, 2> LabOptionC;
    PanelItem Label7;                                // the gain hint

    // ---- Choices (the options page keeps its fixed layout) -------------------------------------
    bool double_speed_yes() const { return Option[0][0].selected; }   // Option0(0)
    bool half_gain() const { return Option[1][0].selected; }          // Option1(0)
    void set_double_speed(bool yes);
    void set_half_gain(bool half);

    bool erase_data_yes = false;        // opt_erase_data(0) selected, else (1)
    bool p10_p11_to_gnd_yes = false;    // optShot_P10_P11_to_GND(0) selected, else (1)
    bool aux_ram_no = false;            // optAUX_RAM_NO selected, else optAUX_RAM_YES
    bool rst_close_wdt_no = false;      // optRST_CLOSE_WDT_NO selected, else optRST_CLOSE_WDT_YES

    // Family-2 option byte the choices ask for (0xFF with the chosen bits cleared; bit 1 untouched).
    quint8 desired_option_byte() const;

signals:
    void changed();
};
