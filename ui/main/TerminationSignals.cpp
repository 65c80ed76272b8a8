#include "ui/main/TerminationSignals.h"

#include <QCoreApplication>

#ifndef _WIN32
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace pyx {

#ifndef _WIN32

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// [0] written by the handler, [1] read by the application's thread.
int g_socket[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Nothing else is safe here; a full socket already holds a quit.
    [[maybe_unused]] const ssize_t written = ::write(g_socket[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QCoreApplication& app) : QObject(&app) {
    if (g_socket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_socket) != 0) return;
    notifier_ = new QSocketNotifier(g_socket[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this, &app] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_socket[1], &byte, 1);
        requested_ = true;
        // Not quit(): that asks the windows to close first, and the main window only hides.
        app.exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals) ::sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr) return;
    for (const int s : kSignals) std::signal(s, SIG_DFL);
    delete notifier_;
    for (int& fd : g_socket) {
        ::close(fd);
        fd = -1;
    }
}

#else

TerminationSignals::TerminationSignals(QCoreApplication& app) : QObject(&app) {}
TerminationSignals::~TerminationSignals() = default;

#endif

}  // namespace pyx
