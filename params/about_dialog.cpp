#include "params/about_dialog.h"

#include "records/language.h"
#include "resources/dialogs.h"

namespace {

constexpr int kSlotAboutTitle = 0;

bool AboutDialogProc(platform::DialogHandle dialog, const platform::DialogMessage& message) {
    if (message.type == platform::DialogMessageType::InitDialog) {
        char title[kSlotSize];
        CopySlotText(title, kSlotAboutTitle);
        platform::SetDialogTitle(dialog, title);
        return true;
    }
    if (message.type == platform::DialogMessageType::Command &&
        (message.controlId == platform::kIdOk || message.controlId == platform::kIdCancel)) {
        platform::EndDialog(dialog, message.controlId);
        return true;
    }
    return false;
}

}  // namespace

void ShowAboutDialog(platform::WindowHandle owner) {
    platform::ShowModalDialog(owner, kAboutDialogLayout, AboutDialogProc);
}
