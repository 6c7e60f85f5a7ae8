// Printer choice and printed pages: the system's print dialog (its printers and printing to a
// PDF file), and a device context on the chosen printer with the document and page calls. The
// page is drawn through the same device context calls as the window, under a logical mapping.
#pragma once

#include <cstdint>

#include "platform/device_context.h"
#include "platform/handles.h"

namespace platform {

// Shows the print dialog, owned by owner. Returns 0 with a printer context in *printer when the
// user chose to print; 0 with *printer null when the user cancelled; otherwise a non-zero error
// code (no dialog could be shown, or the chosen printer cannot be used) and no context.
uint32_t ChoosePrinter(WindowHandle owner, DeviceContext* printer);
// Releases a printer context; a document still open is abandoned.
void DeletePrinterContext(DeviceContext printer);

// The document and page calls, each > 0 on success and <= 0 when the printer refuses.
int StartDoc(DeviceContext printer, const char* documentName);  // Windows-1252 name
int StartPage(DeviceContext printer);
int EndPage(DeviceContext printer);
int EndDoc(DeviceContext printer);

// The dialog opens with what the user last chose in it during this run (printer or PDF file,
// orientation). When a hook is set, no dialog is shown: pdfPath and landscape hold that offer
// (pdfPath empty when a printer is offered); the hook fills pdfPath with the file to print to
// (empty = cancel), chooses the orientation and returns the result the dialog would.
using PrintDialogHook = uint32_t (*)(char* pdfPath, int pathSize, bool* landscape);
void SetPrintDialogHook(PrintDialogHook hook);

}  // namespace platform
