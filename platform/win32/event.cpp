// Events are Win32 event objects: the wait is WaitForMultipleObjects, which also takes the
// signal of an auto-reset event for exactly one waiter.
#include "platform/event.h"

#include <vector>

#include "platform/win32/win32.h"

namespace platform {

struct EventObject {
    HANDLE handle;
};

EventHandle CreateEvent(bool manualReset, bool initiallySet) {
    HANDLE handle =
        ::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initiallySet ? TRUE : FALSE, nullptr);
    if (handle == nullptr) {
        return nullptr;
    }
    return new EventObject{handle};
}

void CloseEvent(EventHandle event) {
    if (event == nullptr) {
        return;
    }
    ::CloseHandle(event->handle);
    delete event;
}

void SetEvent(EventHandle event) {
    if (event != nullptr) {
        ::SetEvent(event->handle);
    }
}

void ResetEvent(EventHandle event) {
    if (event != nullptr) {
        ::ResetEvent(event->handle);
    }
}

int WaitForEvents(const EventHandle* events, int count, int timeoutMs) {
    if (count <= 0 || count > MAXIMUM_WAIT_OBJECTS) {
        return kWaitFailed;
    }
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    for (int i = 0; i < count; ++i) {
        if (events[i] == nullptr) {
            return kWaitFailed;
        }
        handles[i] = events[i]->handle;
    }
    const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, wait);
    if (result == WAIT_TIMEOUT) {
        return kWaitTimeout;
    }
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + static_cast<DWORD>(count)) {
        return static_cast<int>(result - WAIT_OBJECT_0);
    }
    return kWaitFailed;
}

bool WaitForEvent(EventHandle event, int timeoutMs) {
    return WaitForEvents(&event, 1, timeoutMs) == 0;
}

// For the Win32 back end's own waits on an event beside an I/O completion.
HANDLE EventObjectHandle(EventHandle event) {
    return event == nullptr ? nullptr : event->handle;
}

}  // namespace platform
