// Platform-private: what the other Win32 window-system modules (dialogs, printing, the screen
// dump, termination handling) need of the main window: its native handle, its client image and
// the windows that are alive.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/window.h"

namespace platform {

// The native window, or nullptr for a handle that is not a live window (dialogs then have no
// owner).
HWND NativeWindow(WindowHandle window);

// Every live window, in the order they were created.
std::vector<WindowHandle> LiveWindowHandles();

// The window's client image as the screen shows it (device pixels, 0x00RRGGBB, rows from the top)
// with its push buttons drawn over it, and the scale it is drawn at (the monitor's DPI / 96).
// false for a handle that is not a live window.
bool ClientPicture(WindowHandle window, std::vector<uint32_t>* pixels, int* width, int* height,
                   double* scale);

// The hidden message-only window of the window thread, which other threads post to.
HWND MessageWindow();
inline constexpr UINT kTerminationRequest = WM_APP + 0x101;

// Termination handling (signals.cpp), called by the window module: a request reached the window
// thread (the message window got kTerminationRequest, or its dismissal timer ran); the main
// message loop is between two messages; the session is ending, so every window closes now.
void OnTerminationRequest();
void AfterMainLoopMessage();
void CloseForSessionEnd();
inline constexpr UINT_PTR kDismissTimer = 2;

}  // namespace platform
