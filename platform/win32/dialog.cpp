// Modal dialogs on Win32: each layout becomes an in-memory dialog template, so the dialog
// manager creates the controls, scales the dialog units with the dialog font at the monitor's
// resolution, and runs Tab, Return and Escape. The controls' notifications become Command
// messages for the procedure. The property sheet (property_sheet.cpp) builds its pages the same
// way.
#include "platform/dialog.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/common/dialog_support.h"
#include "platform/win32/dialog_internal.h"
#include "platform/win32/window_internal.h"
#include "platform/win32/xpm_picture.h"

// After <windows.h>.
#include <commctrl.h>

namespace platform {

DialogObject::~DialogObject() {
    for (HBITMAP bitmap : bitmaps) {
        ::DeleteObject(bitmap);
    }
}

namespace dialog_detail {
namespace {

std::atomic<DialogShownHook> dialogShownHook{nullptr};
// Window thread only: the dialogs whose message loop runs, outermost first.
std::vector<DialogObject*> liveDialogs;

// Controls without an id of their own get one from here in the template, so each can be found;
// the procedure never sees these.
constexpr int kAnonymousIdBase = 0x7000;

class TemplateWriter {
  public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::wstring& text) {
        for (wchar_t c : text) {
            Word(static_cast<WORD>(c));
        }
        Word(0);
    }
    void AlignDword() {
        if (words_.size() % 2 != 0) {
            Word(0);
        }
    }
    std::vector<WORD> Take() { return std::move(words_); }

  private:
    std::vector<WORD> words_;
};

struct ItemClass {
    WORD atom;  // the predefined classes: 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box
    DWORD style;
};

ItemClass ClassOf(const DialogControl& c) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD focusable = child | WS_TABSTOP | WS_GROUP;
    switch (c.kind) {
        case ControlKind::Label:
            // One line, centred in its height, '&' shown as it stands.
            return {0x82, child | SS_RIGHT | SS_NOPREFIX | SS_CENTERIMAGE};
        case ControlKind::UnitLabel:
            return {0x82, child | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE};
        case ControlKind::GroupBox:
            return {0x80, child | BS_GROUPBOX};
        case ControlKind::Edit:
            return {0x81, focusable | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL};
        case ControlKind::List:
            // The program reads only the selection, so the lists offer their items alone and
            // take no typed text.
            return {0x85, focusable | WS_VSCROLL | CBS_DROPDOWNLIST};
        case ControlKind::PushButton:
            return {0x80, focusable | (c.id == kIdOk ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)};
        case ControlKind::Bitmap:
            return {0x82, child | SS_BITMAP};
    }
    return {0x82, child};
}

// The order of the controls in the template: the layout's, with the group boxes last, so they
// lie beneath the controls they surround. Group boxes never take the focus, so the tab order
// stays the layout's.
std::vector<int> TemplateOrder(const DialogTemplate& layout) {
    std::vector<int> order;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < layout.controlCount; ++i) {
            if ((layout.controls[i].kind == ControlKind::GroupBox) == (pass == 1)) {
                order.push_back(i);
            }
        }
    }
    return order;
}

int TemplateId(const DialogControl& c, int index) {
    return c.id != 0 ? c.id : kAnonymousIdBase + index;
}

short Units(int value) {
    return static_cast<short>(std::clamp(value, -32768, 32767));
}

// The picture of XPM data as a 24-bit bitmap: a static control shows such a bitmap as it is, with
// no alpha to blend, so "None" becomes the dialog's background.
HBITMAP BitmapFromXpm(const char* const* xpm) {
    XpmPicture picture;
    if (!ReadXpm(xpm, &picture)) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top row first, as the XPM gives them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        return nullptr;
    }
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    const uint32_t background = 0xFF000000u | (uint32_t{GetRValue(face)} << 16) |
                                (uint32_t{GetGValue(face)} << 8) | GetBValue(face);
    const size_t stride = (static_cast<size_t>(picture.width) * 3 + 3) & ~size_t{3};
    auto* rows = static_cast<BYTE*>(bits);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            uint32_t colour = picture.argb[static_cast<size_t>(y) * picture.width + x];
            if ((colour >> 24) == 0) {
                colour = background;
            }
            BYTE* pixel = rows + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
            pixel[0] = static_cast<BYTE>(colour);
            pixel[1] = static_cast<BYTE>(colour >> 8);
            pixel[2] = static_cast<BYTE>(colour >> 16);
        }
    }
    return bitmap;
}

