#include "ui/controls/CCommandEvent.h"

CCommandEvent::CCommandEvent(int id, QWidget* from)
    : QEvent(Command), controlId(id), sender(from)
{
}
