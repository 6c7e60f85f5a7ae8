// Platform-private: the Qt widgets behind a window handle, for the parts of the platform that
// show something owned by the window (message boxes, dialogs) and for tests that feed real input
// events to it.
#pragma once

#include <QAction>
#include <QWidget>
#include <vector>

#include "platform/window.h"
#include "platform/common/window_timers.h"

namespace platform {

// Each returns nullptr when the handle is not a live window.
QWidget* WindowWidget(WindowHandle window);
QWidget* ClientWidget(WindowHandle window);
// The first menu action that carries commandId.
QAction* FindMenuAction(WindowHandle window, int commandId);
// The window's timers once it has one (tests run them on a clock of their own).
WindowTimers* TimersOf(WindowHandle window);
// Every live window, in the order they were created.
std::vector<WindowHandle> LiveWindowHandles();
// True while RunMessageLoop's own loop handles the event, not a box's or a dialog's loop inside
// it, nor a box shown while the window is still being created (before any loop runs).
bool InMainMessageLoop();

}  // namespace platform
