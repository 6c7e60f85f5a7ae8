// A headless main window per test in a scratch working directory, every COM port pointed at a
// path that does not exist, message boxes recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <memory>

#include "app/commands.h"
#include "app/main_window.h"
#include "platform/qt/window_widgets.h"
#include "unit/test_support.h"

class KvxWindowTest : public ::testing::Test {
  public:
    static inline std::vector<std::string> boxes;  // "text|caption" of every box shown

  protected:
    void SetUp() override {
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        for (int port = 1; port <= 8; ++port) {
            setenv(("KVXMON_COM" + std::to_string(port)).c_str(), (dir / "absent").c_str(), 1);
        }
        ResetProgramState();
        boxes.clear();
        platform::SetMessageBoxHook([](const char* text, const char* caption, auto, auto) {
            boxes.push_back(std::string(text) + "|" + caption);
            return platform::MessageResult::Ok;
        });
    }
    void TearDown() override {
        Stop();
        platform::SetMessageBoxHook(nullptr);
        std::filesystem::current_path(previousDir);
    }
    // Starts the window as the program entry does and paints its first picture.
    platform::WindowHandle Start() {
        window = StartMainWindow();
        Paint();
        return window;
    }
    void Stop() {
        if (window != nullptr) {
            platform::DestroyWindow(window);
            window = nullptr;
            // The window posted its quit message as it went; the loop takes it and ends at once.
            EXPECT_EQ(platform::RunMessageLoop(), 0);
        }
    }
    void Send(platform::MessageType type, int id = 0, int times = 1) {
        platform::WindowMessage message{type};
        message.id = id;
        for (int i = 0; i < times; ++i) {
            platform::SendWindowMessage(window, message);
        }
    }
    void Tick(int timerId, int times = 1) { Send(platform::MessageType::Timer, timerId, times); }
    void Paint() { platform::UpdateWindow(window); }
    // One tick of the timer (300: the panel's rule, 20: the graph's) and the paint it causes.
    void TickAndPaint(int timerId) {
        Tick(timerId);
        Paint();
    }
    // A real key press on the client (a Qt key code), held through repeats, then released. Each
    // repeat is a release and a press with the same server time, as X sends them; Qt flags such
    // a pair only when it finds the press already queued, so every other pair goes unflagged.
    void PressKey(int qtKey, int repeats = 0) {
        auto post = [this, qtKey](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, qtKey, Qt::NoModifier, QString(), repeat);
            event.setTimestamp(keyTime);
            QCoreApplication::sendEvent(platform::ClientWidget(window), &event);
        };
        post(QEvent::KeyPress, false);
        for (int i = 0; i < repeats; ++i) {
            keyTime += 40;
            post(QEvent::KeyRelease, i % 2 == 0);
            post(QEvent::KeyPress, i % 2 == 0);
        }
        keyTime += 40;
        post(QEvent::KeyRelease, false);
        keyTime += 100;
    }
    // Hands the parser long messages, as the reader thread would.
    void Feed(std::initializer_list<uint16_t> words) {
        for (uint16_t word : words) {
            ParseReceived(Bytes(word).data(), kLongMessageSize);
        }
    }
    std::vector<uint32_t> Capture(const platform::Rect& area) {
        std::vector<uint32_t> pixels;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                pixels.push_back(platform::GetClientPixel(window, x, y));
            }
        }
        return pixels;
    }

    platform::WindowHandle window = nullptr;
    TempFolder scratch;
    std::filesystem::path dir = scratch.path, previousDir;
    quint64 keyTime = 1000;  // the server time of the key events, in ms
};
