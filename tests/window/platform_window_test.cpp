// The main window's messages: creation and closing, timers, menus with program-set check marks,
// keys with their auto-repeat flag, posted commands, the quit path and message boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
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
    EXPECT_EQ(GetClientPixel(w, 49, 29), Rgb(1, 2, 3));
    EXPECT_EQ(GetClientPixel(w, 50, 0), kInvalidPixel);

    // Closing the real window asks the procedure, whose default destroys the window; the widgets
    // go once the event loop gets to them.
    QPointer<QWidget> top = WindowWidget(w);
    top->close();
    EXPECT_EQ(CountMessages(MessageType::Close), 1);
    EXPECT_EQ(CountMessages(MessageType::Destroy), 1);
    EXPECT_EQ(ClientWidth(w), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(top.isNull());
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
    KillTimer(w.handle, 20);
    recorder.messages.clear();
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Timer, 300) >= 3; }));
    EXPECT_EQ(CountMessages(MessageType::Timer, 20), 0);
    EXPECT_EQ(CountMessages(MessageType::Timer), CountMessages(MessageType::Timer, 300));
}

TEST(PlatformWindow, MenuMarksAreSetOnlyByTheProgram) {
    static const MenuEntry entries[] = {
        {MenuEntryKind::Popup, 0, "&Roll"},     {MenuEntryKind::Item, 2016, "&10s"},
        {MenuEntryKind::Item, 2017, "&30s"},    {MenuEntryKind::Separator, 0, nullptr},
        {MenuEntryKind::Item, 2021, "\xC4nd"},  {MenuEntryKind::EndPopup, 0, nullptr},
        {MenuEntryKind::BarItem, 105, "E&xit"},
    };
    static const MenuResource menu{1044, entries, 7};
    TestWindow w;
    EXPECT_EQ(AttachedMenuCount(w.handle), 0);
    SetMenu(w.handle, &menu);
    SetMenu(w.handle, &menu);
    EXPECT_EQ(AttachedMenuCount(w.handle), 1);
    // The client keeps its exact size, below the menu bar.
    WindowWidget(w.handle)->adjustSize();
    EXPECT_EQ(ClientWidget(w.handle)->geometry(),
              QRect(0, WindowWidget(w.handle)->height() - 80, 120, 80));
    EXPECT_GT(ClientWidget(w.handle)->y(), 0);
    EXPECT_EQ(FindMenuAction(w.handle, 2021)->text(), QString::fromUtf8("\xC3\x84nd"));

    CheckMenuItem(w.handle, 2017, true);
    for (int id : {2017, 2016, 105}) {
        FindMenuAction(w.handle, id)->trigger();
    }
    EXPECT_TRUE(IsMenuItemChecked(w.handle, 2017));
    EXPECT_FALSE(IsMenuItemChecked(w.handle, 2016));
    // The commands arrive through the event loop, in order.
    EXPECT_EQ(CountMessages(MessageType::Command), 0);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Command) == 3; }));
    EXPECT_EQ(platform_test::MessageIds(MessageType::Command), (std::vector<int>{2017, 2016, 105}));
    CheckMenuItem(w.handle, 2017, false);
    EXPECT_FALSE(IsMenuItemChecked(w.handle, 2017));
    SetMenu(w.handle, nullptr);
    EXPECT_EQ(AttachedMenuCount(w.handle), 0);
}

TEST(PlatformWindow, HeldKeyRepeatsKeyDownAndReleasesOnce) {
    TestWindow w;
    // A held Space: press, then repeats that Qt pairs with releases, then the real release.
    const std::tuple<QEvent::Type, int, bool> events[] = {
        {QEvent::KeyPress, Qt::Key_Space, false}, {QEvent::KeyRelease, Qt::Key_Space, true},
        {QEvent::KeyPress, Qt::Key_Space, true},  {QEvent::KeyRelease, Qt::Key_Space, false},
        {QEvent::KeyPress, Qt::Key_Pause, false}, {QEvent::KeyPress, Qt::Key_A, false},
    };
    for (const auto& [type, key, repeat] : events) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(ClientWidget(w.handle), &event);
    }
    const std::tuple<MessageType, int, bool> expected[] = {
        {MessageType::KeyDown, kKeySpace, false}, {MessageType::KeyDown, kKeySpace, true},
        {MessageType::KeyUp, kKeySpace, false},   {MessageType::KeyDown, kKeyPause, false},
        {MessageType::KeyDown, 'A', false},
    };
    std::vector<std::tuple<MessageType, int, bool>> keys;
    for (const auto& m : recorder.messages) {
        if (m.type == MessageType::KeyDown || m.type == MessageType::KeyUp) {
            keys.emplace_back(m.type, m.key, m.autoRepeat);
        }
    }
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), keys.begin()));
}

TEST(PlatformWindow, ShowingPaintsTheWholeClientAfterAnErase) {
    TestWindow w(40, 20);
    Rect painted{0, 0, 0, 0};
    recorder.paint = [&painted](DeviceContext dc) { painted = GetUpdateRect(dc); };
    ShowWindow(w.handle);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Paint) >= 1; }));
    EXPECT_EQ(CountMessages(MessageType::EraseBackground), 1);
    EXPECT_EQ(painted.right - painted.left, 40);
    EXPECT_EQ(painted.bottom - painted.top, 20);
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

TEST(PlatformWindow, PostedCommandThatDestroysTheWindowEndsTheMessageLoop) {
    recorder = {};
    WindowHandle w = CreateMainWindow("t", 40, 20, 0, QuittingProcedure);
    ShowWindow(w);
    PostCommand(w, 105);
    EXPECT_EQ(CountMessages(MessageType::Command), 0);
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
    EXPECT_EQ(ShowMessageBox(w.handle, "Busy", "Caption", MessageIcon::Error, MessageButtons::Ok),
              MessageResult::Ok);
    EXPECT_GE(CountMessages(MessageType::Timer, 50), 3);
    EXPECT_EQ(boxParent, WindowWidget(w.handle));
}
