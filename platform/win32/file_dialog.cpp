// File dialogs as the system's common open and save dialogs, with one filter and a default
// extension; the dialogs ask the overwrite and create questions themselves.
#include "platform/file_dialog.h"

#include <atomic>
#include <cstring>
#include <string>

#include "platform/win32/window_internal.h"

// After <windows.h>.
#include <cderr.h>
#include <commdlg.h>

namespace platform {
namespace {
std::atomic<FileDialogHook> fileDialogHook{nullptr};

// Room for the longest name the dialog can give; whether it fits the caller's buffer is checked
// on the name in the file system's bytes.
constexpr DWORD kWideNameSize = 32768;

// Restores the working folder: choosing a file in another folder moves it (the open dialog does
// so whatever its flags say), and the settings file is kept in the working folder.
class KeepWorkingFolder {
  public:
    KeepWorkingFolder() {
        folder_.resize(MAX_PATH);
        DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder_.size()), folder_.data());
        if (length >= folder_.size()) {
            folder_.resize(length);
            length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder_.size()), folder_.data());
        }
        folder_.resize(length < folder_.size() ? length : 0);
    }
    ~KeepWorkingFolder() {
        if (!folder_.empty()) {
            ::SetCurrentDirectoryW(folder_.c_str());
        }
    }
    KeepWorkingFolder(const KeepWorkingFolder&) = delete;
    KeepWorkingFolder& operator=(const KeepWorkingFolder&) = delete;

  private:
    std::wstring folder_;
};

}  // namespace

void SetFileDialogHook(FileDialogHook hook) {
    fileDialogHook.store(hook);
}

uint32_t ShowFileDialog(WindowHandle owner, FileDialogKind kind, const FileDialogSpec& spec,
                        char* path, int pathSize) {
    if (path == nullptr || pathSize <= 0) {
        return FNERR_BUFFERTOOSMALL;
    }
    path[0] = '\0';
    if (FileDialogHook hook = fileDialogHook.load()) {
        return hook(kind, spec, path, pathSize);
    }
    // One description and pattern pair, the list ending in an empty string. Windows matches the
    // pattern without regard to case.
    std::wstring filter =
        WideFromWindows1252(spec.filterDescription != nullptr ? spec.filterDescription : "");
    filter.push_back(L'\0');
    filter += WideFromWindows1252(spec.pattern != nullptr ? spec.pattern : "*.*");
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    const std::wstring extension =
        WideFromWindows1252(spec.defaultExtension != nullptr ? spec.defaultExtension : "");
    // Empty at every call: no name or folder is remembered from one use to the next.
    std::wstring name(kWideNameSize, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = NativeWindow(owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = kWideNameSize;
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (spec.overwritePrompt) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
    }
    if (spec.createPrompt && kind == FileDialogKind::Open) {
        dialog.Flags |= OFN_CREATEPROMPT;
    }
    BOOL chosen = FALSE;
    {
        KeepWorkingFolder keep;
        chosen = kind == FileDialogKind::Save ? ::GetSaveFileNameW(&dialog)
                                              : ::GetOpenFileNameW(&dialog);
    }
    if (!chosen) {
        return ::CommDlgExtendedError();  // 0 when the user cancelled
    }
    name.resize(std::wcslen(name.c_str()));
    // The file layer takes paths in the ANSI code page, as the C runtime hands over argv. A name
    // that code page cannot hold would come back as another name (a "?" or a look-alike letter),
    // and the program would read or write a file the user did not choose; such a name is
    // refused as an invalid name instead. With UTF-8 as the code page every name fits.
    const std::string ansi = AnsiFromWide(name);
    if (ansi.empty() || WideFromAnsi(ansi) != name || ansi.find('\0') != std::string::npos) {
        return FNERR_INVALIDFILENAME;
    }
    if (ansi.size() + 1 > static_cast<size_t>(pathSize)) {
        return FNERR_BUFFERTOOSMALL;
    }
    std::memcpy(path, ansi.c_str(), ansi.size() + 1);
    return 0;
}

}  // namespace platform
