// Window-level flags and handles, one process-wide instance. The reader thread writes some of
// them (valuesChanged, alarmCountdown) and signals replyEvent, so every field is atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"
#include "platform/message_box.h"

struct WindowFlags {
    std::atomic<int32_t> fullRepaint{0};
    std::atomic<int32_t> panelRepaint{0};
    std::atomic<int32_t> valuesChanged{0};
    std::atomic<int32_t> lastPaintedMeasurement{0};
    std::atomic<int32_t> keyLatch{0};
    std::atomic<int32_t> confirmPending{0};
    std::atomic<int32_t> frozen{0};
    std::atomic<uint8_t> alarmCountdown{0};
};

inline WindowFlags windowFlags;

// Manual-reset; created after the link is first opened, so the reader thread may see it null.
// The parser publishes word 0 before it sets the event.
inline std::atomic<platform::EventHandle> replyEvent{nullptr};

// The main window, owner of every message box; null before it exists.
inline std::atomic<platform::WindowHandle> mainWindow{nullptr};