// The layouts place a picture beside texts as if a dialog unit were kDialogUnitPixels of its
// pixels; the dialog's own units (its font at the monitor's resolution) may be smaller or larger,
// so the picture is scaled with them and keeps its place beside the texts.
HBITMAP ScaledPicture(HWND dialog, HBITMAP picture) {
    BITMAP source{};
    if (picture == nullptr || ::GetObjectW(picture, sizeof source, &source) == 0) {
        return picture;
    }
    RECT size{0, 0, (source.bmWidth + kDialogUnitPixels - 1) / kDialogUnitPixels,
              (source.bmHeight + kDialogUnitPixels - 1) / kDialogUnitPixels};
    ::MapDialogRect(dialog, &size);
    if (size.right <= 0 || size.bottom <= 0 ||
        (size.right == source.bmWidth && size.bottom == source.bmHeight)) {
        return picture;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.right;
    info.bmiHeader.biHeight = -size.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP scaled = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC from = ::CreateCompatibleDC(nullptr);
    HDC to = ::CreateCompatibleDC(nullptr);
    if (scaled != nullptr && from != nullptr && to != nullptr) {
        HGDIOBJ oldFrom = ::SelectObject(from, picture);
        HGDIOBJ oldTo = ::SelectObject(to, scaled);
        ::SetStretchBltMode(to, HALFTONE);
        ::SetBrushOrgEx(to, 0, 0, nullptr);
        ::StretchBlt(to, 0, 0, size.right, size.bottom, from, 0, 0, source.bmWidth, source.bmHeight,
                     SRCCOPY);
        ::SelectObject(from, oldFrom);
        ::SelectObject(to, oldTo);
    }
    if (from != nullptr) {
        ::DeleteDC(from);
    }
    if (to != nullptr) {
        ::DeleteDC(to);
    }
    if (scaled == nullptr) {
        return picture;
    }
    ::DeleteObject(picture);
    return scaled;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(std::max(0, ::GetWindowTextLengthW(window))) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Notify(DialogObject* dialog, int controlId, ControlNotification notification) {
    Deliver(dialog, DialogMessage{DialogMessageType::Command, controlId, notification});
}

// A list tells its procedure about the selection the user ended on. While its list is dropped
// down the selection follows the arrow keys and the mouse, and Escape may take it back, so the
// choice counts when the list closes; a closed list's arrow keys count at once. The procedure
// hears of each selection it does not know yet, and so never keeps a value other than the one
// the list shows.
void ListChanged(DialogObject* dialog, int id, DialogControlState& list) {
    const int selected = static_cast<int>(::SendMessageW(list.window, CB_GETCURSEL, 0, 0));
    if (selected != list.lastChoice) {
        list.lastChoice = selected;
        Notify(dialog, id, ControlNotification::SelectionChanged);
    }
}

}  // namespace

// A text wider than its rectangle (a longer language, a wider face) grows away from the control
// it names rather than being cut: a right-aligned label to the left, any other to the right.
void FitLabel(const DialogControlState& label) {
    if (label.kind != ControlKind::Label && label.kind != ControlKind::UnitLabel) {
        return;
    }
    const std::wstring text = WindowText(label.window);
    SIZE size{};
    HDC dc = ::GetDC(label.window);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(label.window, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (previous != nullptr) {
        ::SelectObject(dc, previous);
    }
    ::ReleaseDC(label.window, dc);
    RECT rect = label.layout;
    const int missing = size.cx - (rect.right - rect.left);
    if (missing > 0 && label.kind == ControlKind::Label) {
        rect.left = std::max(0L, rect.left - missing);
    } else if (missing > 0) {
        rect.right += missing;
    }
    ::SetWindowPos(label.window, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(label.window, nullptr, TRUE);
}

std::vector<WORD> BuildTemplate(const DialogTemplate& layout, DWORD style,
                                const std::wstring& caption) {
    TemplateWriter out;
    out.Word(1);       // DLGTEMPLATEEX
    out.Word(0xFFFF);  // its signature
    out.Dword(0);      // help id
    out.Dword(0);      // extended style
    out.Dword(style | DS_SHELLFONT);
    out.Word(static_cast<WORD>(std::max(0, layout.controlCount)));
    out.Word(0);  // x and y: the dialog is placed when it exists
    out.Word(0);
    out.Word(static_cast<WORD>(Units(layout.width)));
    out.Word(static_cast<WORD>(Units(layout.height)));
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.Text(caption);
    // The system's dialog font, which the dialog units are measured in.
    out.Word(8);
    out.Word(FW_NORMAL);
    out.Word(MAKEWORD(0, DEFAULT_CHARSET));  // not italic; the charset
    out.Text(L"MS Shell Dlg");
    for (int index : TemplateOrder(layout)) {
        const DialogControl& c = layout.controls[index];
        const ItemClass itemClass = ClassOf(c);
        out.AlignDword();
        out.Dword(0);  // help id
        out.Dword(0);  // extended style
        out.Dword(itemClass.style);
        out.Word(static_cast<WORD>(Units(c.x)));
        out.Word(static_cast<WORD>(Units(c.y)));
        out.Word(static_cast<WORD>(Units(c.width)));
        out.Word(static_cast<WORD>(Units(c.height)));
        out.Dword(static_cast<DWORD>(TemplateId(c, index)));
        out.Word(0xFFFF);
        out.Word(itemClass.atom);
        out.Text(c.kind == ControlKind::Bitmap || c.text == nullptr ? std::wstring()
                                                                    : WideFromWindows1252(c.text));
        out.Word(0);  // no creation data
    }
    return out.Take();
}

void AttachControls(DialogObject* dialog, HWND window, const DialogTemplate& layout) {
    dialog->window = window;
    for (int i = 0; i < layout.controlCount; ++i) {
        const DialogControl& c = layout.controls[i];
        HWND control = ::GetDlgItem(window, TemplateId(c, i));
        if (control == nullptr) {
            continue;
        }
        if (c.kind == ControlKind::Bitmap) {
            // A picture control takes the size of its picture.
            if (HBITMAP bitmap = ScaledPicture(window, BitmapFromXpm(c.xpm))) {
                dialog->bitmaps.push_back(bitmap);
                ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP,
                               reinterpret_cast<LPARAM>(bitmap));
            }
        }
        if (c.kind == ControlKind::Edit || c.kind == ControlKind::List ||
            c.kind == ControlKind::PushButton) {
            dialog->focusOrder.push_back(control);
        }
        DialogControlState state;
        state.window = control;
        state.kind = c.kind;
        ::GetWindowRect(control, &state.layout);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&state.layout), 2);
        FitLabel(state);
        if (c.id != 0 && dialog->controls.count(c.id) == 0) {
            dialog->controls[c.id] = state;
        }
    }
}

