#pragma once
// The chip-option choices: double speed and oscillator gain (the choices a model family offers
// next to the download), and the options page's data-flash erase, P1.0/P1.1, AUX RAM and
// reset-closes-watchdog choices.

#include <QObject>

class OptionChoices : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The family's defaults: single speed, and half gain where the family has the gain choice.
    void apply_family_defaults(int model_family);

    bool double_speed_yes() const { return double_speed_; }
    bool half_gain() const { return half_gain_; }
    void set_double_speed(bool yes);
    void set_half_gain(bool half);

    bool erase_data_yes = false;        // erase the data flash with the application area
    bool p10_p11_to_gnd_yes = false;    // download only with P1.0 and P1.1 tied to ground
    bool aux_ram_no = false;            // no access to the internal AUX RAM
    bool rst_close_wdt_no = false;      // only a power cycle ends the watchdog

    // Family-2 option byte the choices ask for (0xFF with the chosen bits cleared; bit 1 untouched).
    quint8 desired_option_byte() const;

signals:
    void changed();
    void family_defaults_applied(int model_family);

private:
    bool double_speed_ = false;
    bool half_gain_ = false;
};
