// The About box: the logo, the program's name and version, and OK.
#pragma once

#include "platform/handles.h"

// Modal, owned by owner; returns when the user closes it.
void ShowAboutDialog(platform::WindowHandle owner);
