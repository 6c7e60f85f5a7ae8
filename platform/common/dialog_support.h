// What the dialogs of every back end share: which handles are live dialogs or sheet pages, and the
// item texts handed to the program (copied into its buffer, read and written as numbers, which
// platform/common/dialog_support.cpp does on top of the back end's own item text calls).
#pragma once

#include <string_view>
#include <vector>

namespace platform {

// Whether dialog is one of roots (the dialogs and sheets whose loop runs) or a page of one of them
// (a page not made yet is null). Each back end has its own dialog object with a list of pages.
template <typename Dialog>
bool IsLiveDialog(const std::vector<Dialog*>& roots, const Dialog* dialog) {
    if (dialog == nullptr) {
        return false;
    }
    for (const Dialog* root : roots) {
        if (root == dialog) {
            return true;
        }
        for (const auto& page : root->pages) {
            if (page.get() == dialog) {
                return true;
            }
        }
    }
    return false;
}

// An item's Windows-1252 text into the caller's buffer of size bytes, cut to fit and terminated;
// returns the bytes copied without the terminator (0 when there is no buffer).
int CopyItemText(std::string_view text, char* out, int size);

}  // namespace platform
