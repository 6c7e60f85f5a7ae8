// Platform-private: what the modal dialogs and the property sheet on Win32 share: the dialog
// object behind a handle, the in-memory dialog template made from a layout, and the translation
// of control notifications into the procedure's messages.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/win32/win32.h"

namespace platform {

struct DialogControlState {
    HWND window = nullptr;
    ControlKind kind = ControlKind::Label;
    RECT layout{};        // where the layout puts it, in the dialog's client pixels
    int lastChoice = -1;  // lists: the selection the procedure last knew of
};

struct DialogObject {
    DialogProcedure procedure = nullptr;
    DialogObject* root = nullptr;  // the dialog or sheet this page belongs to (itself for those)
    HWND window = nullptr;         // the dialog, the page, or the sheet
    std::map<int, DialogControlState> controls;  // by id (the first control with an id wins)
    std::vector<HWND> focusOrder;                // the controls that can take the focus
    std::vector<HBITMAP> bitmaps;                // pictures of the dialog, freed at its end
    bool finishing = false;  // root only: no notification reaches a procedure any more
    // A property sheet's own state (root only).
    bool isSheet = false;
    std::vector<std::unique_ptr<DialogObject>> pages;  // null until a page is first shown
    int current = -1;
    bool applied = false;       // OK has applied the pages
    bool tabsHadFocus = false;  // the focus was on the tabs when the last page was left
    DialogObject() = default;
    ~DialogObject();
    DialogObject(const DialogObject&) = delete;
    DialogObject& operator=(const DialogObject&) = delete;
};

namespace dialog_detail {

// Posted to a dialog (a sheet) once it exists; the shown hook runs when it arrives, that is once
// the dialog's own message loop runs.
inline constexpr UINT kShownMessage = WM_APP + 0x3B1;
// Posted to a sheet page that became current: the focus goes to its first control.
inline constexpr UINT kFocusPageMessage = WM_APP + 0x3B2;

// A DLGTEMPLATEEX with its items, DWORD-aligned, for DialogBoxIndirectParamW or a sheet page.
std::vector<WORD> BuildTemplate(const DialogTemplate& layout, DWORD style,
                                const std::wstring& caption);

// After the window of a dialog or page exists: records its controls, gives pictures their
// bitmaps.
void AttachControls(DialogObject* dialog, HWND window, const DialogTemplate& layout);
// Sizes a label to its present text.
void FitLabel(const DialogControlState& label);

void Deliver(DialogObject* dialog, const DialogMessage& message);
// A WM_COMMAND from a control of dialog; returns whether it meant something to the procedure.
bool HandleCommand(DialogObject* dialog, WPARAM wParam, LPARAM lParam);
// The first control of dialog that can take the focus now, or nullptr.
HWND FirstFocusControl(const DialogObject* dialog);
void RunShownHook(DialogObject* root);
// Centred on the owner, or on the work area of the screen when there is none.
void CentreOnOwner(HWND dialog);

// The dialogs whose message loop runs (window thread only), outermost first.
void AddLive(DialogObject* root);
void RemoveLive(DialogObject* root);
// Whether a handle is a live dialog, sheet or sheet page.
bool IsLive(const DialogObject* dialog);

}  // namespace dialog_detail
}  // namespace platform
