// Platform-private: <windows.h> for the Win32 back end, with the macros that collide with the
// platform's own names removed, and the translation of Win32 error codes into the error codes
// the system code tells apart.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// These names are the program's own (platform::CreateFont, ...); the Win32 functions are always
// called by their W names.
#undef CreateEvent
#undef CreateFont
#undef TextOut
#undef SetDlgItemText
#undef GetDlgItemText
#undef StartDoc

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/event.h"

namespace platform {

// Win32 codes that have no counterpart among the program's error codes travel as this base
// plus the Win32 code, so SystemErrorText can still give the system's own words for them.
inline constexpr int32_t kWin32ErrorBase = 0x20000000;

// The program's error code for a Win32 error (GetLastError()).
int32_t ErrorFromWin32(DWORD code);

// Paths and names from the program (its argv, its own file names) are in the ANSI code page,
// which is how the C runtime hands the command line over.
std::wstring WideFromAnsi(std::string_view text);
// What the ANSI code page cannot hold comes back as some other character: callers that hand
// the result on as a path check it by converting it back.
std::string AnsiFromWide(std::wstring_view text);
std::string Utf8FromWide(std::wstring_view text);
// The program's own texts are Windows-1252 whatever the system's code page is; the window system
// gets them as UTF-16 and hands typed text back the same way (what 1252 cannot hold becomes "?").
std::wstring WideFromWindows1252(std::string_view text);
std::string Windows1252FromWide(std::wstring_view text);

// The Win32 event behind an event, for waits beside an I/O completion.
HANDLE EventObjectHandle(EventHandle event);

}  // namespace platform
