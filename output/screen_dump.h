// The screen dump: a picture of the main window saved as a Windows bitmap file.
#pragma once

#include "platform/handles.h"

// Menu command Screen dump: capture the window, ask for a file name, write the bitmap.
void RunScreenDumpCommand(platform::WindowHandle owner);
