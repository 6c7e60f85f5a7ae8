// The platform's window and painting primitives where the program's own window tests cannot see
// a fault: exact pixels of lines, rectangles and text cells, the paint region, real timers, the
// first paint on showing, and message boxes that keep the timers running.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/device_context.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "platform/window_widgets.h"

using namespace platform;

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kGrey = Rgb(210, 210, 210);
constexpr uint32_t kBlue = Rgb(0, 0, 255);

// The test window's procedure records every message and paints with what the test gives it.
struct Recorder {
    std::vector<WindowMessage> messages;
    std::function<void(DeviceContext)> paint;  // empty: Paint is not handled
    bool handleErase = false;
} recorder;

bool RecordingProcedure(WindowHandle window, const WindowMessage& m) {
    recorder.messages.push_back(m);
    if (m.type == MessageType::Paint && recorder.paint) {
        DeviceContext dc = BeginPaint(window);
        recorder.paint(dc);
        EndPaint(window, dc);
        return true;
    }
    return m.type == MessageType::EraseBackground && recorder.handleErase;
}

int CountMessages(MessageType type, int id = -1) {
    int n = 0;
    for (const auto& m : recorder.messages) {
        n += m.type == type && (id < 0 || m.id == id);
    }
    return n;
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
    WindowHandle handle;
    explicit TestWindow(int width = 120, int height = 80, uint32_t background = kWhite) {
        recorder = Recorder{};
        handle = CreateMainWindow("test", width, height, background, RecordingProcedure);
    }
    ~TestWindow() { DestroyWindow(handle); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Paints the given part (nullptr: all) at once with body.
    void Paint(const Rect* rect, std::function<void(DeviceContext)> body, bool erase = false) {
        recorder.paint = std::move(body);
        InvalidateRect(handle, rect, erase);
        UpdateWindow(handle);
        recorder.paint = nullptr;
    }
    uint32_t Pixel(int x, int y) const { return GetClientPixel(handle, x, y); }
};

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

auto Edges(const Rect& r) {
    return std::tuple(r.left, r.top, r.right, r.bottom);
}

// Compares every pixel with expected(x, y) and reports the first difference.
template <typename Expected>
void ExpectPixels(const TestWindow& w, Expected expected) {
    for (int y = 0; y < ClientHeight(w.handle); ++y) {
        for (int x = 0; x < ClientWidth(w.handle); ++x) {
            if (w.Pixel(x, y) != expected(x, y)) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << w.Pixel(x, y)
                              << ", expected " << expected(x, y);
                return;
            }
        }
    }
}

// The bounding box of the pixels that are no longer white.
Rect ChangedBox(const TestWindow& w) {
    Rect box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < ClientHeight(w.handle); ++y) {
        for (int x = 0; x < ClientWidth(w.handle); ++x) {
            if (w.Pixel(x, y) != kWhite) {
                box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
            }
        }
    }
    return box;
}

}  // namespace

TEST(PlatformPaint, LinesIncludeTheStartAndExcludeTheEndPoint) {
    const struct {
        int x0, y0, x1, y1;
        std::set<std::pair<int, int>> pixels;
    } cases[] = {
        {2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},  // horizontal
        {6, 5, 3, 5, {{6, 5}, {5, 5}, {4, 5}}},          // leftwards
        {5, 2, 5, 5, {{5, 2}, {5, 3}, {5, 4}}},          // vertical
        {2, 2, 5, 5, {{2, 2}, {3, 3}, {4, 4}}},          // diagonal
        {6, 2, 3, 5, {{6, 2}, {5, 3}, {4, 4}}},          // anti-diagonal
        {4, 4, 4, 4, {}},                                // zero length
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1);
        TestWindow w(10, 10);
        w.Paint(nullptr, [&](DeviceContext dc) {
            MoveTo(dc, c.x0, c.y0);
            LineTo(dc, c.x1, c.y1);
        });
        ExpectPixels(w, [&](int x, int y) { return c.pixels.count({x, y}) ? kBlack : kWhite; });
    }
}

