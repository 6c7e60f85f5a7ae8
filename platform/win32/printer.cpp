// Placeholder: the Win32 printing is being built; this lets KVXMon.exe link until it lands.
#include "platform/printer.h"

namespace platform {

uint32_t ChoosePrinter(WindowHandle, DeviceContext* printer) {
    *printer = nullptr;
    return 1;
}
void DeletePrinterContext(DeviceContext) {}
int StartDoc(DeviceContext, const char*) { return 0; }
int StartPage(DeviceContext) { return 0; }
int EndPage(DeviceContext) { return 0; }
int EndDoc(DeviceContext) { return 0; }
void SetPrintDialogHook(PrintDialogHook) {}

}  // namespace platform
