// The main window's messages: creation and closing, timers, menus with program-set check marks,
// keys with their auto-repeat flag, posted commands and the first paint when shown.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include "platform/message_box.h"
#include "platform/window_widgets.h"
#include "platform_test_window.h"

using namespace platform;
using platform_test::CountMessages;
using platform_test::ProcessEventsUntil;
using platform_test::recorder;
using platform_test::TestWindow;

TEST(PlatformWindow, CreateComesOnceBeforeTheHandleAndCloseDestroysByDefault) {
    recorder = {};
    WindowHandle w = CreateMainWindow("t", 50, 30, Rgb(1, 2, 3), platform_test::RecordingProcedure);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].type, MessageType::Create);
    EXPECT_EQ(ClientWidth(w), 50);
    EXPECT_EQ(ClientHeight(w), 30);
    EXPECT_EQ(GetClientPixel(w, 49, 29), Rgb(1, 2, 3));
    EXPECT_EQ(GetClientPixel(w, 50, 0), kInvalidPixel);

    // The recording procedure leaves Close to the default, which destroys the window.
    SendWindowMessage(w, WindowMessage{MessageType::Close});
    EXPECT_EQ(CountMessages(MessageType::Destroy), 1);
    EXPECT_EQ(ClientWidth(w), 0);
    EXPECT_EQ(WindowWidget(w), nullptr);
    DestroyWindow(w);  // a stale handle is refused, not used
    EXPECT_EQ(CountMessages(MessageType::Destroy), 1);
}

TEST(PlatformWindow, TimersDeliverTheirIdsUntilKilled) {
    TestWindow w;
    SetTimer(w.handle, 20, 10);
    SetTimer(w.handle, 300, 15);
    ASSERT_TRUE(ProcessEventsUntil([] {
        return CountMessages(MessageType::Timer, 20) >= 3 &&
               CountMessages(MessageType::Timer, 300) >= 2;
    }));
    EXPECT_EQ(CountMessages(MessageType::Timer),
              CountMessages(MessageType::Timer, 20) + CountMessages(MessageType::Timer, 300));

    KillTimer(w.handle, 20);
    recorder.messages.clear();
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Timer, 300) >= 3; }));
    EXPECT_EQ(CountMessages(MessageType::Timer, 20), 0);

    KillTimer(w.handle, 300);
    SetTimer(w.handle, 20, 10);  // an id can be started again after it was killed
    recorder.messages.clear();
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Timer, 20) >= 1; }));
    EXPECT_EQ(CountMessages(MessageType::Timer, 300), 0);
}

TEST(PlatformWindow, MenuMarksAreSetOnlyByTheProgram) {
    static const MenuEntry entries[] = {
        {MenuEntryKind::Popup, 0, "&Roll"},
        {MenuEntryKind::Item, 2016, "&10s"},
        {MenuEntryKind::Item, 2017, "&30s"},
        {MenuEntryKind::Separator, 0, nullptr},
        {MenuEntryKind::Item, 2021, "Stop at \xC4larm"},
        {MenuEntryKind::EndPopup, 0, nullptr},
        {MenuEntryKind::BarItem, 105, "E&xit"},
    };
    static const MenuResource menu{1044, entries, 7};
    TestWindow w;
    EXPECT_EQ(AttachedMenuCount(w.handle), 0);
    SetMenu(w.handle, &menu);
    SetMenu(w.handle, &menu);
    EXPECT_EQ(AttachedMenuCount(w.handle), 1);
    ASSERT_NE(FindMenuAction(w.handle, 2021), nullptr);
    EXPECT_EQ(FindMenuAction(w.handle, 2021)->text(), QString::fromUtf8("Stop at \xC3\x84larm"));
    EXPECT_FALSE(IsMenuItemChecked(w.handle, 2016));

    CheckMenuItem(w.handle, 2017, true);
    EXPECT_TRUE(IsMenuItemChecked(w.handle, 2017));
    FindMenuAction(w.handle, 2017)->trigger();
    FindMenuAction(w.handle, 2016)->trigger();
    FindMenuAction(w.handle, 105)->trigger();
    EXPECT_TRUE(IsMenuItemChecked(w.handle, 2017));
    EXPECT_FALSE(IsMenuItemChecked(w.handle, 2016));
    // The commands arrive through the event loop, in order.
    EXPECT_EQ(CountMessages(MessageType::Command), 0);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Command) == 3; }));
    std::vector<int> ids;
    for (const auto& m : recorder.messages) {
        if (m.type == MessageType::Command) {
            ids.push_back(m.id);
        }
    }
    EXPECT_EQ(ids, (std::vector<int>{2017, 2016, 105}));

    CheckMenuItem(w.handle, 2017, false);
    EXPECT_FALSE(IsMenuItemChecked(w.handle, 2017));
    SetMenu(w.handle, nullptr);
    EXPECT_EQ(AttachedMenuCount(w.handle), 0);
}

