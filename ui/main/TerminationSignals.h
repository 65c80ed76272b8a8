#pragma once
#include <QObject>

class QCoreApplication;
class QSocketNotifier;

namespace pyx {

// SIGTERM, SIGINT and SIGHUP (the session manager's end, Ctrl+C in a terminal, a closed
// terminal) end the application's event loop, so the program's end still runs
// instead of the process vanishing with a fan held at a fixed level. The handler only writes
// a byte into a socket; the quit happens on the application's own thread. One at a time; on
// Windows it does nothing.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QCoreApplication& app);
    ~TerminationSignals() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pyx
