// Dialogs for the system code: layouts described as data (controls with ids, in tab order, at
// dialog-unit rectangles), controls addressed by id from a dialog procedure, and modal dialogs.
// The property sheet (platform/property_sheet.h) builds its pages from the same layouts.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace platform {

// One dialog unit is this many pixels, across and down: the layouts keep their proportions and
// their texts fit at the platform's dialog font.
inline constexpr int kDialogUnitPixels = 2;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class ControlKind {
    Label,       // static text, right-aligned
    UnitLabel,   // static text, left-aligned
    GroupBox,    // a frame with a title, drawn beneath the controls it surrounds
    Edit,        // one-line edit field with a border, right-aligned text; notifies on focus loss
    List,        // drop-down list; notifies on every selection the user makes
    PushButton,  // notifies when clicked; kIdOk is the default button
    Bitmap,      // a picture given as XPM data
};

struct DialogControl {
    int id;  // 0 for a static text that the program never addresses
    ControlKind kind;
    int x, y, width, height;  // dialog units; a list's height includes its dropped-down part
    const char* text;         // Windows-1252; unused for a bitmap
    const char* const* xpm;   // Bitmap only
};

// Controls in tab order; the focus starts on the first one that takes it.
struct DialogTemplate {
    int resourceId;
    const char* caption;  // Windows-1252
    int width, height;    // dialog units
    const DialogControl* controls;
    int controlCount;
};

struct DialogObject;
using DialogHandle = DialogObject*;

enum class DialogMessageType {
    InitDialog,  // once, after the controls exist and before the dialog or page is shown
    Command,     // a control notified (controlId, notification)
    SetActive,   // a sheet page became the current one
    KillActive,  // a sheet page stops being current, or OK was pressed
    Apply,       // OK: sent to every page that was shown, in page order
    Reset,       // Cancel, Escape or the close box: sent to every page that was shown
};

enum class ControlNotification { None, KillFocus, SelectionChanged, Clicked };

struct DialogMessage {
    DialogMessageType type;
    int controlId = 0;
    ControlNotification notification = ControlNotification::None;
};

// Returns whether the message was handled. A page never refuses to be left nor rejects OK, so
// no further result is asked for.
using DialogProcedure = bool (*)(DialogHandle dialog, const DialogMessage& message);

// Runs a modal dialog built from the layout, owned by owner (may be null), until its procedure
// calls EndDialog. Returns that result, or -1 when the dialog cannot be created.
int ShowModalDialog(WindowHandle owner, const DialogTemplate& layout, DialogProcedure procedure);
void EndDialog(DialogHandle dialog, int result);
void SetDialogTitle(DialogHandle dialog, const char* title);

// Controls by id. Texts are Windows-1252. A missing id changes nothing and reads as empty.
void SetDlgItemText(DialogHandle dialog, int controlId, const char* text);
// Copies at most size - 1 bytes and a terminator; returns the number of bytes copied.
int GetDlgItemText(DialogHandle dialog, int controlId, char* out, int size);
void SetDlgItemInt(DialogHandle dialog, int controlId, uint32_t value);
// The text as an unsigned decimal number, blanks around it allowed; anything else (no digits,
// other characters, more than 32 bits) reads as 0.
uint32_t GetDlgItemInt(DialogHandle dialog, int controlId);
void EnableDlgItem(DialogHandle dialog, int controlId, bool enabled);
bool IsDlgItemEnabled(DialogHandle dialog, int controlId);
// Lists: items inserted at an explicit position (0 first; -1 appends), the selected index (-1:
// none). Selecting an index that has no item leaves no selection.
void InsertListItem(DialogHandle dialog, int controlId, int index, const char* text);
void SetListSelection(DialogHandle dialog, int controlId, int index);
int GetListSelection(DialogHandle dialog, int controlId);

// Tests: called once each time a modal dialog or property sheet has been shown and its event
// loop runs, with the dialog (the sheet for a property sheet). The hook drives it through the
// window system and must end it (OK, Cancel, Escape, ...).
using DialogShownHook = void (*)(DialogHandle dialog);
void SetDialogShownHook(DialogShownHook hook);

}  // namespace platform
