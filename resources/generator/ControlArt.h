#pragma once

#include <QImage>
#include <QMap>

// The pictures of the skinned controls: window buttons, mode cards, toggles, radios, colour
// swatches and picker, lighting tabs, Reset and Apply, slider tracks and thumbs, the overlay
// that covers the sliders in the preset modes, and the program icon. Each picture is white
// outside its outline, which the buttons cut away.
class ControlArt
{
public:
    // Every control picture by image id.
    static QMap<int, QImage> All();

    static QImage WindowButton(bool close, bool hot);
    static QImage Pill(bool hot);
    static QImage ModeCard(int mode, bool selected);
    static QImage SideButton(int glyph, bool hot, bool disabled);
    static QImage Radio(bool selected);
    static QImage Action(bool apply, bool hot);
    // The fan curve editor's button beside the fan slider, without its caption.
    static QImage CurveButton(bool hot);
    static QImage Track(bool filled);
    static QImage Thumb(bool grey);
    static QImage LoadTab(bool selected);
    static QImage TargetButton(int number, bool selected);
    static QImage Swatch(int preset, bool selected);
    static QImage Picker();
    static QImage Overlay();
    // The program's icon, drawn for `size` x `size` pixels (the skin holds the 64-pixel one;
    // the desktop's icon theme wants it at its own sizes, drawn there rather than scaled).
    static QImage Icon(int size = 64);
};
