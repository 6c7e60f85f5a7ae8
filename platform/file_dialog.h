// The system's open and save file dialogs for the program's own files (parameter files,
// bitmaps): one filter, a default extension, the overwrite and create questions. Tests install
// a hook that answers in the dialog's place.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace platform {

struct FileDialogSpec {
    const char* filterDescription;  // Windows-1252, e.g. "Korvex File (*.KVX)"
    const char* pattern;            // e.g. "*.KVX"; matched without regard to case
    const char* defaultExtension;   // appended to a name typed without one, e.g. "KVX"
    bool overwritePrompt;           // save: ask before an existing file is replaced
    bool createPrompt;              // open: ask before a missing file is created
};

enum class FileDialogKind { Open, Save };

// Shows the dialog modally, owned by owner. Returns 0 with the chosen path (the file system's
// own bytes, zero-terminated) in path; 0 with path empty when the user cancelled; or a non-zero
// error code when the dialog could not be shown or the name does not fit in pathSize bytes.
uint32_t ShowFileDialog(WindowHandle owner, FileDialogKind kind, const FileDialogSpec& spec,
                        char* path, int pathSize);

// When a hook is set, no dialog is shown: the hook fills path (empty = cancel) and returns the
// result the dialog would.
using FileDialogHook = uint32_t (*)(FileDialogKind kind, const FileDialogSpec& spec, char* path,
                                    int pathSize);
void SetFileDialogHook(FileDialogHook hook);

}  // namespace platform
