// Painting primitives on the client image: the pixels the panel and the trend graph rely on.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "platform_test_window.h"

using namespace platform;
using platform_test::TestWindow;

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kGrey = Rgb(210, 210, 210);

// The bounding box of the pixels that differ from the background.
Rect ChangedBox(const TestWindow& w, uint32_t background) {
    Rect box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < ClientHeight(w.handle); ++y) {
        for (int x = 0; x < ClientWidth(w.handle); ++x) {
            if (w.Pixel(x, y) != background) {
                box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
            }
        }
    }
    return box;
}

void DrawText(TestWindow& w, int x, int y, int align, const std::string& text) {
    w.Paint(nullptr, [&](DeviceContext dc) {
        FontHandle font = CreateFont(20, 400);
        FontHandle old = SelectFont(dc, font);
        SetTextAlign(dc, align);
        SetBkColor(dc, kGrey);
        TextOut(dc, x, y, text.data(), static_cast<int>(text.size()));
        SelectFont(dc, old);
        DeleteFont(font);
    });
}

}  // namespace

TEST(PlatformPaint, LinesIncludeTheStartAndExcludeTheEndPoint) {
    struct Case {
        const char* name;
        int x0, y0, x1, y1;
        std::set<std::pair<int, int>> pixels;
    };
    const Case cases[] = {
        {"horizontal", 2, 5, 7, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}},
        {"leftwards", 7, 5, 2, 5, {{7, 5}, {6, 5}, {5, 5}, {4, 5}, {3, 5}}},
        {"vertical", 5, 2, 5, 6, {{5, 2}, {5, 3}, {5, 4}, {5, 5}}},
        {"upwards", 5, 6, 5, 3, {{5, 6}, {5, 5}, {5, 4}}},
        {"diagonal", 2, 2, 6, 6, {{2, 2}, {3, 3}, {4, 4}, {5, 5}}},
        {"anti-diagonal", 6, 2, 2, 6, {{6, 2}, {5, 3}, {4, 4}, {3, 5}}},
        {"one pixel", 4, 4, 5, 4, {{4, 4}}},
        {"zero length", 4, 4, 4, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestWindow w(12, 12);
        w.Paint(nullptr, [&](DeviceContext dc) {
            MoveTo(dc, c.x0, c.y0);
            LineTo(dc, c.x1, c.y1);
        });
        std::set<std::pair<int, int>> drawn;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                if (w.Pixel(x, y) == kBlack) {
                    drawn.insert({x, y});
                }
            }
        }
        EXPECT_EQ(drawn, c.pixels);
    }
}

TEST(PlatformPaint, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    TestWindow w(40, 30);
    const uint32_t red = Rgb(255, 0, 0);
    const uint32_t green = Rgb(0, 128, 0);
    w.Paint(nullptr, [&](DeviceContext dc) {
        PenHandle pen = CreatePen(1, red);
        BrushHandle brush = CreateSolidBrush(green);
        PenHandle oldPen = SelectPen(dc, pen);
        BrushHandle oldBrush = SelectBrush(dc, brush);
        Rectangle(dc, 10, 10, 20, 16);
        // Restoring hands back exactly what the fresh context held.
        EXPECT_EQ(SelectPen(dc, oldPen), pen);
        EXPECT_EQ(SelectBrush(dc, oldBrush), brush);
        DeletePen(pen);
        DeleteBrush(brush);
    });
    for (int y = 8; y < 18; ++y) {
        for (int x = 8; x < 22; ++x) {
            const bool inside = x >= 10 && x < 20 && y >= 10 && y < 16;
            const bool edge = x == 10 || x == 19 || y == 10 || y == 15;
            const uint32_t expected = !inside ? kWhite : edge ? red : green;
            EXPECT_EQ(w.Pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(PlatformPaint, TextCellIsTheFontHeightAndSitsByTheAlignment) {
    TestWindow reference(200, 80);
    DrawText(reference, 20, 10, kAlignLeft | kAlignTop, "42%");
    const Rect cell = ChangedBox(reference, kWhite);
    const int width = cell.right - cell.left;
    EXPECT_EQ(cell.left, 20);
    EXPECT_EQ(cell.top, 10);
    EXPECT_EQ(cell.bottom - cell.top, 20);
    ASSERT_GT(width, 0);

    struct Case {
        int align;
        Rect expected;
    };
    const Case cases[] = {
        {kAlignRight | kAlignBottom, Rect{150 - width, 60 - 20, 150, 60}},
        {kAlignLeft | kAlignBottom, Rect{150, 40, 150 + width, 60}},
        {kAlignCenter | kAlignTop, Rect{150 - width / 2, 60, 150 - width / 2 + width, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        TestWindow w(200, 80);
        DrawText(w, 150, 60, c.align, "42%");
        const Rect box = ChangedBox(w, kWhite);
        EXPECT_EQ(box.left, c.expected.left);
        EXPECT_EQ(box.top, c.expected.top);
        EXPECT_EQ(box.right, c.expected.right);
        EXPECT_EQ(box.bottom, c.expected.bottom);
    }
}

TEST(PlatformPaint, OpaqueTextCoversAnEarlierLongerTextOnlyWithinItsCell) {
    const std::string longer = "888888";
    const std::string shorter = "1";
    TestWindow both(160, 40);
    TestWindow onlyLonger(160, 40);
    TestWindow onlyShorter(160, 40);
    DrawText(both, 5, 5, kAlignLeft | kAlignTop, longer);
    DrawText(both, 5, 5, kAlignLeft | kAlignTop, shorter);
    DrawText(onlyLonger, 5, 5, kAlignLeft | kAlignTop, longer);
    DrawText(onlyShorter, 5, 5, kAlignLeft | kAlignTop, shorter);
    const Rect cell = ChangedBox(onlyShorter, kWhite);
    ASSERT_LT(cell.right, ChangedBox(onlyLonger, kWhite).right);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 160; ++x) {
            const bool inCell =
                x >= cell.left && x < cell.right && y >= cell.top && y < cell.bottom;
            const TestWindow& expected = inCell ? onlyShorter : onlyLonger;
            ASSERT_EQ(both.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
        }
    }
}

TEST(PlatformPaint, BitBltOnePixelLeftCopiesTheBlockAsItWas) {
    TestWindow w(40, 20);
    const uint32_t colours[] = {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 160, 0), kBlack, kGrey};
    w.Paint(nullptr, [&](DeviceContext dc) {
        PenHandle pens[5];
        for (int i = 0; i < 5; ++i) {
            pens[i] = CreatePen(1, colours[i]);
        }
        PenHandle old = SelectPen(dc, pens[0]);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 40; ++x) {
                SelectPen(dc, pens[(x * 3 + y) % 5]);
                MoveTo(dc, x, y);
                LineTo(dc, x + 1, y);
            }
        }
        SelectPen(dc, old);
        for (PenHandle pen : pens) {
            DeletePen(pen);
        }
    });
    uint32_t before[20][40];
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            before[y][x] = w.Pixel(x, y);
        }
    }
    w.Paint(nullptr, [](DeviceContext dc) { BitBlt(dc, 5, 4, 30, 10, 6, 4); });
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool moved = x >= 5 && x < 35 && y >= 4 && y < 14;
            EXPECT_EQ(w.Pixel(x, y), moved ? before[y][x + 1] : before[y][x]) << x << "," << y;
        }
    }
}

