// The window's timers keep their ids and keep running while a message box is open, so values and
// graph go on while the user reads a message; a paint the program answers without painting is
// not delivered again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "platform/message_box.h"
#include "platform/qt/window_widgets.h"
#include "platform/window.h"

using namespace platform;

namespace {

std::vector<int> timerTicks;

bool RecordingProcedure(WindowHandle, const WindowMessage& m) {
    if (m.type == MessageType::Timer) {
        timerTicks.push_back(m.id);
    }
    return false;
}

int paints = 0;

bool PaintWithoutPaintingProcedure(WindowHandle, const WindowMessage& m) {
    paints += m.type == MessageType::Paint ? 1 : 0;
    return m.type == MessageType::Paint;
}

}  // namespace

TEST(PlatformWindow, APaintHandledWithoutPaintingIsNotDeliveredAgain) {
    WindowHandle window =
        CreateMainWindow("test", 120, 80, Rgb(255, 255, 255), PaintWithoutPaintingProcedure);
    InvalidateRect(window, nullptr, false);
    UpdateWindow(window);
    const int afterFirst = paints;
    UpdateWindow(window);
    EXPECT_EQ(afterFirst, 1);
    EXPECT_EQ(paints, 1);
    DestroyWindow(window);
}

TEST(PlatformWindow, TimersKeepTheirIdsAndRunWhileAMessageBoxIsOpen) {
    timerTicks.clear();
    WindowHandle window = CreateMainWindow("test", 120, 80, Rgb(255, 255, 255), RecordingProcedure);
    SetMessageBoxHook(nullptr);
    SetTimer(window, 20, 5);
    SetTimer(window, 50, 10);
    KillTimer(window, 20);
    QWidget* boxParent = nullptr;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxParent] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && std::count(timerTicks.begin(), timerTicks.end(), 50) >= 3) {
            boxParent = box->parentWidget();
            box->close();
        }
    });
    closer.start(10);
    EXPECT_EQ(ShowMessageBox(window, "Busy", "Caption", MessageIcon::Error, MessageButtons::Ok),
              MessageResult::Ok);
    EXPECT_GE(timerTicks.size(), 3u);
    EXPECT_EQ(std::count(timerTicks.begin(), timerTicks.end(), 50), std::ssize(timerTicks));
    EXPECT_EQ(boxParent, WindowWidget(window));
    DestroyWindow(window);
}
