// The platform's window and painting primitives where the program's own window tests cannot see
// a fault: exact pixels of rectangles and text cells, the paint region and its erase, and real
// timers that keep running while a message box is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>
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

struct TestWindow {
    WindowHandle handle;
    explicit TestWindow(int width = 120, int height = 80, uint32_t background = kWhite) {
        recorder = Recorder{};
        handle = CreateMainWindow("test", width, height, background, RecordingProcedure);
    }
    ~TestWindow() { DestroyWindow(handle); }

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

TEST(PlatformPaint, TextCellIsTheFontHeightAndCentresOnItsPoint) {
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
    TestWindow left(200, 80), centred(200, 80);
    draw(left, 20, 10, kAlignLeft | kAlignTop);
    draw(centred, 150, 60, kAlignCenter | kAlignTop);
    const Rect cell = ChangedBox(left);
    const int width = cell.right - cell.left;
    ASSERT_GT(width, 0);
    EXPECT_EQ(Edges(cell), Edges(Rect{20, 10, 20 + width, 30}));
    EXPECT_EQ(Edges(ChangedBox(centred)),
              Edges(Rect{150 - width / 2, 60, 150 - width / 2 + width, 80}));
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

TEST(PlatformWindow, TimersKeepTheirIdsAndRunWhileAMessageBoxIsOpen) {
    TestWindow w;
    SetMessageBoxHook(nullptr);
    SetTimer(w.handle, 20, 5);
    SetTimer(w.handle, 50, 10);
    KillTimer(w.handle, 20);
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
    EXPECT_EQ(CountMessages(MessageType::Timer), CountMessages(MessageType::Timer, 50));
    EXPECT_EQ(boxParent, WindowWidget(w.handle));
}
