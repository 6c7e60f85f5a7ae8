// A headless main window per test in a scratch working directory, every COM port pointed at a
// path that does not exist, message boxes recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/window.h"

// Puts every process-wide record the window uses back into its start-up state.
void ResetProgramState();

class KvxWindowTest : public ::testing::Test {
  public:
    static inline std::vector<std::string> boxes;  // "text|caption" of every box shown

  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the window as the program entry does and paints its first picture.
    platform::WindowHandle Start();
    void Stop();
    void Send(platform::MessageType type, int id = 0, int key = 0, int times = 1);
    void Tick(int timerId, int times = 1) { Send(platform::MessageType::Timer, timerId, 0, times); }
    // A real key press on the client (a Qt key code), held through repeats, then released.
    void PressKey(int qtKey, int repeats = 0);
    void Paint() { platform::UpdateWindow(window); }
    // One tick of the timer (300: the panel's rule, 20: the graph's) and the paint it causes.
    void TickAndPaint(int timerId) {
        Tick(timerId);
        Paint();
    }
    // Hands the parser one long message carrying word, as the reader thread would.
    void Feed(std::initializer_list<uint16_t> words);
    std::vector<uint32_t> Capture(const platform::Rect& area);

    platform::WindowHandle window = nullptr;
    std::filesystem::path dir, previousDir;
};
