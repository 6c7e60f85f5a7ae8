// Window-level flags and handles, one process-wide instance. The reader thread writes some of
// them (valuesChanged, alarmCountdown) and signals replyEvent, so every field is atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/device_context.h"
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

// The drawing objects, created when the window is created and deleted, in this order, when it is
// destroyed. Only the window thread paints, so these are plain handles.
struct DisplayObjects {
    platform::FontHandle labelFont = nullptr;     // 20 px normal: panel labels, dU/dt
    platform::FontHandle bigValueFont = nullptr;  // 40 px bold: the measurement
    platform::FontHandle valueFont = nullptr;     // 25 px bold: peaks and identity line
    platform::FontHandle scaleFont = nullptr;     // 15 px normal: graph scale texts
    platform::BrushHandle panelBrush = nullptr;   // fill of the three framed areas
    platform::PenHandle curvePen = nullptr;       // blue trend curve
    platform::PenHandle axisPen = nullptr;        // black axes and ticks
    platform::PenHandle limitPen = nullptr;       // red limit lines
    platform::PenHandle erasePen = nullptr;       // panel grey, clears the graph's new column
};

inline DisplayObjects displayObjects;

inline constexpr uint32_t kPanelColour = platform::Rgb(210, 210, 210);

// The trend graph's area in client coordinates, set when the window is created.
inline platform::Rect graphRect{0, 0, 0, 0};

// The window title in the current language (Windows-1252).
inline char titleBuffer[64] = {};