void Deliver(DialogObject* dialog, const DialogMessage& message) {
    if (dialog != nullptr && !dialog->root->finishing && dialog->procedure != nullptr) {
        dialog->procedure(dialog, message);
    }
}

bool HandleCommand(DialogObject* dialog, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    auto it = dialog->controls.find(id);
    if (it == dialog->controls.end() ||
        (lParam != 0 && it->second.window != reinterpret_cast<HWND>(lParam))) {
        // Escape and the close box ask the procedure, as a Cancel button would.
        if (id == IDCANCEL && lParam == 0 && dialog->root == dialog && !dialog->isSheet) {
            Notify(dialog, kIdCancel, ControlNotification::Clicked);
            return true;
        }
        return false;
    }
    DialogControlState& control = it->second;
    switch (control.kind) {
        case ControlKind::Edit:
            if (code == EN_KILLFOCUS) {
                Notify(dialog, id, ControlNotification::KillFocus);
                return true;
            }
            return false;
        case ControlKind::List:
            if ((code == CBN_SELCHANGE &&
                 ::SendMessageW(control.window, CB_GETDROPPEDSTATE, 0, 0) == 0) ||
                code == CBN_CLOSEUP) {
                ListChanged(dialog, id, control);
                return true;
            }
            return false;
        case ControlKind::PushButton:
            if (code == BN_CLICKED) {
                Notify(dialog, id, ControlNotification::Clicked);
                return true;
            }
            return false;
        default:
            return false;
    }
}