TEST(PlatformPaint, TextCellIsTheFontHeightAndSitsByTheAlignment) {
    auto draw = [](TestWindow& w, int x, int y, int align) {
        w.Paint(nullptr, [&](DeviceContext dc) {
            FontHandle font = CreateFont(20, 400);
            FontHandle old = SelectFont(dc, font);
            SetTextAlign(dc, align);
            SetBkColor(dc, kGrey);
            TextOut(dc, x, y, "42%", 3);
            DeleteFont(SelectFont(dc, old));
        });
    };
    TestWindow reference(200, 80);
    draw(reference, 20, 10, kAlignLeft | kAlignTop);
    const Rect cell = ChangedBox(reference);
    const int width = cell.right - cell.left;
    ASSERT_GT(width, 0);
    EXPECT_EQ(Edges(cell), Edges(Rect{20, 10, 20 + width, 30}));

    const std::pair<int, Rect> cases[] = {
        {kAlignRight | kAlignBottom, Rect{150 - width, 40, 150, 60}},
        {kAlignLeft | kAlignBottom, Rect{150, 40, 150 + width, 60}},
        {kAlignCenter | kAlignTop, Rect{150 - width / 2, 60, 150 - width / 2 + width, 80}},
    };
    for (const auto& [align, expected] : cases) {
        TestWindow w(200, 80);
        draw(w, 150, 60, align);
        EXPECT_EQ(Edges(ChangedBox(w)), Edges(expected)) << align;
    }
}

TEST(PlatformPaint, DrawingIsClippedToTheUpdateRegionWhichThePaintValidates) {
    TestWindow w(60, 40);
    const Rect first{10, 10, 30, 20};
    const Rect second{25, 25, 35, 30};
    recorder.paint = [](DeviceContext dc) {
        EXPECT_EQ(Edges(GetUpdateRect(dc)), Edges(Rect{10, 10, 35, 30}));
        BrushHandle black = CreateSolidBrush(kBlack);
        BrushHandle old = SelectBrush(dc, black);
        Rectangle(dc, 0, 0, 60, 40);
        DeleteBrush(SelectBrush(dc, old));
        MoveTo(dc, 0, 22);
        LineTo(dc, 60, 22);
        SetBkColor(dc, kBlack);
        TextOut(dc, 0, 0, "WWWWWWWWWWWW", 12);
        BitBlt(dc, 0, 0, 60, 40, 0, 0);
    };
    InvalidateRect(w.handle, &first, false);
    InvalidateRect(w.handle, &second, false);
    UpdateWindow(w.handle);
    ExpectPixels(w, [&](int x, int y) {
        return Inside(first, x, y) || Inside(second, x, y) ? kBlack : kWhite;
    });
    recorder.messages.clear();
    UpdateWindow(w.handle);
    EXPECT_EQ(CountMessages(MessageType::Paint), 0);
}

TEST(PlatformPaint, RectangleUsesPenAndBrushEraseFillsOnlyTheRegionWhenAsked) {
    const struct {
        bool erase, procedureErases;
        int eraseMessages;
        bool filled;
    } cases[] = {{true, false, 1, true}, {false, false, 0, false}, {true, true, 1, false}};
    const Rect part{5, 5, 15, 10};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.erase << c.procedureErases);
        TestWindow w(30, 20, kGrey);
        w.Paint(nullptr, [](DeviceContext dc) {
            BrushHandle blue = CreateSolidBrush(kBlue);
            BrushHandle old = SelectBrush(dc, blue);  // the fresh context's pen is black
            Rectangle(dc, 0, 0, 30, 20);
            DeleteBrush(SelectBrush(dc, old));
        });
        recorder.messages.clear();
        recorder.handleErase = c.procedureErases;
        w.Paint(
            &part, [](DeviceContext) {}, c.erase);
        EXPECT_EQ(CountMessages(MessageType::EraseBackground), c.eraseMessages);
        ExpectPixels(w, [&](int x, int y) {
            const bool border = x == 0 || y == 0 || x == 29 || y == 19;
            return Inside(part, x, y) && c.filled ? kGrey : border ? kBlack : kBlue;
        });
    }
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
    EXPECT_EQ(CountMessages(MessageType::Timer), CountMessages(MessageType::Timer, 300));
}

TEST(PlatformWindow, ShowingPaintsTheWholeClientAfterAnErase) {
    TestWindow w(40, 20);
    Rect painted{0, 0, 0, 0};
    recorder.paint = [&painted](DeviceContext dc) { painted = GetUpdateRect(dc); };
    ShowWindow(w.handle);
    ASSERT_TRUE(ProcessEventsUntil([] { return CountMessages(MessageType::Paint) >= 1; }));
    EXPECT_EQ(CountMessages(MessageType::EraseBackground), 1);
    EXPECT_EQ(Edges(painted), Edges(Rect{0, 0, 40, 20}));
    recorder.paint = nullptr;
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