TEST(PlatformWindow, HeldKeyRepeatsKeyDownAndReleasesOnce) {
    TestWindow w;
    QWidget* client = ClientWidget(w.handle);
    ASSERT_NE(client, nullptr);
    auto send = [client](QEvent::Type type, int key, bool repeat) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(client, &event);
    };
    send(QEvent::KeyPress, Qt::Key_Space, false);
    send(QEvent::KeyRelease, Qt::Key_Space, true);
    send(QEvent::KeyPress, Qt::Key_Space, true);
    send(QEvent::KeyRelease, Qt::Key_Space, false);
    send(QEvent::KeyPress, Qt::Key_Pause, false);
    send(QEvent::KeyPress, Qt::Key_A, false);
    send(QEvent::KeyPress, Qt::Key_Exclam, false);

    struct Expected {
        MessageType type;
        int key;
        bool autoRepeat;
    };
    const Expected expected[] = {{MessageType::KeyDown, kKeySpace, false},
                                 {MessageType::KeyDown, kKeySpace, true},
                                 {MessageType::KeyUp, kKeySpace, false},
                                 {MessageType::KeyDown, kKeyPause, false},
                                 {MessageType::KeyDown, 'A', false}};
    std::vector<WindowMessage> keys;
    for (const auto& m : recorder.messages) {
        if (m.type == MessageType::KeyDown || m.type == MessageType::KeyUp) {
            keys.push_back(m);
        }
    }
    ASSERT_EQ(keys.size(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(keys[i].type, expected[i].type);
        EXPECT_EQ(keys[i].key, expected[i].key);
        EXPECT_EQ(keys[i].autoRepeat, expected[i].autoRepeat);
    }
    // A key without a virtual key of its own still gets a code no virtual key uses.
    EXPECT_GT(keys[5].key, 0xFF);
}

TEST(PlatformWindow, PostedCommandArrivesAfterTheCurrentMessage) {
    TestWindow w;
    PostCommand(w.handle, 2030);
    EXPECT_EQ(CountMessages(MessageType::Command), 0);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Command, 2030) == 1; }));
}

TEST(PlatformWindow, ShowingPaintsTheWholeClientAfterAnErase) {
    TestWindow w(40, 20, Rgb(128, 128, 128));
    const Rect bounds{0, 0, 40, 20};
    Rect painted{0, 0, 0, 0};
    recorder.paint = [&painted](DeviceContext dc) { painted = GetUpdateRect(dc); };
    ShowWindow(w.handle);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Paint) >= 1; }));
    EXPECT_EQ(CountMessages(MessageType::EraseBackground), 1);
    EXPECT_EQ(painted.left, bounds.left);
    EXPECT_EQ(painted.top, bounds.top);
    EXPECT_EQ(painted.right, bounds.right);
    EXPECT_EQ(painted.bottom, bounds.bottom);
    recorder.paint = nullptr;
}

namespace {
bool QuittingProcedure(WindowHandle window, const WindowMessage& message) {
    recorder.messages.push_back(message);
    if (message.type == MessageType::Command && message.id == 105) {
        DestroyWindow(window);
    } else if (message.type == MessageType::Destroy) {
        PostQuitMessage(3);
    }
    return false;
}
}  // namespace

TEST(PlatformWindow, DestroyingFromACommandEndsTheMessageLoop) {
    recorder = {};
    WindowHandle w = CreateMainWindow("t", 40, 20, 0, QuittingProcedure);
    ASSERT_NE(w, nullptr);
    ShowWindow(w);
    PostCommand(w, 105);
    EXPECT_EQ(RunMessageLoop(), 3);
    EXPECT_EQ(CountMessages(MessageType::Destroy), 1);
    EXPECT_EQ(WindowWidget(w), nullptr);

    // A quit posted before the loop runs ends the next loop at once.
    PostQuitMessage(4);
    EXPECT_EQ(RunMessageLoop(), 4);
}

TEST(PlatformWindow, MessageBoxBelongsToTheWindowAndTimersRunMeanwhile) {
    TestWindow w;
    SetMessageBoxHook(nullptr);
    SetTimer(w.handle, 50, 10);
    QWidget* boxParent = nullptr;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxParent] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && CountMessages(MessageType::Timer, 50) >= 3) {
            boxParent = box->parentWidget();
            box->close();
        }
    });
    closer.start(10);
    EXPECT_EQ(ShowMessageBox(w.handle, "Comm Port occupied", "Caption", MessageIcon::Error,
                             MessageButtons::Ok),
              MessageResult::Ok);
    EXPECT_GE(CountMessages(MessageType::Timer, 50), 3);
    EXPECT_EQ(boxParent, WindowWidget(w.handle));
}
