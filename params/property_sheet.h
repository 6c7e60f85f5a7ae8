// The parameter property sheet: four pages (Limit 1, Limit 2, dP/dt, Setup) that edit the edit
// copy of the parameter words and queue the words that differ from the device copy on OK.
#pragma once

#include "platform/handles.h"

// 1 after OK (changed words queued), 0 after Cancel, -1 when the sheet could not be created.
int ShowParameterSheet(platform::WindowHandle owner);
