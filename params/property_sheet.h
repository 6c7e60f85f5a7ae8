// The parameter property sheet: four pages (Limit 1, Limit 2, dP/dt, Setup) that edit the edit
// copy of the parameter words and queue the words that differ from the device copy on OK.
#pragma once

#include "platform/dialog.h"
#include "platform/handles.h"

// 1 after OK (changed words queued), 0 after Cancel, -1 when the sheet could not be created.
int ShowParameterSheet(platform::WindowHandle owner);

// The page procedures, run by the sheet for the pages' messages.
bool Limit1PageProc(platform::DialogHandle page, const platform::DialogMessage& message);
bool Limit2PageProc(platform::DialogHandle page, const platform::DialogMessage& message);
bool DpdtPageProc(platform::DialogHandle page, const platform::DialogMessage& message);
bool SetupPageProc(platform::DialogHandle page, const platform::DialogMessage& message);
