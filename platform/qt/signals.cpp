// Self-pipe for termination signals: the handler writes the signal number, a socket notifier on
// the pipe's read end brings it into the event loop, and there open popups and modal boxes are
// dismissed and every window is closed as by its close button.
#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <ctime>
#include <utility>
#include <vector>

#include "platform/window.h"
#include "platform/qt/window_widgets.h"

namespace platform {
namespace {

// Written by the handler, read by the window thread; a descriptor is fixed before any handler
// is installed, so a plain int that is only read there is enough.
volatile sig_atomic_t writeEnd = -1;

// A request that comes this long after the first ends the program at once: the close hangs.
// Requests closer together are one: a closing terminal sends SIGHUP twice within moments (the
// kernel to the foreground job, then the shell to each of its jobs), and that must not cut short
// the close the first one started, with the line left raw.
constexpr long kHungCloseMs = 2000;
// Only the handler touches these, and the handler is never interrupted by itself (sa_mask).
volatile sig_atomic_t requested = 0;
timespec firstRequest{};

void OnTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (requested == 0) {
        requested = 1;
        firstRequest = now;
    } else if ((now.tv_sec - firstRequest.tv_sec) * 1000L +
                   (now.tv_nsec - firstRequest.tv_nsec) / 1000000L >=
               kHungCloseMs) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
    }
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
    errno = savedErrno;
}

// A popup or a modal box first: the user would have to dismiss it before the close button
// reacts. Rejecting answers "No"/"Cancel", the answer that changes nothing. The bounds keep a box
// that refuses to close from holding the loop here.
void DismissPopupsAndBoxes() {
    for (int i = 0; i < 32 && QApplication::activePopupWidget() != nullptr; ++i) {
        QApplication::activePopupWidget()->close();
    }
    for (int i = 0; i < 32 && QApplication::activeModalWidget() != nullptr; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (modal->isVisible()) {
            break;
        }
    }
}

// Runs every 20 ms from the first request until the program ends.
void CloseEverything() {
    static bool closed = false;
    DismissPopupsAndBoxes();
    // Scheduled before the windows are closed, so that a box the close itself opens (settings not
    // saved) is dismissed too: a request to end must not wait for a person who may not be there.
    // A fresh timer each time, because Qt does not fire a timer inside its own running handler.
    QTimer::singleShot(20, qApp, CloseEverything);
    // The windows are closed from the main message loop only. Inside a box's nested loop the
    // window procedure that opened the box is still on the stack, and destroying the window under
    // it would leave it working on a dead window. That includes a box shown while the window is
    // being created, whose loop is the only one then: the creation would go on (and open the
    // port) for a window already destroyed. So wait until the dismissed boxes have returned.
    if (closed || !InMainMessageLoop() || QApplication::activeModalWidget() != nullptr ||
        QApplication::activePopupWidget() != nullptr) {
        return;
    }
    closed = true;
    // As by each window's close button, shown yet or not: the window procedure decides, and
    // its default processing destroys the window.
    const std::vector<WindowHandle> windows = LiveWindowHandles();
    for (WindowHandle window : windows) {
        if (QWidget* widget = WindowWidget(window)) {
            widget->close();
        }
    }
    // No window to end the program through: end the loop here.
    if (windows.empty()) {
        PostQuitMessage(0);
    }
}

}  // namespace

bool CloseWindowsOnTerminationSignals() {
    if (QCoreApplication::instance() == nullptr || writeEnd >= 0) {
        return false;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    writeEnd = ends[1];
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [readEnd = ends[0]]() {
        unsigned char bytes[64];
        bool any = false;
        while (read(readEnd, bytes, sizeof bytes) > 0) {
            any = true;
        }
        // The first request starts the closing; later ones find it under way.
        static bool started = false;
        if (any && !std::exchange(started, true)) {
            CloseEverything();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    action.sa_flags = SA_RESTART;
    bool installed = true;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        installed = sigaction(signalNumber, &action, nullptr) == 0 && installed;
    }
    return installed;
}

}  // namespace platform
