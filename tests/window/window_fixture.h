// A headless main window per test, in a scratch working directory, with every COM port pointed
// at a path that does not exist and message boxes answered by a recorder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/window.h"

struct RecordedBox {
    std::string text;
    std::string caption;
};

class KvxWindowTest : public ::testing::Test {
  public:
    // Every message box shown, in order (the window thread only).
    static std::vector<RecordedBox> boxes;

  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the window as the program entry does and paints its first picture.
    platform::WindowHandle Start();
    void Stop();
    void Tick(int timerId, int times = 1);
    void Key(int key, bool down);
    void Command(int id);
    void Paint();
    // Hands the parser one long message carrying word, as the reader thread would.
    void Feed(uint16_t word);
    std::vector<uint32_t> Capture(const platform::Rect& area);
    // The left-most column of the graph's scrolling block where row y shows the curve, or -1.
    int CurveColumn(int y);

    platform::WindowHandle window = nullptr;
    std::filesystem::path dir;
    std::filesystem::path previousDir;
};

// Puts every process-wide record the window uses back into its start-up state.
void ResetProgramState();
