#pragma once
// The "Step4" area next to the download: the option rows a model family offers, their layout
// (twips) and captions, and which buttons show the choices.

#include "ui/panel_item.h"

#include <QObject>
#include <array>

class OptionChoices;

class OptionPanel : public QObject {
    Q_OBJECT
public:
    explicit OptionPanel(const OptionChoices& choices, QObject* parent = nullptr);

    // Lays the area out anew for the family (the choices hold their family defaults).
    void arrange_option_panel(int model_family);
    // The option buttons usable (those shown) or not.
    void set_buttons_enabled(bool on);

    std::array<PanelItem, 8> Picture2;               // one frame per option row
    std::array<PanelItem, 8> LabOption;              // row captions
    std::array<std::array<PanelItem, 2>, 8> Option;  // Option0..Option7, element 0 "YES", element 1 the other
    std::array<PanelItem, 2> LabOptionC;
    PanelItem Label7;                                // the gain hint

signals:
    void changed();

private:
    void show_choices();

    const OptionChoices& choices_;
};
