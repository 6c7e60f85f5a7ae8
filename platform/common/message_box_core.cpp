// The dispatch of message boxes, free of any window system: the test hook first, then the
// presenter the program installed, else a line on stderr.
#include <atomic>

#include "platform/console.h"
#include "platform/message_box.h"

namespace platform {
namespace {
std::atomic<MessageBoxHook> messageBoxHook{nullptr};
std::atomic<MessagePresenter> messagePresenter{nullptr};
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook.store(hook);
}

void SetMessagePresenter(MessagePresenter presenter) {
    messagePresenter.store(presenter);
}

MessageResult ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons) {
    if (MessageBoxHook hook = messageBoxHook.load()) {
        return hook(text, caption, icon, buttons);
    }
    if (MessagePresenter presenter = messagePresenter.load()) {
        return presenter(owner, text, caption, icon, buttons);
    }
    PrintFormatted(stderr, "%s: %s\n", Windows1252ToUtf8(caption != nullptr ? caption : "").c_str(),
                   Windows1252ToUtf8(text != nullptr ? text : "").c_str());
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
}

}  // namespace platform
