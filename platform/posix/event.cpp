// Events on eventfd: the counter is non-zero while the event is set.
#include "platform/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace platform {

struct EventObject {
    int fd;
    bool manualReset;
};

EventHandle CreateEvent(bool manualReset, bool initiallySet) {
    int fd = eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    return new EventObject{fd, manualReset};
}

void CloseEvent(EventHandle event) {
    if (event == nullptr) {
        return;
    }
    close(event->fd);
    delete event;
}

void SetEvent(EventHandle event) {
    if (event == nullptr) {
        return;
    }
    // A read empties the counter whatever its value, so one reset undoes any number of sets.
    uint64_t value = 1;
    [[maybe_unused]] ssize_t n = write(event->fd, &value, sizeof value);
}

void ResetEvent(EventHandle event) {
    if (event == nullptr) {
        return;
    }
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = read(event->fd, &value, sizeof value);
}

int EventDescriptor(EventHandle event) {
    return event == nullptr ? -1 : event->fd;
}

bool ConsumeEvent(EventHandle event) {
    if (event == nullptr) {
        return false;
    }
    if (event->manualReset) {
        pollfd p{event->fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }
    uint64_t value = 0;
    return read(event->fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

int WaitForEvents(const EventHandle* events, int count, int timeoutMs) {
    std::vector<pollfd> fds(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (events[i] == nullptr) {
            return kWaitFailed;
        }
        fds[static_cast<size_t>(i)] = pollfd{events[i]->fd, POLLIN, 0};
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = kInfinite;
        if (timeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() < 0 ? 0 : static_cast<int>(left.count());
        }
        int ready = poll(fds.data(), fds.size(), wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return kWaitFailed;
        }
        if (ready == 0) {
            return kWaitTimeout;
        }
        for (int i = 0; i < count; ++i) {
            if ((fds[static_cast<size_t>(i)].revents & POLLIN) != 0 && ConsumeEvent(events[i])) {
                return i;
            }
        }
        // Another waiter took an auto-reset signal first: wait again for what is left.
    }
}

bool WaitForEvent(EventHandle event, int timeoutMs) {
    return WaitForEvents(&event, 1, timeoutMs) == 0;
}

}  // namespace platform
