// Message boxes as the system's own MessageBoxW, the presenter the window program installs.
#include "platform/message_box.h"

#include "platform/win32/window_internal.h"

namespace platform {

MessageResult ShowWindowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                   MessageIcon icon, MessageButtons buttons) {
    UINT style = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case MessageIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Warning:
            style |= MB_ICONWARNING;
            break;
        case MessageIcon::Error:
            style |= MB_ICONERROR;
            break;
    }
    // Owned by the window, which it disables while it is open; the window's timers and paints go
    // on in the box's own message loop. Without a live owner the box keeps every window of the
    // program from input instead, as the owned one would.
    HWND window = NativeWindow(owner);
    if (window == nullptr) {
        style |= MB_TASKMODAL;
    }
    const std::wstring wideText = WideFromWindows1252(text != nullptr ? text : "");
    const std::wstring wideCaption = WideFromWindows1252(caption != nullptr ? caption : "");
    const int answer = ::MessageBoxW(window, wideText.c_str(), wideCaption.c_str(), style);
    if (buttons == MessageButtons::YesNo) {
        // A box that could not be shown (0) gets the answer that keeps the program safe.
        return answer == IDYES ? MessageResult::Yes : MessageResult::No;
    }
    return MessageResult::Ok;
}

}  // namespace platform
