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
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <vector>

#include "platform/window.h"
#include "platform/qt/window_widgets.h"

namespace platform {
namespace {

// Written by the handler, read by the window thread; a descriptor is fixed before any handler
// is installed, so a plain int that is only read there is enough.
volatile sig_atomic_t writeEnd = -1;

void OnTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
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

void CloseEverything() {
    DismissPopupsAndBoxes();
    // The windows are closed from the outermost message loop only. Inside a box's nested loop the
    // window procedure that opened the box is still on the stack (perhaps still creating the
    // window), and destroying the window under it would leave it working on a dead window; so
    // wait until the dismissed boxes have returned.
    if (QThread::currentThread()->loopLevel() > 1 || QApplication::activeModalWidget() != nullptr ||
        QApplication::activePopupWidget() != nullptr) {
        QTimer::singleShot(20, qApp, CloseEverything);
        return;
    }
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
        if (any) {
            CloseEverything();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // A second request of the same kind takes the default action: it ends a close that hangs.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    bool installed = true;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        installed = sigaction(signalNumber, &action, nullptr) == 0 && installed;
    }
    return installed;
}

}  // namespace platform
