// The main window: its procedure dispatches every window message, menu command and timer tick,
// and owns what is created with the window (settings, link, menu, timers, drawing objects, the
// Reset buttons) and released when it is destroyed.
#pragma once

#include <cstdint>

#include "platform/handles.h"
#include "platform/window.h"

// The client area below the menu bar: every pixel the window draws lies inside it.
inline constexpr int kClientWidth = 960;
inline constexpr int kClientHeight = 355;
// Uncovered client pixels (between and around the framed areas) show this grey.
inline constexpr uint32_t kClassBackground = platform::Rgb(128, 128, 128);

inline constexpr int kGraphTimer = 20;
inline constexpr int kLinkTimer = 50;
inline constexpr int kPanelTimer = 300;
inline constexpr int kIdentityTimer = 1000;
inline constexpr int kScreenshotTimer = 9000;

bool MainWindowProc(platform::WindowHandle window, const platform::WindowMessage& message);

// Everything between setting up the window system and the message loop: the title, the window
// (which loads the settings and opens the link while it is created), replyEvent, showing it.
// Returns nullptr when the window cannot be created.
platform::WindowHandle StartMainWindow();

// Saves the client image to path once, delayMs after now (demo screenshots).
void ScheduleScreenshot(platform::WindowHandle window, const char* path, int delayMs);
