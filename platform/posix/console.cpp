// Signals reach the program through an eventfd written from the handler (write is safe there);
// the codes are checked against the system's headers at compile time.
#include "platform/console.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform {

static_assert(kErrorNoEntry == ENOENT && kErrorAccessDenied == EACCES && kErrorBusy == EBUSY &&
              kErrorNotTerminal == ENOTTY && kErrorWouldBlock == EWOULDBLOCK &&
              kErrorInvalid == EINVAL);

namespace {

constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::atomic<EventHandle> stopEvent{nullptr};
static_assert(std::atomic<EventHandle>::is_always_lock_free);

void OnStopSignal(int) {
    const int saved = errno;
    SetEvent(stopEvent.load());
    errno = saved;
}

}  // namespace

char32_t Windows1252CodePoint(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const char32_t cp = Windows1252CodePoint(static_cast<uint8_t>(c));
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

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

}  // namespace platform
