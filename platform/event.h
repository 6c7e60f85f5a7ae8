// Kernel-style events for the system code: manual- or auto-reset, waited on with a time limit.
// Each event is an eventfd, so a link thread can wait on events and its serial port in one poll
// and nothing ever spins.
#pragma once

#include <cstdint>

namespace platform {

struct EventObject;
using EventHandle = EventObject*;

inline constexpr int kInfinite = -1;
inline constexpr int kWaitTimeout = -1;
inline constexpr int kWaitFailed = -2;

// Returns nullptr when the kernel refuses another event.
EventHandle CreateEvent(bool manualReset, bool initiallySet);
void CloseEvent(EventHandle event);
void SetEvent(EventHandle event);
void ResetEvent(EventHandle event);

// Waits until one of the events is set. Returns its index (an auto-reset event is reset by the
// wait that takes it), kWaitTimeout after timeoutMs (kInfinite: no limit), or kWaitFailed at
// once when a handle is null.
int WaitForEvents(const EventHandle* events, int count, int timeoutMs);
bool WaitForEvent(EventHandle event, int timeoutMs);

// The descriptor to poll for readability beside other descriptors (platform code only).
int EventDescriptor(EventHandle event);
// Takes the signal of an auto-reset event that poll reported ready; false if another waiter
// took it first. A manual-reset event stays set.
bool ConsumeEvent(EventHandle event);

}  // namespace platform
