#include "window_fixture.h"

#include <cstdlib>

#include "app/main_window.h"
#include "app/settings.h"
#include "app/window_state.h"
#include "link/protocol.h"
#include "link/tx_ring.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "platform/message_box.h"

std::vector<RecordedBox> KvxWindowTest::boxes;

namespace {

platform::MessageResult RecordBox(const char* text, const char* caption, platform::MessageIcon,
                                  platform::MessageButtons) {
    KvxWindowTest::boxes.push_back({text, caption});
    return platform::MessageResult::Ok;
}

}  // namespace

void ResetProgramState() {
    SetSettingsDefaults(settings);
    ResetProtocolState();
    ResetCommandQueue();
    for (auto* flag : {&windowFlags.fullRepaint, &windowFlags.panelRepaint,
                       &windowFlags.valuesChanged, &windowFlags.lastPaintedMeasurement,
                       &windowFlags.keyLatch, &windowFlags.confirmPending, &windowFlags.frozen}) {
        flag->store(0);
    }
    windowFlags.alarmCountdown.store(0);
    for (auto& sample : trendBuffer.sampleRing) {
        sample.store(0);
    }
    trendBuffer.sampleWrite.store(0);
    trendBuffer.sampleRead.store(0);
    for (auto& h : trendBuffer.historyRing) {
        h = 0;
    }
    trendBuffer.historyPos = 0;
    trendBuffer.lastPlotted = 0;
    trendBuffer.awaitingFirstSample = true;
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i].store(0);
        parameterSet.editWords[i] = 0;
    }
    uint8_t drained[kTxRingSize];
    while (TakeTxBytes(drained) > 0) {
    }
}

void KvxWindowTest::SetUp() {
    previousDir = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() /
          ("kvx_window_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    for (int port = 1; port <= 8; ++port) {
        std::string name = "KVXMON_COM" + std::to_string(port);
        setenv(name.c_str(), (dir / "absent").c_str(), 1);
    }
    ResetProgramState();
    boxes.clear();
    platform::SetMessageBoxHook(RecordBox);
}

void KvxWindowTest::TearDown() {
    Stop();
    platform::SetMessageBoxHook(nullptr);
    std::filesystem::current_path(previousDir);
    std::filesystem::remove_all(dir);
}

platform::WindowHandle KvxWindowTest::Start() {
    window = StartMainWindow();
    if (window != nullptr) {
        Paint();
    }
    return window;
}

void KvxWindowTest::Stop() {
    if (window != nullptr) {
        platform::DestroyWindow(window);
        window = nullptr;
        // The window posted its quit message as it went; the loop takes it and ends at once.
        EXPECT_EQ(platform::RunMessageLoop(), 0);
    }
}

void KvxWindowTest::Tick(int timerId, int times) {
    for (int i = 0; i < times; ++i) {
        platform::WindowMessage message{platform::MessageType::Timer};
        message.id = timerId;
        platform::SendWindowMessage(window, message);
    }
}

void KvxWindowTest::Key(int key, bool down) {
    platform::WindowMessage message{down ? platform::MessageType::KeyDown
                                         : platform::MessageType::KeyUp};
    message.key = key;
    platform::SendWindowMessage(window, message);
}

void KvxWindowTest::Command(int id) {
    platform::WindowMessage message{platform::MessageType::Command};
    message.id = id;
    platform::SendWindowMessage(window, message);
}

void KvxWindowTest::Paint() {
    platform::UpdateWindow(window);
}

void KvxWindowTest::Feed(uint16_t word) {
    uint8_t bytes[kLongMessageSize];
    EncodeLongMessage(word, bytes);
    ParseReceived(bytes, kLongMessageSize);
}

std::vector<uint32_t> KvxWindowTest::Capture(const platform::Rect& area) {
    std::vector<uint32_t> pixels;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            pixels.push_back(platform::GetClientPixel(window, x, y));
        }
    }
    return pixels;
}

int KvxWindowTest::CurveColumn(int y) {
    for (int x = 365; x < 868; ++x) {
        if (platform::GetClientPixel(window, x, y) == platform::Rgb(0, 0, 255)) {
            return x;
        }
    }
    return -1;
}
