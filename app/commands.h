// The menu commands: port choice and probing, the parameter sheet and files, roll time, stop at
// alarm, language, printing, screen dump, About and Exit. Each runs to its end on the window
// thread, waits for the device included.
#pragma once

#include <cstdint>

#include "platform/handles.h"

inline constexpr int kCmdAbout = 103;
inline constexpr int kCmdExit = 105;
inline constexpr int kCmdProbePort = 500;  // posted after a successful port change
inline constexpr int kCmdParameters = 2000;
inline constexpr int kCmdSaveParameters = 2009;
inline constexpr int kCmdLoadParameters = 2010;
inline constexpr int kCmdPortBase = 2000;  // + port 1..8
inline constexpr int kCmdRollBase = 2016;  // + rollIndex
inline constexpr int kCmdStopAtAlarm = 2021;
inline constexpr int kCmdLanguageBase = 2027;  // + languageBase
inline constexpr int kMenuBase = 1044;         // + languageBase
inline constexpr int kCmdScreenDump = 2033;
inline constexpr int kCmdPrint = 2034;
inline constexpr int kCmdAutoConnect = 2035;

inline constexpr int kBaud = 9600;
inline constexpr int kNotOpenMarker = 10;

// Runs the command; false for an id that is no menu command (default processing).
bool RunMenuCommand(platform::WindowHandle window, int id);

// The selected port 1..8, without the not-open marker.
int SelectedPort();
// Attaches the menu of the current language with the marks of the current settings.
void AttachMenu(platform::WindowHandle window);
// The title from slot 34 and Qt's own dialog texts, both in the current language.
void ApplyLanguage(platform::WindowHandle window);
// Slot 83 with the code when a settings save failed.
void ShowSettingsSaveResult(platform::WindowHandle window, int32_t result);
