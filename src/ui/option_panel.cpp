#include "ui/option_panel.h"

#include "device/option_choices.h"

OptionPanel::OptionPanel(const OptionChoices& choices, QObject* parent) : QObject(parent), choices_(choices)
{
    connect(&choices, &OptionChoices::changed, this, [this] {
        show_choices();
        emit changed();
    });
    connect(&choices, &OptionChoices::family_defaults_applied, this, &OptionPanel::arrange_option_panel);
}

void OptionPanel::arrange_option_panel(int model_family)
{
    for (PanelItem& item : LabOptionC)
        item.visible = false;
    for (auto& pair : Option)
        for (PanelItem& b : pair)
            b.visible = false;
    for (PanelItem& p : Picture2)
        p.visible = false;
    for (PanelItem& l : LabOption)
        l.visible = false;
    Label7.visible = false;

    auto show = [](PanelItem& item, int top, int left, int width) {
        item.top = top;
        item.left = left;
        if (width >= 0)
            item.width = width;
        item.visible = true;
        item.enabled = true;
    };
    Option[0][0].caption = QStringLiteral("YES");
    Option[0][1].caption = QStringLiteral("NO");

    if (model_family == 1) {
        show(Picture2[0], 450, 800, 4000);
        show(LabOption[0], 0, 0, 3600);
        LabOption[0].caption = QStringLiteral("双倍速、加密位只能由编程器擦除、读、写。");
    } else if (model_family == 0 || model_family == 2) {
        if (model_family == 0)
            show(Picture2[0], 250, 800, 4000);
        else
            show(Picture2[0], 230, 550, 4000);
        show(LabOption[0], 0, 0, 2600);
        LabOption[0].caption = QStringLiteral("Double speed / 双倍速:");
        show(Option[0][0], LabOption[0].top, 2100, -1);
        show(Option[0][1], LabOption[0].top, Option[0][0].left + (model_family == 0 ? 700 : 1200), -1);

        if (model_family == 0) {
            show(LabOptionC[0], 540, 150, 5400);
            LabOptionC[0].caption = QStringLiteral("注:一旦烧录双倍速,由编程器擦除整个芯片才可恢复为单倍速");
            LabOptionC[0].on_top = true;
            LabOptionC[1].left = LabOptionC[0].left;
            LabOptionC[1].top = LabOptionC[0].top;
            LabOptionC[1].caption = QStringLiteral("整个芯片才可恢复为单倍速。");
            LabOptionC[1].enabled = true;
            LabOptionC[1].visible = false;
        } else {
            show(Picture2[1], 450, 100, 5000);
            show(LabOption[1], 0, 530, 3000);
            LabOption[1].caption = QStringLiteral(" OSCDN (OSC Control):");
            show(Option[1][0], LabOption[0].top, 2550, -1);
            Option[1][0].caption = QStringLiteral("1/2 gain");
            show(Option[1][1], Option[0][0].top, Option[1][0].left + 1200, -1);
            Option[1][1].caption = QStringLiteral("full gain");
            show(Label7, 670, 400, -1);
            Label7.caption = QStringLiteral("5V 单片机 24MHz 以下、3V单片机 16MHz 以下选 1/2 gain");
        }
    }
    show_choices();
    emit changed();
}

void OptionPanel::show_choices()
{
    // A pair shows its choice while it is on the panel; a hidden pair selects nothing.
    const bool yes[2] = {choices_.double_speed_yes(), choices_.half_gain()};
    for (int row = 0; row < 2; ++row) {
        Option[row][0].selected = Option[row][0].visible && yes[row];
        Option[row][1].selected = Option[row][1].visible && !yes[row];
    }
}

void OptionPanel::set_buttons_enabled(bool on)
{
    for (auto& pair : Option)
        for (PanelItem& b : pair)
            b.enabled = on && b.visible;
}
