// Placeholder: the Win32 main window is being built; this lets KVXMon.exe link until it lands.
#include "platform/device_context.h"
#include "platform/win32/gdi_context.h"
#include "platform/win32/window_internal.h"

namespace platform {

HWND NativeWindow(WindowHandle) { return nullptr; }
bool InitApplication(int&, char**) { return false; }
WindowHandle CreateMainWindow(const char*, int, int, uint32_t, WindowProcedure) { return nullptr; }
void ShowWindow(WindowHandle) {}
void DestroyWindow(WindowHandle) {}
void SetWindowTitle(WindowHandle, const char*) {}
void SetWindowIcon(WindowHandle, const char* const*) {}
int RunMessageLoop() { return 1; }
void PostQuitMessage(int) {}
void PostCommand(WindowHandle, int) {}
bool SendWindowMessage(WindowHandle, const WindowMessage&) { return false; }
void SetMenu(WindowHandle, const MenuResource*) {}
void CheckMenuItem(WindowHandle, int, bool) {}
bool IsMenuItemChecked(WindowHandle, int) { return false; }
int AttachedMenuCount(WindowHandle) { return 0; }
void SetTimer(WindowHandle, int, int) {}
void KillTimer(WindowHandle, int) {}
void SetTimerIdleCheck(WindowHandle, TimerIdleCheck) {}
void WakeWindowTimers() {}
void CreatePushButton(WindowHandle, int, const char*, int, int, int, int) {}
void SetFocus(WindowHandle) {}
void SetWaitCursor(WindowHandle, bool) {}
void InvalidateRect(WindowHandle, const Rect*, bool) {}
void UpdateWindow(WindowHandle) {}
uint32_t GetClientPixel(WindowHandle, int, int) { return kInvalidPixel; }
int ClientWidth(WindowHandle) { return 0; }
int ClientHeight(WindowHandle) { return 0; }
bool SaveClientImage(WindowHandle, const char*) { return false; }
DeviceContext BeginPaint(WindowHandle) { return nullptr; }
void EndPaint(WindowHandle, DeviceContext) {}
DeviceContext GetDC(WindowHandle) { return nullptr; }
void ReleaseDC(WindowHandle, DeviceContext) {}

}  // namespace platform
