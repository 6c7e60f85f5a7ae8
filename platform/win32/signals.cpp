// Termination requests from outside: Ctrl+C, Ctrl+Break or the console closing (for a program
// started from a console), and the session ending (logoff, shutdown). The console handler runs on
// a thread of its own and only posts to the window thread; there open menus and boxes are
// dismissed and every window is closed as by its close button, from the main message loop.
#include "platform/signals.h"

#include <atomic>
#include <vector>

#include "platform/win32/window_internal.h"

namespace platform {
namespace {

// A request that comes this long after the first ends the program at once: the close hangs.
constexpr ULONGLONG kHungCloseMs = 2000;
// The system ends the process once the handler returns from a console close, logoff or shutdown,
// and gives it 5 s; the handler waits this long for the windows to close first.
constexpr DWORD kCloseWaitMs = 4500;

std::atomic<ULONGLONG> firstRequest{0};
std::atomic<bool> installed{false};
HANDLE closedEvent = nullptr;  // set when the windows have closed; made before the handler

// Window thread only.
bool requested = false;
bool closed = false;

BOOL WINAPI OnConsoleControl(DWORD type) {
    const ULONGLONG now = GetTickCount64();
    ULONGLONG expected = 0;
    if (!firstRequest.compare_exchange_strong(expected, now) && now - expected >= kHungCloseMs) {
        return FALSE;  // the default handler ends the process
    }
    HWND target = MessageWindow();
    if (target == nullptr || !PostMessageW(target, kTerminationRequest, 0, 0)) {
        return FALSE;
    }
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(closedEvent, kCloseWaitMs);
    }
    return TRUE;
}

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM list) {
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    }
    return TRUE;
}

// The thread's boxes and dialogs: its enabled visible top-level windows other than the main
// windows (a modal box disables its owner).
std::vector<HWND> OpenBoxes() {
    std::vector<HWND> all;
    EnumThreadWindows(GetCurrentThreadId(), CollectBox, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> boxes;
    const std::vector<WindowHandle> windows = LiveWindowHandles();
    for (HWND hwnd : all) {
        bool main = false;
        for (WindowHandle window : windows) {
            main = main || NativeWindow(window) == hwnd;
        }
        if (!main) {
            boxes.push_back(hwnd);
        }
    }
    return boxes;
}

// A menu or a box first: the user would have to dismiss it before the close button reacts. The
// answer is the one that changes nothing: No where the box asks, Cancel elsewhere.
bool DismissMenusAndBoxes() {
    EndMenu();
    const std::vector<HWND> boxes = OpenBoxes();
    for (HWND box : boxes) {
        const int answer = GetDlgItem(box, IDNO) != nullptr ? IDNO : IDCANCEL;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    }
    return !boxes.empty();
}

void CloseAll() {
    closed = true;
    // As by each window's close button, shown yet or not: the window procedure decides, and its
    // default processing destroys the window.
    const std::vector<WindowHandle> windows = LiveWindowHandles();
    for (WindowHandle window : windows) {
        SendMessageW(NativeWindow(window), WM_CLOSE, 0, 0);
    }
    // No window to end the program through: the loop ends here.
    if (windows.empty()) {
        PostQuitMessage(0);
    }
}

}  // namespace

void OnTerminationRequest() {
    if (!requested) {
        requested = true;
        // Every 20 ms from now on, so that a box the close itself opens (settings not saved) is
        // dismissed too: a request to end must not wait for a person who may not be there.
        SetTimer(MessageWindow(), kDismissTimer, 20, nullptr);
    }
    DismissMenusAndBoxes();
    // The main loop closes the windows once it runs: a box's loop still has the procedure that
    // opened it on the stack. This message brings the main loop round if nothing else does.
    PostMessageW(MessageWindow(), WM_NULL, 0, 0);
}

namespace {

// Every window has closed: the request is done, and the console handler may return.
void Finished() {
    if (closedEvent != nullptr) {
        ::SetEvent(closedEvent);
    }
    KillTimer(MessageWindow(), kDismissTimer);
    requested = false;
    closed = false;
}

}  // namespace

void AfterMainLoopMessage() {
    if (!requested) {
        return;
    }
    if (!closed && OpenBoxes().empty()) {
        CloseAll();
    }
    if (closed && LiveWindowHandles().empty()) {
        Finished();
    }
}

void CloseForSessionEnd() {
    if (!closed) {
        requested = true;
        CloseAll();
    }
    if (LiveWindowHandles().empty()) {
        Finished();
    }
}

bool CloseWindowsOnTerminationSignals() {
    if (MessageWindow() == nullptr || installed.exchange(true)) {
        return false;
    }
    closedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return closedEvent != nullptr && SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

}  // namespace platform
