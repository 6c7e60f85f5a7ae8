// Platform-private: what the other Win32 window-system modules (dialogs, printing, the screen
// dump) need of the main window: its native handle and its client image.
#pragma once

#include "platform/win32/win32.h"
#include "platform/window.h"

namespace platform {

// The native window, or nullptr for a handle that is not a live window (dialogs then have no
// owner).
HWND NativeWindow(WindowHandle window);

}  // namespace platform
