#include "ui/controls/ControlClock.h"

#include <QElapsedTimer>

qint64 SystemTickMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed() + 1;
}
