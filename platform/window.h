// The main window for the system code: window-system events arrive as messages for one window
// procedure; timers by id; menus from menu data with check marks; child push buttons; and a
// persistent client image that invalidation, erasing and painting work on.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/menu.h"

namespace platform {

enum class MessageType {
    Create,           // during CreateMainWindow, before the window is shown
    Close,            // the user closes the window; default processing destroys it
    Destroy,          // the window is being destroyed
    SetFocus,         // the window got the keyboard focus
    EraseBackground,  // default processing fills the update region with the background
    Paint,            // paint the update region (BeginPaint / EndPaint)
    KeyDown,
    KeyUp,
    Command,  // menu command or child button click (id), or a posted command
    Timer,    // timer tick (id)
};

inline constexpr int kKeySpace = 0x20;
inline constexpr int kKeyPause = 0x13;

struct WindowMessage {
    MessageType type;
    int id = 0;                // Command: command or control id; Timer: timer id
    int key = 0;               // KeyDown, KeyUp: virtual key code (kKeySpace, kKeyPause, ...)
    bool autoRepeat = false;   // KeyDown: a repeat of a held key
    int focusFromControl = 0;  // SetFocus: control id of the child that lost the focus, or 0
};

// Returns true when the message was handled; false asks for the default processing.
using WindowProcedure = bool (*)(WindowHandle window, const WindowMessage& message);

// Must run first in main(): sets up the window system. Returns false, having set up nothing,
// when no display is given (DISPLAY, WAYLAND_DISPLAY) and no platform is named (QT_QPA_PLATFORM,
// e.g. offscreen for tests): the window would be shown nowhere.
bool InitApplication(int& argc, char** argv);

// A fixed-size top-level window centred on the screen, with the given client size (below the
// menu bar) and class background colour. The procedure receives Create before this returns.
// Returns nullptr when the window cannot be created.
WindowHandle CreateMainWindow(const char* title, int clientWidth, int clientHeight,
                              uint32_t backgroundRgb, WindowProcedure procedure);
void ShowWindow(WindowHandle window);
// Sends Destroy, then removes the window.
void DestroyWindow(WindowHandle window);
void SetWindowTitle(WindowHandle window, const char* title);
// The window's (and the application's) icon, from image data in XPM form.
void SetWindowIcon(WindowHandle window, const char* const* xpm);

// Runs until PostQuitMessage; returns its code.
int RunMessageLoop();
void PostQuitMessage(int exitCode);
// Delivers a Command message later, after the current message has been handled.
void PostCommand(WindowHandle window, int commandId);
// Delivers a message now, as the window system would (tests drive the window this way).
bool SendWindowMessage(WindowHandle window, const WindowMessage& message);

// Replaces the menu bar (the old one is destroyed). No check marks are set by the data.
void SetMenu(WindowHandle window, const MenuResource* menu);
void CheckMenuItem(WindowHandle window, int commandId, bool checked);
bool IsMenuItemChecked(WindowHandle window, int commandId);
// How many menu bars the window holds (tests: switching menus never leaves an old one behind).
int AttachedMenuCount(WindowHandle window);

// Periodic timers by id; a tick of a running timer delivers Timer(id). Ticks wait for the next
// frame (at most 40 ms), so that one wake-up serves every timer and the paint they cause.
void SetTimer(WindowHandle window, int timerId, int periodMs);
void KillTimer(WindowHandle window, int timerId);
// check(timerId) tells whether a tick of that timer, delivered now, would change nothing. While it
// says so of every running timer, the window does not wake for their ticks; input, a command or a
// dialog on the window thread, or WakeWindowTimers from another thread, wakes them, and every
// timer carries on in step as though each tick had been delivered. nullptr: every tick is.
using TimerIdleCheck = bool (*)(int timerId);
void SetTimerIdleCheck(WindowHandle window, TimerIdleCheck check);
// Any thread, after changing what the checks read.
void WakeWindowTimers();

// A push button child at client coordinates; a click delivers Command(controlId).
void CreatePushButton(WindowHandle window, int controlId, const char* text, int x, int y, int width,
                      int height);
// Gives the keyboard focus to the main window itself.
void SetFocus(WindowHandle window);
void SetWaitCursor(WindowHandle window, bool waiting);

// Adds to the update region (nullptr: the whole client area). With erase, the next paint is
// preceded by EraseBackground. The paint happens when the event loop next runs, or at once by
// UpdateWindow.
void InvalidateRect(WindowHandle window, const Rect* rect, bool erase);
void UpdateWindow(WindowHandle window);

// The client image as shown: pixel colour as Rgb(), for tests and the screen dump;
// kInvalidPixel outside the client area or for a handle that is not a live window.
inline constexpr uint32_t kInvalidPixel = 0xFFFFFFFF;
uint32_t GetClientPixel(WindowHandle window, int x, int y);
int ClientWidth(WindowHandle window);
int ClientHeight(WindowHandle window);
// Saves the client image as PNG with the push buttons drawn over it, as the user sees the
// window (demo screenshots); false on failure.
bool SaveClientImage(WindowHandle window, const char* path);

}  // namespace platform