HWND FirstFocusControl(const DialogObject* dialog) {
    for (HWND control : dialog->focusOrder) {
        if (::IsWindowEnabled(control)) {
            return control;
        }
    }
    return nullptr;
}

void RunShownHook(DialogObject* root) {
    DialogShownHook hook = dialogShownHook.load();
    if (hook == nullptr || root->finishing ||
        std::find(liveDialogs.begin(), liveDialogs.end(), root) == liveDialogs.end()) {
        return;
    }
    // Shown and made active first, so that focus moves and keys reach the controls as they
    // would under a user's hands.
    if (!::IsWindowVisible(root->window)) {
        ::ShowWindow(root->window, SW_SHOW);
    }
    ::SetForegroundWindow(root->window);
    hook(root);
}

void CentreOnOwner(HWND dialog) {
    RECT area{};
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (owner == nullptr || !::IsWindowVisible(owner) || ::IsIconic(owner)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    } else {
        ::GetWindowRect(owner, &area);
    }
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AddLive(DialogObject* root) {
    liveDialogs.push_back(root);
}

void RemoveLive(DialogObject* root) {
    liveDialogs.erase(std::find(liveDialogs.begin(), liveDialogs.end(), root));
}

bool IsLive(const DialogObject* dialog) {
    return IsLiveDialog(liveDialogs, dialog);
}

}  // namespace dialog_detail

using namespace dialog_detail;

namespace {

struct ModalStart {
    DialogObject* dialog;
    const DialogTemplate* layout;
};

INT_PTR CALLBACK ModalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<DialogObject*>(::GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const ModalStart*>(lParam);
            dialog = start->dialog;
            ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            AttachControls(dialog, window, *start->layout);
            CentreOnOwner(window);
            Deliver(dialog, DialogMessage{DialogMessageType::InitDialog});
            ::PostMessageW(window, kShownMessage, 0, 0);
            if (HWND first = FirstFocusControl(dialog)) {
                ::SetFocus(first);
                return FALSE;
            }
            return TRUE;
        }
        case kShownMessage:
            if (dialog != nullptr) {
                RunShownHook(dialog);
            }
            return TRUE;
        case WM_COMMAND:
            return dialog != nullptr && HandleCommand(dialog, wParam, lParam) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

DialogControlState* Control(DialogHandle dialog, int controlId) {
    if (!IsLive(dialog)) {
        return nullptr;
    }
    auto it = dialog->controls.find(controlId);
    return it == dialog->controls.end() ? nullptr : &it->second;
}

// The window of a control: one of the layout's, or a sheet's own OK and Cancel.
HWND ControlWindow(DialogHandle dialog, int controlId) {
    if (DialogControlState* control = Control(dialog, controlId)) {
        return control->window;
    }
    if (IsLive(dialog) && dialog->isSheet && dialog->window != nullptr &&
        (controlId == kIdOk || controlId == kIdCancel)) {
        return ::GetDlgItem(dialog->window, controlId);
    }
    return nullptr;
}

}  // namespace

void SetDialogShownHook(DialogShownHook hook) {
    dialogShownHook.store(hook);
}

int ShowModalDialog(WindowHandle owner, const DialogTemplate& layout, DialogProcedure procedure) {
    if (procedure == nullptr || layout.controlCount < 0 ||
        (layout.controlCount > 0 && layout.controls == nullptr)) {
        return -1;
    }
    DialogObject dialog;
    dialog.procedure = procedure;
    dialog.root = &dialog;
    std::vector<WORD> dialogTemplate =
        BuildTemplate(layout, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                      WideFromWindows1252(layout.caption != nullptr ? layout.caption : ""));
    ModalStart start{&dialog, &layout};
    AddLive(&dialog);
    const INT_PTR result = ::DialogBoxIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
        NativeWindow(owner), ModalProc, reinterpret_cast<LPARAM>(&start));
    RemoveLive(&dialog);
    return static_cast<int>(result);
}

