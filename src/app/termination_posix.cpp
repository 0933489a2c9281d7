#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

#include "app/termination.h"

namespace orv::app {
namespace {

int gWake[2] = {-1, -1};
volatile sig_atomic_t gSignals = 0;

// Only what is safe in a signal handler: a byte down the pipe, or, the second time, the
// signal's own default end.
void OnTerminationSignal(int signal) {
    gSignals = gSignals + 1;
    if (gSignals > 1) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gWake[1], &byte, 1);
}

}  // namespace

void CloseOnTerminationSignals(QWidget& window) {
    if (::pipe(gWake) != 0) return;  // the signals keep their default action
    for (int fd : gWake) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(gWake[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(gWake[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        [[maybe_unused]] const ssize_t n = ::read(gWake[0], bytes, sizeof bytes);
        window.close();
        // A transfer puts the close off until it has ended: say so where the signal came from.
        if (window.isVisible())
            std::fputs(
                "orv-config: closing when the exchange with the unit has ended; stopping a Write "
                "now would leave the unit with a mix. Press Ctrl+C again to end at once.\n",
                stderr);
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace orv::app
