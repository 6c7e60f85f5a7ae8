// A window for the platform tests: its procedure records every message and paints with what
// the test gives it, so a test can look at the messages and the pixels.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
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

inline bool RecordingProcedure(platform::WindowHandle window, const platform::WindowMessage& m) {
    recorder.messages.push_back(m);
    if (m.type == platform::MessageType::Paint && recorder.paint) {
        platform::DeviceContext dc = platform::BeginPaint(window);
        recorder.paint(dc);
        platform::EndPaint(window, dc);
        return true;
    }
    return m.type == platform::MessageType::EraseBackground && recorder.handleErase;
}

inline int CountMessages(platform::MessageType type, int id = -1) {
    return static_cast<int>(
        std::count_if(recorder.messages.begin(), recorder.messages.end(),
                      [&](const auto& m) { return m.type == type && (id < 0 || m.id == id); }));
}

inline std::vector<int> MessageIds(platform::MessageType type) {
    std::vector<int> ids;
    for (const auto& m : recorder.messages) {
        if (m.type == type) {
            ids.push_back(m.id);
        }
    }
    return ids;
}

// Runs the event loop until done() holds; the limit only keeps a broken build from hanging.
template <typename Done>
bool ProcessEventsUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
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
