#include "ui/main/MainWindowClicks.h"

#include <QCoreApplication>

#include "ui/controls/CCommandEvent.h"
#include "ui/main/MainWindowControls.h"

namespace pyx {

void MainWindowClicks::Send(int id) const {
    CCommandEvent click(id, controls_.Control(id));
    QCoreApplication::sendEvent(&window_, &click);
}

void MainWindowClicks::Post(int id) const {
    QCoreApplication::postEvent(&window_, new CCommandEvent(id, controls_.Control(id)));
}

}  // namespace pyx
