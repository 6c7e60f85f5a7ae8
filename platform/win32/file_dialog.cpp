// Placeholder: the Win32 file dialogs is being built; this lets KVXMon.exe link until it lands.
#include "platform/file_dialog.h"

namespace platform {

uint32_t ShowFileDialog(WindowHandle, FileDialogKind, const FileDialogSpec&, char* path,
                        int pathSize) {
    if (pathSize > 0) {
        path[0] = '\0';
    }
    return 1;
}
void SetFileDialogHook(FileDialogHook) {}

}  // namespace platform