void EndDialog(DialogHandle dialog, int result) {
    if (!IsLive(dialog) || dialog->root->finishing) {
        return;
    }
    DialogObject* root = dialog->root;
    root->finishing = true;
    if (root->isSheet) {
        // A sheet ends through its own Cancel, which no page hears of now; the result says
        // whether it counts as OK.
        root->applied = result == 1;
        ::PostMessageW(root->window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    } else {
        ::EndDialog(root->window, result);
    }
}

void SetDialogTitle(DialogHandle dialog, const char* title) {
    if (IsLive(dialog) && dialog->root->window != nullptr) {
        ::SetWindowTextW(dialog->root->window,
                         WideFromWindows1252(title != nullptr ? title : "").c_str());
    }
}

void SetDlgItemText(DialogHandle dialog, int controlId, const char* text) {
    const std::wstring value = WideFromWindows1252(text != nullptr ? text : "");
    DialogControlState* control = Control(dialog, controlId);
    if (control == nullptr) {
        if (HWND window = ControlWindow(dialog, controlId)) {
            ::SetWindowTextW(window, value.c_str());
        }
        return;
    }
    switch (control->kind) {
        case ControlKind::List: {
            // A list shows the item with that text, or none.
            const LRESULT found =
                ::SendMessageW(control->window, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(value.c_str()));
            ::SendMessageW(control->window, CB_SETCURSEL, found == CB_ERR ? -1 : found, 0);
            control->lastChoice =
                static_cast<int>(::SendMessageW(control->window, CB_GETCURSEL, 0, 0));
            break;
        }
        case ControlKind::Bitmap:
            break;
        default:
            ::SetWindowTextW(control->window, value.c_str());
            FitLabel(*control);
            break;
    }
}

int GetDlgItemText(DialogHandle dialog, int controlId, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return 0;
    }
    std::string bytes;
    if (HWND window = ControlWindow(dialog, controlId)) {
        bytes = Windows1252FromWide(WindowText(window));
    }
    return CopyItemText(bytes, out, size);
}

void EnableDlgItem(DialogHandle dialog, int controlId, bool enabled) {
    HWND window = ControlWindow(dialog, controlId);
    if (window == nullptr) {
        return;
    }
    // A control that loses its enabled state while it has the focus hands the focus on, as
    // the keyboard would otherwise be stuck on it.
    if (!enabled && ::GetFocus() == window && dialog->root->window != nullptr) {
        ::SendMessageW(dialog->root->window, WM_NEXTDLGCTL, 0, FALSE);
    }
    ::EnableWindow(window, enabled ? TRUE : FALSE);
}

bool IsDlgItemEnabled(DialogHandle dialog, int controlId) {
    HWND window = ControlWindow(dialog, controlId);
    return window != nullptr && ::IsWindowEnabled(window);
}

void InsertListItem(DialogHandle dialog, int controlId, int index, const char* text) {
    DialogControlState* list = Control(dialog, controlId);
    if (list == nullptr || list->kind != ControlKind::List) {
        return;
    }
    // Inserting makes no selection of its own; a selected item keeps being the selected one.
    const LRESULT count = ::SendMessageW(list->window, CB_GETCOUNT, 0, 0);
    const WPARAM at =
        index < 0 || index > count ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(index);
    const std::wstring value = WideFromWindows1252(text != nullptr ? text : "");
    ::SendMessageW(list->window, CB_INSERTSTRING, at, reinterpret_cast<LPARAM>(value.c_str()));
    list->lastChoice = static_cast<int>(::SendMessageW(list->window, CB_GETCURSEL, 0, 0));
}

void SetListSelection(DialogHandle dialog, int controlId, int index) {
    DialogControlState* list = Control(dialog, controlId);
    if (list == nullptr || list->kind != ControlKind::List) {
        return;
    }
    const LRESULT count = ::SendMessageW(list->window, CB_GETCOUNT, 0, 0);
    ::SendMessageW(list->window, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
    list->lastChoice = static_cast<int>(::SendMessageW(list->window, CB_GETCURSEL, 0, 0));
}

int GetListSelection(DialogHandle dialog, int controlId) {
    DialogControlState* list = Control(dialog, controlId);
    if (list == nullptr || list->kind != ControlKind::List) {
        return -1;
    }
    const LRESULT selected = ::SendMessageW(list->window, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

}  // namespace platform
