// Platform-private: the Qt widgets behind a window handle, for the parts of the platform that
// show something owned by the window (message boxes, dialogs) and for tests that feed real input
// events to it.
#pragma once

#include <QAction>
#include <QWidget>
#include <vector>

#include "platform/window.h"

namespace platform {

// Each returns nullptr when the handle is not a live window.
QWidget* WindowWidget(WindowHandle window);
QWidget* ClientWidget(WindowHandle window);
// The first menu action that carries commandId.
QAction* FindMenuAction(WindowHandle window, int commandId);
// Every live window, in the order they were created.
std::vector<WindowHandle> LiveWindowHandles();

}  // namespace platform
