#include "params/parameter_file_commands.h"

#include "platform/file_dialog.h"

namespace {

constexpr int kPathSize = 4096;

// One filter, lower-case names listed too; a name typed without an extension gets ".KVX". No
// name, folder or title is remembered from one use to the next.
platform::FileDialogSpec ParameterFileDialog(bool save) {
    return platform::FileDialogSpec{"Korvex File (*.KVX)", "*.KVX", "KVX", save, !save};
}

}  // namespace

int32_t SaveParameterFile(platform::WindowHandle owner) {
    char path[kPathSize];
    const uint32_t result = platform::ShowFileDialog(owner, platform::FileDialogKind::Save,
                                                     ParameterFileDialog(true), path, kPathSize);
    if (result != 0 || path[0] == 0) {
        return static_cast<int32_t>(result);
    }
    return WriteParameterFile(path);
}

int32_t LoadParameterFile(platform::WindowHandle owner) {
    char path[kPathSize];
    const uint32_t result = platform::ShowFileDialog(owner, platform::FileDialogKind::Open,
                                                     ParameterFileDialog(false), path, kPathSize);
    if (result != 0) {
        return static_cast<int32_t>(result);
    }
    if (path[0] == 0) {
        return kResultNothingMore;
    }
    return ReadParameterFile(path);
}
