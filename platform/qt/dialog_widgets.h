// Platform-private: the Qt widgets behind a dialog handle, for tests that drive a dialog with
// real input events (typing, focus moves, Tab, Return, Escape, choosing a tab).
#pragma once

#include <QDialog>
#include <QTabWidget>
#include <QWidget>

#include "platform/dialog.h"

namespace platform {

// The dialog window a dialog or sheet page lives in; nullptr for a handle that is not live.
QDialog* DialogWidget(DialogHandle dialog);
// The control with this id on the dialog or page (a sheet's own OK and Cancel: on the sheet).
QWidget* DialogItemWidget(DialogHandle dialog, int controlId);
// The tabs of a property sheet; nullptr for anything else.
QTabWidget* SheetTabs(DialogHandle sheet);

}  // namespace platform
