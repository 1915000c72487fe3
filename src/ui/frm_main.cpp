// frmMain: the form's size in twips and the page switching.

#include "ui/frm_main.h"

#include <QGroupBox>
#include <QTabBar>

int frmMain::form_width() const
{
    return tw_.tw(width()) + kNonClientWidth;
}

int frmMain::form_height() const
{
    return tw_.tw(height()) + kNonClientHeight;
}

void frmMain::set_form_geometry(int left, int top, int width, int height)
{
    move(tw_.px(left), tw_.px(top));
    resize(tw_.px(qMax(width, kMinWidth) - kNonClientWidth), tw_.px(qMax(height, kMinHeight) - kNonClientHeight));
}

// ---- Pages -----------------------------------------------------------------------------------

void frmMain::TabStrip1_Click()
{
    const int i = TabStrip1->currentIndex();
    if (i < 0 || i > 7)
        return;
    if (TabStrip1->tabText(i) == QLatin1String("_no_"))
        return;   // that model has no such page: the previous page stays
    for (QGroupBox* page : pages)
        page->setVisible(false);
    pages[i]->setVisible(true);
}

int frmMain::visible_page() const
{
    int found = -1;
    for (int i = 0; i < 8; ++i)
        if (!pages[i]->isHidden()) {
            if (found >= 0)
                return -1;
            found = i;
        }
    return found;
}
