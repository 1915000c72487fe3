#include "device/option_choices.h"

void OptionChoices::apply_family_defaults(int model_family)
{
    double_speed_ = false;
    half_gain_ = model_family == 2;
    emit family_defaults_applied(model_family);
}

void OptionChoices::set_double_speed(bool yes)
{
    double_speed_ = yes;
    emit changed();
}

void OptionChoices::set_half_gain(bool half)
{
    half_gain_ = half;
    emit changed();
}

quint8 OptionChoices::desired_option_byte() const
{
    quint8 o = 0xFF;
    if (double_speed_)
        o &= ~0x01;
    if (half_gain_)
        o &= ~0x10;
    if (erase_data_yes)
        o &= ~0x08;
    if (p10_p11_to_gnd_yes)
        o &= ~0x04;
    if (aux_ram_no)
        o &= ~0x40;
    if (rst_close_wdt_no)
        o &= ~0x80;
    return o;
}