TEST(PlatformPaint, DrawingIsClippedToTheUpdateRegion) {
    TestWindow w(60, 40);
    const Rect first{10, 10, 30, 20};
    const Rect second{25, 25, 35, 30};
    platform_test::recorder.paint = [&](DeviceContext dc) {
        const Rect bounds = GetUpdateRect(dc);
        EXPECT_EQ(bounds.left, 10);
        EXPECT_EQ(bounds.top, 10);
        EXPECT_EQ(bounds.right, 35);
        EXPECT_EQ(bounds.bottom, 30);
        BrushHandle black = CreateSolidBrush(kBlack);
        BrushHandle old = SelectBrush(dc, black);
        Rectangle(dc, 0, 0, 60, 40);
        SelectBrush(dc, old);
        DeleteBrush(black);
        MoveTo(dc, 0, 22);
        LineTo(dc, 60, 22);
        SetBkColor(dc, kBlack);
        TextOut(dc, 0, 0, "WWWWWWWWWWWW", 12);
        BitBlt(dc, 0, 0, 60, 40, 0, 0);
    };
    InvalidateRect(w.handle, &first, false);
    InvalidateRect(w.handle, &second, false);
    UpdateWindow(w.handle);
    auto inside = [](const Rect& r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool updated = inside(first, x, y) || inside(second, x, y);
            EXPECT_EQ(w.Pixel(x, y), updated ? kBlack : kWhite) << x << "," << y;
        }
    }
    // The paint validated the region: nothing is left to paint.
    platform_test::recorder.messages.clear();
    UpdateWindow(w.handle);
    EXPECT_EQ(platform_test::CountMessages(MessageType::Paint), 0);
}

TEST(PlatformPaint, EraseFillsOnlyTheRegionAndOnlyWhenRequested) {
    struct Case {
        bool erase;
        bool procedureErases;
        int eraseMessages;
        bool filled;
    };
    const Case cases[] = {{true, false, 1, true}, {false, false, 0, false}, {true, true, 1, false}};
    const uint32_t red = Rgb(255, 0, 0);
    const Rect part{5, 5, 15, 10};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.erase << c.procedureErases);
        TestWindow w(30, 20, kGrey);
        w.Paint(nullptr, [&](DeviceContext dc) {
            BrushHandle brush = CreateSolidBrush(red);
            BrushHandle old = SelectBrush(dc, brush);
            PenHandle pen = CreatePen(1, red);
            PenHandle oldPen = SelectPen(dc, pen);
            Rectangle(dc, 0, 0, 30, 20);
            SelectPen(dc, oldPen);
            SelectBrush(dc, old);
            DeletePen(pen);
            DeleteBrush(brush);
        });
        platform_test::recorder.messages.clear();
        platform_test::recorder.handleErase = c.procedureErases;
        w.Paint(
            &part, [](DeviceContext) {}, c.erase);
        EXPECT_EQ(platform_test::CountMessages(MessageType::EraseBackground), c.eraseMessages);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                const bool inPart = x >= 5 && x < 15 && y >= 5 && y < 10;
                EXPECT_EQ(w.Pixel(x, y), inPart && c.filled ? kGrey : red) << x << "," << y;
            }
        }
    }
}
