// Stub: the Qt main window comes with the window work.
#include "platform/window.h"

namespace platform {

void InitApplication(int&, char**) {}
WindowHandle CreateMainWindow(const char*, int, int, uint32_t, WindowProcedure) { return nullptr; }
void ShowWindow(WindowHandle) {}
void DestroyWindow(WindowHandle) {}
void SetWindowTitle(WindowHandle, const char*) {}
int RunMessageLoop() { return 0; }
void PostQuitMessage(int) {}
void PostCommand(WindowHandle, int) {}
bool SendWindowMessage(WindowHandle, const WindowMessage&) { return false; }
void SetMenu(WindowHandle, const MenuResource*) {}
void CheckMenuItem(WindowHandle, int, bool) {}
bool IsMenuItemChecked(WindowHandle, int) { return false; }
int AttachedMenuCount(WindowHandle) { return 0; }
void SetTimer(WindowHandle, int, int) {}
void KillTimer(WindowHandle, int) {}
void CreatePushButton(WindowHandle, int, const char*, int, int, int, int) {}
void SetFocus(WindowHandle) {}
void SetWaitCursor(WindowHandle, bool) {}
void InvalidateRect(WindowHandle, const Rect*, bool) {}
void UpdateWindow(WindowHandle) {}
uint32_t GetClientPixel(WindowHandle, int, int) { return 0; }
int ClientWidth(WindowHandle) { return 0; }
int ClientHeight(WindowHandle) { return 0; }
bool SaveClientImage(WindowHandle, const char*) { return false; }

}  // namespace platform
