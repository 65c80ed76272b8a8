#include "ui/controls/CSliderEvent.h"

CSliderEvent::CSliderEvent(QEvent::Type type, int id, int pos)
    : QEvent(type), controlId(id), position(pos)
{
}
