// Printing through the common print dialog and a printer device context: the page is drawn by
// GDI on the printer's DC under the anisotropic mapping the report sets, and the document and
// page calls are GDI's own. "Microsoft Print to PDF" (Windows 10 and 11) turns the same page into
// a PDF file.
#include "platform/printer.h"

#include <string>
#include <vector>

#include "platform/common/print_support.h"
#include "platform/win32/gdi_context.h"
#include "platform/win32/window_internal.h"

// After <windows.h>, which the lean build keeps them out of.
#include <cderr.h>
#include <commdlg.h>
#include <winspool.h>

namespace platform {
namespace {

constexpr const wchar_t* kPdfPrinter = L"Microsoft Print to PDF";

struct PrinterObject {
    HDC hdc = nullptr;
    DeviceContext dc = nullptr;
    std::wstring outputFile;  // a PDF file, or empty for the printer itself
    bool documentOpen = false;
};

LivePrinters<PrinterObject> livePrinters;

PrinterObject* FindPrinter(DeviceContext dc) {
    return livePrinters.Find(dc);
}

// What the user last chose during this run, offered again by the next Print, as desktop programs
// do: the dialog's printer and page setup (its own DEVNAMES and DEVMODE blocks, which it frees
// and replaces as it needs), and the PDF file and orientation given to the hook. Kept in memory
// alone: the settings file has no room for it. Window thread only.
struct PrintChoice {
    HGLOBAL devMode = nullptr;
    HGLOBAL devNames = nullptr;
    std::string pdfPath;
    bool landscape = false;
};

PrintChoice& LastChoice() {
    static PrintChoice choice;
    return choice;
}

// A context on a printer DC: the page's drawing surface is its printable area.
DeviceContext NewPrinter(HDC hdc, const std::wstring& outputFile) {
    const int width = ::GetDeviceCaps(hdc, HORZRES);
    const int height = ::GetDeviceCaps(hdc, VERTRES);
    DeviceContext dc = WrapDC(hdc, Rect{0, 0, width, height}, width, height, 1.0, true);
    if (dc == nullptr) {
        ::DeleteDC(hdc);
        return nullptr;
    }
    auto* p = new PrinterObject;
    p->hdc = hdc;
    p->dc = dc;
    p->outputFile = outputFile;
    livePrinters.Add(p);
    return dc;
}

// The PDF printer's DC in the given orientation, or null with the system's error code.
HDC PdfPrinterDC(bool landscape, DWORD* error) {
    HANDLE printer = nullptr;
    if (!::OpenPrinterW(const_cast<wchar_t*>(kPdfPrinter), &printer, nullptr)) {
        *error = ::GetLastError();
        return nullptr;
    }
    HDC hdc = nullptr;
    const LONG size = ::DocumentPropertiesW(nullptr, printer, const_cast<wchar_t*>(kPdfPrinter),
                                            nullptr, nullptr, 0);
    if (size > 0) {
        std::vector<unsigned char> block(static_cast<size_t>(size));
        auto* mode = reinterpret_cast<DEVMODEW*>(block.data());
        if (::DocumentPropertiesW(nullptr, printer, const_cast<wchar_t*>(kPdfPrinter), mode,
                                  nullptr, DM_OUT_BUFFER) == IDOK) {
            mode->dmFields |= DM_ORIENTATION;
            mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
            hdc = ::CreateDCW(L"WINSPOOL", kPdfPrinter, nullptr, mode);
        }
    }
    *error = hdc != nullptr ? 0 : ::GetLastError();
    ::ClosePrinter(printer);
    return hdc;
}

// The hook answers in the dialog's place. Its answer is a PDF file, which Windows makes through
// "Microsoft Print to PDF" printing to that file. Where that printer is not installed (older
// Windows, or Wine) no other printer can be trusted to make a PDF, so the choice fails with the
// system's code for the missing printer and the user is told the printer cannot be opened, rather
// than getting some other kind of file under the PDF's name.
uint32_t ChooseThroughHook(PrintDialogHook hook, DeviceContext* printer) {
    PrintChoice& last = LastChoice();
    char path[1024] = {};
    last.pdfPath.copy(path, sizeof path - 1);
    bool landscape = last.landscape;
    const uint32_t result = hook(path, sizeof path, &landscape);
    if (result != 0 || path[0] == '\0') {
        return result;
    }
    last.pdfPath = path;
    last.landscape = landscape;
    DWORD error = 0;
    HDC hdc = PdfPrinterDC(landscape, &error);
    if (hdc == nullptr) {
        return error != 0 ? error : ERROR_INVALID_PRINTER_NAME;
    }
    *printer = NewPrinter(hdc, WideFromAnsi(path));
    return *printer != nullptr ? 0 : ERROR_INVALID_HANDLE;
}

}  // namespace

// The Print Setup form of the common print dialog: the printer and its paper and orientation in
// one dialog, as the program has always offered for its one-page report (there are no page
// ranges or copies to ask for). It returns the printer's DC.
uint32_t ChoosePrinter(WindowHandle owner, DeviceContext* printer) {
    if (printer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *printer = nullptr;
    if (PrintDialogHook hook = CurrentPrintDialogHook()) {
        return ChooseThroughHook(hook, printer);
    }
    PrintChoice& last = LastChoice();
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = NativeWindow(owner);
    dialog.hDevMode = last.devMode;
    dialog.hDevNames = last.devNames;
    // Without any printer the program's own message says the printer cannot be opened; the
    // system's warning before it would say the same twice.
    dialog.Flags = PD_PRINTSETUP | PD_RETURNDC | PD_NOWARNING;
    const BOOL chosen = ::PrintDlgW(&dialog);
    // The dialog may have replaced the blocks, whatever its answer.
    last.devMode = dialog.hDevMode;
    last.devNames = dialog.hDevNames;
    if (!chosen) {
        return ::CommDlgExtendedError();  // 0: cancelled; also no printer installed
    }
    if (dialog.hDC == nullptr) {
        return PDERR_CREATEICFAILURE;
    }
    *printer = NewPrinter(dialog.hDC, std::wstring());
    return *printer != nullptr ? 0 : PDERR_CREATEICFAILURE;
}

void DeletePrinterContext(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr) {
        return;
    }
    livePrinters.Remove(p);
    UnwrapDC(p->dc);
    if (p->documentOpen) {
        // A document never ended is abandoned, not printed half-drawn.
        ::AbortDoc(p->hdc);
    }
    ::DeleteDC(p->hdc);
    delete p;
}

int StartDoc(DeviceContext printer, const char* documentName) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr || p->documentOpen) {
        return 0;
    }
    const std::wstring name = WideFromWindows1252(documentName != nullptr ? documentName : "");
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();
    info.lpszOutput = p->outputFile.empty() ? nullptr : p->outputFile.c_str();
    const int job = ::StartDocW(p->hdc, &info);
    p->documentOpen = job > 0;
    return job;
}

int StartPage(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    return p != nullptr && p->documentOpen ? ::StartPage(p->hdc) : 0;
}

int EndPage(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    return p != nullptr && p->documentOpen ? ::EndPage(p->hdc) : 0;
}

int EndDoc(DeviceContext printer) {
    PrinterObject* p = FindPrinter(printer);
    if (p == nullptr || !p->documentOpen) {
        return 0;
    }
    p->documentOpen = false;
    return ::EndDoc(p->hdc);
}

}  // namespace platform
