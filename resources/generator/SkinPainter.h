#pragma once

#include <QImage>
#include <QPainter>

// The 750 x 810 window skins: 130 with the basic lighting effects, 204 with the zone
// controller modes, 205 with the effect controller modes. Each carries the captions, wells
// and gauges that the controls laid over it need, and is white only outside the window's
// rounded outline.
class SkinPainter
{
public:
    static constexpr int Width = 750;
    static constexpr int Height = 810;

    static QImage Skin(int id);

private:
    static void TitleBar(QPainter& p);
    static void Monitor(QPainter& p);
    static void Tuning(QPainter& p);
    static void Lighting(QPainter& p, int id);
    static void Modes(QPainter& p);
    static void Footer(QPainter& p);
    static void Outline(QImage& img);
};
