// Modal message boxes for the system code. Texts arrive as Windows-1252 bytes and are converted
// here, where they are shown. Tests install a hook that records and answers each box.
#pragma once

#include "platform/handles.h"

namespace platform {

enum class MessageIcon { Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No };

MessageResult ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons);

// When a hook is set, boxes are not shown: the hook sees them and gives the answer.
using MessageBoxHook = MessageResult (*)(const char* text, const char* caption, MessageIcon icon,
                                         MessageButtons buttons);
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace platform
