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
//
// Made before the start-up, so that a signal during it is not lost: it waits in the socket for
// the event loop, or, taken in a loop of the start-up's own (a message box), is Requested.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QCoreApplication& app);
    ~TerminationSignals() override;

    // Whether a signal has asked the program to end: the event loop it ended may have been
    // one that ran before the application's own.
    bool Requested() const { return requested_; }

private:
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

}  // namespace pyx
