// A modal property sheet: pages built from dialog layouts as tabs, with OK and Cancel. Each page
// is created when it first becomes current and gets InitDialog then, SetActive whenever it becomes
// current, KillActive when it is left or OK is pressed, Apply on OK and Reset on Cancel, the
// last two only if it was ever shown. Ctrl+Tab and Ctrl+PageDown (Ctrl+Shift+Tab, Ctrl+PageUp)
// go to the next (previous) page from any control, as a click on its tab would, and never reach
// a control; the focus starts, and after such a key lands, on the page's first control.
#pragma once

#include "platform/dialog.h"

namespace platform {

struct PropertySheetPage {
    const DialogTemplate* layout;
    const char* title;  // Windows-1252, copied when the sheet is created
    DialogProcedure procedure;
};

struct PropertySheetSpec {
    const char* caption;  // Windows-1252
    const PropertySheetPage* pages;
    int pageCount;
    int startPage;
};

// 1 after OK (every shown page applied), 0 after Cancel, Escape or the close box, -1 when the
// sheet cannot be created (no window system, or a page without layout or procedure).
int ShowPropertySheet(WindowHandle owner, const PropertySheetSpec& spec);

// The page currently shown by a sheet, and a page by index (null until it has been created).
DialogHandle CurrentSheetPage(DialogHandle sheet);
DialogHandle SheetPage(DialogHandle sheet, int index);

}  // namespace platform
