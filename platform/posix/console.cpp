// Signals reach the program through an eventfd written from the handler (write is safe there);
// the codes are checked against the system's headers at compile time.
#include "platform/console.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

static_assert(kErrorNoEntry == ENOENT && kErrorAccessDenied == EACCES && kErrorBusy == EBUSY &&
              kErrorNotTerminal == ENOTTY && kErrorWouldBlock == EWOULDBLOCK &&
              kErrorInvalid == EINVAL && kErrorIsDirectory == EISDIR && kErrorBrokenPipe == EPIPE);

namespace {

std::atomic<EventHandle> stopEvent{nullptr};
static_assert(std::atomic<EventHandle>::is_always_lock_free);

void OnStopSignal(int) {
    const int saved = errno;
    SetEvent(stopEvent.load());
    errno = saved;
}

}  // namespace

EventHandle StopSignalEvent() {
    if (EventHandle existing = stopEvent.load()) {
        return existing;
    }
    EventHandle event = CreateEvent(true, false);
    if (event == nullptr) {
        return nullptr;
    }
    stopEvent.store(event);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    return event;
}

std::string SystemErrorText(int32_t code) {
    return std::strerror(code);
}

void PrintText(std::FILE* stream, std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

int32_t FlushText(std::FILE* stream) {
    errno = 0;
    if (std::fflush(stream) == 0 && std::ferror(stream) == 0) {
        return 0;
    }
    return errno != 0 ? errno : kErrorInvalid;
}

}  // namespace platform
