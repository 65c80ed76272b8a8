#pragma once

#include <QEvent>

// Posted by a CBitmapSlider to its parent: Moving while the thumb is dragged and its value
// changes, Moved when the mouse button is released or one of the slider's keys is pressed.
class CSliderEvent : public QEvent
{
public:
    static constexpr QEvent::Type Moving = static_cast<QEvent::Type>(0x28D1);
    static constexpr QEvent::Type Moved = static_cast<QEvent::Type>(0x28D2);

    CSliderEvent(QEvent::Type type, int controlId, int position);

    int ControlId() const { return controlId; }
    int Position() const { return position; }

private:
    int controlId;
    int position;
};
