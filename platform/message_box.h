// Modal message boxes for the system code. Texts arrive as Windows-1252 bytes and are converted
// where they are shown. The window program shows them as boxes; a program without a window gets
// them on stderr. Tests install a hook that records and answers each box.
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

// Where messages go when no hook is set. InitApplication installs the window system's modal box;
// without a presenter a message is written to stderr as "caption: text" and a question is
// answered No, the answer that keeps the program safe.
using MessagePresenter = MessageResult (*)(WindowHandle owner, const char* text,
                                           const char* caption, MessageIcon icon,
                                           MessageButtons buttons);
void SetMessagePresenter(MessagePresenter presenter);

// The modal box of the window system (GUI builds only).
MessageResult ShowWindowMessageBox(WindowHandle owner, const char* text, const char* caption,
                                   MessageIcon icon, MessageButtons buttons);

}  // namespace platform
