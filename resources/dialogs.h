// The dialog layouts: the four parameter pages (200 Limit 1, 203 Limit 2, 204 dP/dt, 202 Setup)
// and the About box (101) with its logo bitmap (227). Controls in tab order, dialog units.
#pragma once

#include "platform/dialog.h"

extern const platform::DialogTemplate kLimit1PageLayout;
extern const platform::DialogTemplate kSetupPageLayout;
extern const platform::DialogTemplate kLimit2PageLayout;
extern const platform::DialogTemplate kDpdtPageLayout;
extern const platform::DialogTemplate kAboutDialogLayout;

inline constexpr int kLogoBitmapId = 227;
extern const char* const* const kLogoBitmap;
