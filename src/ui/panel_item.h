#pragma once
// One control of a panel as laid out in twips: caption, place, visible, enabled, selected. The
// window copies these onto its widgets.

#include <QString>

struct PanelItem {
    QString caption;
    int left = 0;
    int top = 0;
    int width = 0;
    bool visible = false;
    bool enabled = false;
    bool selected = false;
    bool on_top = false;     // brought to the front

    bool operator==(const PanelItem& o) const
    {
        return caption == o.caption && left == o.left && top == o.top && width == o.width &&
               visible == o.visible && enabled == o.enabled && selected == o.selected && on_top == o.on_top;
    }
};
