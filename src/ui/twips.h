#pragma once
// Window positions and sizes are kept in twips (1440 per inch) and turned into pixels at the
// screen's logical DPI.

#include <QRect>
#include <QtGlobal>

class Twips {
public:
    explicit Twips(double logical_dpi = 96.0) : dpi_(logical_dpi > 1.0 ? logical_dpi : 96.0) {}

    double dpi() const { return dpi_; }
    int px(int twips) const { return qRound(twips * dpi_ / 1440.0); }
    int tw(int pixels) const { return qRound(pixels * 1440.0 / dpi_); }
    QRect rect(int left, int top, int width, int height) const
    {
        return QRect(px(left), px(top), px(width), px(height));
    }

private:
    double dpi_;
};
