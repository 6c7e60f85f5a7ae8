#include "window_fixture.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "app/settings.h"
#include "app/window_state.h"
#include "link/protocol.h"
#include "link/tx_ring.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "platform/message_box.h"
#include "platform/window_widgets.h"

namespace {

// No link thread runs between tests, so the records can simply be built anew.
template <typename T>
void Renew(T& record) {
    std::destroy_at(&record);
    std::construct_at(&record);
}

}  // namespace

void ResetProgramState() {
    SetSettingsDefaults(settings);
    ResetProtocolState();
    ResetCommandQueue();
    Renew(windowFlags);
    Renew(trendBuffer);
    Renew(parameterSet);
    uint8_t drained[kTxRingSize];
    while (TakeTxBytes(drained) > 0) {
    }
}

void KvxWindowTest::SetUp() {
    previousDir = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() /
          ("kvx_window_" +
           std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    for (int port = 1; port <= 8; ++port) {
        setenv(("KVXMON_COM" + std::to_string(port)).c_str(), (dir / "absent").c_str(), 1);
    }
    ResetProgramState();
    boxes.clear();
    platform::SetMessageBoxHook(
        [](const char* text, const char* caption, platform::MessageIcon, platform::MessageButtons) {
            boxes.push_back(std::string(text) + "|" + caption);
            return platform::MessageResult::Ok;
        });
}

void KvxWindowTest::TearDown() {
    Stop();
    platform::SetMessageBoxHook(nullptr);
    std::filesystem::current_path(previousDir);
    std::filesystem::remove_all(dir);
}

platform::WindowHandle KvxWindowTest::Start() {
    window = StartMainWindow();
    Paint();
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

void KvxWindowTest::Send(platform::MessageType type, int id, int key, int times) {
    platform::WindowMessage message{type};
    message.id = id;
    message.key = key;
    for (int i = 0; i < times; ++i) {
        platform::SendWindowMessage(window, message);
    }
}

void KvxWindowTest::Feed(std::initializer_list<uint16_t> words) {
    for (uint16_t word : words) {
        uint8_t bytes[kLongMessageSize];
        EncodeLongMessage(word, bytes);
        ParseReceived(bytes, kLongMessageSize);
    }
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

void KvxWindowTest::PressKey(int qtKey, int repeats) {
    // Qt pairs each auto-repeated press with a release of its own.
    auto post = [this, qtKey](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, qtKey, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(platform::ClientWidget(window), &event);
    };
    post(QEvent::KeyPress, false);
    for (int i = 0; i < repeats; ++i) {
        post(QEvent::KeyRelease, true);
        post(QEvent::KeyPress, true);
    }
    post(QEvent::KeyRelease, false);
}
