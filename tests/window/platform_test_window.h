// A window for the platform tests: its procedure records every message and paints with
// whatever the test gives it, so a test can look at the messages and the pixels.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <vector>

#include "platform/device_context.h"
#include "platform/window.h"

namespace platform_test {

struct Recorder {
    std::vector<platform::WindowMessage> messages;
    std::function<void(platform::DeviceContext)> paint;  // empty: Paint is not handled
    bool handleErase = false;
};

inline Recorder recorder;

inline bool RecordingProcedure(platform::WindowHandle window,
                               const platform::WindowMessage& message) {
    recorder.messages.push_back(message);
    if (message.type == platform::MessageType::Paint && recorder.paint) {
        platform::DeviceContext dc = platform::BeginPaint(window);
        recorder.paint(dc);
        platform::EndPaint(window, dc);
        return true;
    }
    if (message.type == platform::MessageType::EraseBackground) {
        return recorder.handleErase;
    }
    return false;
}

inline int CountMessages(platform::MessageType type, int id = -1) {
    int n = 0;
    for (const auto& m : recorder.messages) {
        n += (m.type == type && (id < 0 || m.id == id)) ? 1 : 0;
    }
    return n;
}

// Runs the event loop until done() holds or a generous limit passes (the limit only keeps a
// broken build from hanging; nothing is measured).
template <typename Done>
bool ProcessEventsUntil(Done done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct TestWindow {
    platform::WindowHandle handle;
    explicit TestWindow(int width = 120, int height = 80,
                        uint32_t background = platform::Rgb(255, 255, 255)) {
        recorder = Recorder{};
        handle = platform::CreateMainWindow("test", width, height, background, RecordingProcedure);
    }
    ~TestWindow() { platform::DestroyWindow(handle); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Paints the given part (nullptr: all) at once with body.
    void Paint(const platform::Rect* rect, std::function<void(platform::DeviceContext)> body,
               bool erase = false) {
        recorder.paint = std::move(body);
        platform::InvalidateRect(handle, rect, erase);
        platform::UpdateWindow(handle);
        recorder.paint = nullptr;
    }

    uint32_t Pixel(int x, int y) const { return platform::GetClientPixel(handle, x, y); }
};

}  // namespace platform_test
