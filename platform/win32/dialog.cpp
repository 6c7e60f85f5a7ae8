// Placeholder: the Win32 dialogs is being built; this lets KVXMon.exe link until it lands.
#include "platform/dialog.h"

namespace platform {

int ShowModalDialog(WindowHandle, const DialogTemplate&, DialogProcedure) { return -1; }
void EndDialog(DialogHandle, int) {}
void SetDialogTitle(DialogHandle, const char*) {}
void SetDlgItemText(DialogHandle, int, const char*) {}
int GetDlgItemText(DialogHandle, int, char* out, int size) {
    if (size > 0) {
        out[0] = '\0';
    }
    return 0;
}
void SetDlgItemInt(DialogHandle, int, uint32_t) {}
uint32_t GetDlgItemInt(DialogHandle, int) { return 0; }
void EnableDlgItem(DialogHandle, int, bool) {}
bool IsDlgItemEnabled(DialogHandle, int) { return false; }
void InsertListItem(DialogHandle, int, int, const char*) {}
void SetListSelection(DialogHandle, int, int) {}
int GetListSelection(DialogHandle, int) { return -1; }
void SetDialogShownHook(DialogShownHook) {}

}  // namespace platform
