// Placeholder: the Win32 message box is being built; this lets KVXMon.exe link until it lands.
#include "platform/message_box.h"

namespace platform {

MessageResult ShowWindowMessageBox(WindowHandle, const char*, const char*, MessageIcon,
                                   MessageButtons buttons) {
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
}

}  // namespace platform
