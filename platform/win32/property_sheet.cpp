// The property sheet on Win32: comctl32's own, with pages from in-memory templates. comctl32
// creates a page when it first becomes current and sends kill-active, set-active, apply (to every
// created page, in page order) and reset; the pages pass these on to their procedures. The page
// keys are taken here, before any control sees them.
#include "platform/property_sheet.h"

#include <string>
#include <vector>

#include "platform/win32/dialog_internal.h"
#include "platform/win32/window_internal.h"

// After <windows.h>.
#include <commctrl.h>

namespace platform {

using namespace dialog_detail;

namespace {

struct PageStart {
    DialogObject* sheet;
    int index;
    const PropertySheetPage* page;
};

// The sheet whose PropertySheetW call runs (window thread only); comctl32's callback has no
// parameter of its own to carry it.
DialogObject* runningSheet = nullptr;
HHOOK pageKeyHook = nullptr;

int IndexOf(const DialogObject* page) {
    const auto& pages = page->root->pages;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].get() == page) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsLastCreated(const DialogObject* page) {
    const auto& pages = page->root->pages;
    for (size_t i = pages.size(); i-- > 0;) {
        if (pages[i] != nullptr) {
            return pages[i].get() == page;
        }
    }
    return false;
}

void SetResult(HWND page, LONG_PTR result) {
    ::SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
}

// The page notifications; every page may be left and none rejects OK.
BOOL Notify(DialogObject* page, const NMHDR& header) {
    DialogObject* sheet = page->root;
    switch (header.code) {
        case PSN_SETACTIVE:
            sheet->current = IndexOf(page);
            Deliver(page, DialogMessage{DialogMessageType::SetActive});
            // The focus goes to the page's first control once comctl32 has placed it, unless
            // the user is on the tabs (a click on a tab, or the page keys from there).
            if (!sheet->tabsHadFocus) {
                ::PostMessageW(page->window, kFocusPageMessage, 0, 0);
            }
            SetResult(page->window, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            sheet->tabsHadFocus =
                sheet->window != nullptr && ::GetFocus() == PropSheet_GetTabControl(sheet->window);
            Deliver(page, DialogMessage{DialogMessageType::KillActive});
            SetResult(page->window, FALSE);
            return TRUE;
        case PSN_APPLY:
            Deliver(page, DialogMessage{DialogMessageType::Apply});
            if (!sheet->finishing) {
                sheet->applied = true;
            }
            // The sheet closes now: the focus leaving a field as the windows go is no edit.
            if (IsLastCreated(page)) {
                sheet->finishing = true;
            }
            SetResult(page->window, PSNRET_NOERROR);
            return TRUE;
        case PSN_RESET:
            Deliver(page, DialogMessage{DialogMessageType::Reset});
            if (IsLastCreated(page)) {
                sheet->finishing = true;
            }
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<DialogObject*>(::GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const PageStart*>(
                reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
            DialogObject* sheet = start->sheet;
            if (sheet->window == nullptr) {
                sheet->window = ::GetParent(window);
            }
            auto created = std::make_unique<DialogObject>();
            page = created.get();
            page->procedure = start->page->procedure;
            page->root = sheet;
            sheet->pages[static_cast<size_t>(start->index)] = std::move(created);
            ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
            AttachControls(page, window, *start->page->layout);
            Deliver(page, DialogMessage{DialogMessageType::InitDialog});
            return TRUE;
        }
        case kFocusPageMessage: {
            DialogObject* sheet = page != nullptr ? page->root : nullptr;
            if (sheet == nullptr || sheet->finishing || sheet->current != IndexOf(page)) {
                return TRUE;
            }
            HWND target = FirstFocusControl(page);
            if (target == nullptr) {
                target = PropSheet_GetTabControl(sheet->window);
            }
            ::SendMessageW(sheet->window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
            return TRUE;
        }
        case WM_COMMAND:
            return page != nullptr && HandleCommand(page, wParam, lParam) ? TRUE : FALSE;
        case WM_NOTIFY:
            return page != nullptr ? Notify(page, *reinterpret_cast<const NMHDR*>(lParam)) : FALSE;
        default:
            return FALSE;
    }
}

// The sheet's own window procedure is comctl32's; this places the sheet and runs the shown hook
// once its loop runs.
LRESULT CALLBACK SheetSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data) {
    if (message == kShownMessage) {
        // Placed as the modal dialogs are, now that comctl32 has given the sheet its size.
        CentreOnOwner(window);
        RunShownHook(reinterpret_cast<DialogObject*>(data));
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, SheetSubclass, id);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && runningSheet != nullptr) {
        runningSheet->window = window;
        ::SetWindowSubclass(window, SheetSubclass, 1, reinterpret_cast<DWORD_PTR>(runningSheet));
        ::PostMessageW(window, kShownMessage, 0, 0);
    }
    return 0;
}

// The page keys: +1 for Ctrl+Tab and Ctrl+PageDown, -1 for Ctrl+Shift+Tab and Ctrl+PageUp, 0
// for any other key.
int PageStep(const MSG& key) {
    if (key.message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) >= 0 || ::GetKeyState(VK_MENU) < 0) {
        return 0;
    }
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    switch (key.wParam) {
        case VK_TAB:
            return shift ? -1 : 1;
        case VK_NEXT:
            return shift ? 0 : 1;
        case VK_PRIOR:
            return shift ? 0 : -1;
        default:
            return 0;
    }
}

// The page keys switch pages from whatever control of the sheet has the focus, as a click on
// the tab would. They are taken as the message loop fetches them, before a control sees them:
// a list would otherwise move its selection on Ctrl+PageDown (OK would then send a value nobody
// chose), and an edit field take Ctrl+Tab as Tab. Not every comctl32 does this in its loop.
LRESULT CALLBACK PageKeyHook(int code, WPARAM removed, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    DialogObject* sheet = runningSheet;
    if (code == HC_ACTION && removed == PM_REMOVE && sheet != nullptr && sheet->window != nullptr &&
        (message->hwnd == sheet->window || ::IsChild(sheet->window, message->hwnd))) {
        if (const int step = PageStep(*message); step != 0) {
            message->message = WM_NULL;
            const int count = static_cast<int>(sheet->pages.size());
            if (!sheet->finishing && sheet->current >= 0) {
                PropSheet_SetCurSel(sheet->window, nullptr,
                                    ((sheet->current + step) % count + count) % count);
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, removed, lParam);
}

}  // namespace

int ShowPropertySheet(WindowHandle owner, const PropertySheetSpec& spec) {
    if (spec.pageCount <= 0 || spec.pages == nullptr || spec.startPage < 0 ||
        spec.startPage >= spec.pageCount) {
        return -1;
    }
    for (int i = 0; i < spec.pageCount; ++i) {
        if (spec.pages[i].layout == nullptr || spec.pages[i].procedure == nullptr) {
            return -1;
        }
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);

    DialogObject sheet;
    sheet.root = &sheet;
    sheet.isSheet = true;
    sheet.pages.resize(static_cast<size_t>(spec.pageCount));
    const size_t count = static_cast<size_t>(spec.pageCount);
    std::vector<std::vector<WORD>> templates(count);
    std::vector<std::wstring> titles(count);
    std::vector<PageStart> starts(count);
    std::vector<PROPSHEETPAGEW> pages(count);
    for (size_t i = 0; i < count; ++i) {
        const PropertySheetPage& page = spec.pages[i];
        templates[i] = BuildTemplate(*page.layout, WS_CHILD | WS_DISABLED | WS_CAPTION, L"");
        titles[i] = WideFromWindows1252(page.title != nullptr ? page.title : "");
        starts[i] = PageStart{&sheet, static_cast<int>(i), &page};
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
        pages[i].hInstance = ::GetModuleHandleW(nullptr);
        pages[i].pResource = reinterpret_cast<LPCDLGTEMPLATEW>(templates[i].data());
        pages[i].pszTitle = titles[i].c_str();
        pages[i].pfnDlgProc = PageProc;
        pages[i].lParam = reinterpret_cast<LPARAM>(&starts[i]);
    }
    const std::wstring caption = WideFromWindows1252(spec.caption != nullptr ? spec.caption : "");
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    // No Apply button and no "?" button, whose help leads nowhere; the callback runs the shown
    // hook.
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_USECALLBACK;
    header.hwndParent = NativeWindow(owner);
    header.hInstance = ::GetModuleHandleW(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(count);
    header.nStartPage = static_cast<UINT>(spec.startPage);
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;

    DialogObject* outer = runningSheet;
    runningSheet = &sheet;
    if (pageKeyHook == nullptr) {
        pageKeyHook =
            ::SetWindowsHookExW(WH_GETMESSAGE, PageKeyHook, nullptr, ::GetCurrentThreadId());
    }
    AddLive(&sheet);
    const INT_PTR result = ::PropertySheetW(&header);
    RemoveLive(&sheet);
    runningSheet = outer;
    if (outer == nullptr && pageKeyHook != nullptr) {
        ::UnhookWindowsHookEx(pageKeyHook);
        pageKeyHook = nullptr;
    }
    if (result < 0) {
        return -1;
    }
    // comctl32's own result tells whether a page reported a change; what counts here is OK.
    return sheet.applied ? 1 : 0;
}

DialogHandle CurrentSheetPage(DialogHandle sheet) {
    return SheetPage(sheet, IsLive(sheet) ? sheet->current : -1);
}

DialogHandle SheetPage(DialogHandle sheet, int index) {
    if (!IsLive(sheet) || !sheet->isSheet || index < 0 ||
        index >= static_cast<int>(sheet->pages.size())) {
        return nullptr;
    }
    return sheet->pages[static_cast<size_t>(index)].get();
}

}  // namespace platform
