// Placeholder: the Win32 property sheet is being built; this lets KVXMon.exe link until it lands.
#include "platform/property_sheet.h"

namespace platform {

int ShowPropertySheet(WindowHandle, const PropertySheetSpec&) { return -1; }
DialogHandle CurrentSheetPage(DialogHandle) { return nullptr; }
DialogHandle SheetPage(DialogHandle, int) { return nullptr; }

}  // namespace platform
