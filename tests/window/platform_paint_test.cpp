// Painting primitives on the client image: the pixels the panel and the trend graph rely on.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "platform_test_window.h"

using namespace platform;
using platform_test::TestWindow;

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kGrey = Rgb(210, 210, 210);

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
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

auto Edges(const Rect& r) {
    return std::tuple(r.left, r.top, r.right, r.bottom);
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
        int x0, y0, x1, y1;
        std::set<std::pair<int, int>> pixels;
    };
    const Case cases[] = {
        {2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},  // horizontal
        {6, 5, 3, 5, {{6, 5}, {5, 5}, {4, 5}}},          // leftwards
        {5, 2, 5, 5, {{5, 2}, {5, 3}, {5, 4}}},          // vertical
        {2, 2, 5, 5, {{2, 2}, {3, 3}, {4, 4}}},          // diagonal
        {6, 2, 3, 5, {{6, 2}, {5, 3}, {4, 4}}},          // anti-diagonal
        {4, 4, 4, 4, {}},                                // zero length
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1);
        TestWindow w(10, 10);
        w.Paint(nullptr, [&](DeviceContext dc) {
            MoveTo(dc, c.x0, c.y0);
            LineTo(dc, c.x1, c.y1);
        });
        ExpectPixels(w, [&](int x, int y) { return c.pixels.count({x, y}) ? kBlack : kWhite; });
    }
}

TEST(PlatformPaint, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    TestWindow w(30, 20);
    w.Paint(nullptr, [](DeviceContext dc) {
        BrushHandle brush = CreateSolidBrush(kGrey);
        SelectBrush(dc, brush);  // the fresh context's pen is black
        Rectangle(dc, 10, 10, 20, 16);
        // Deleting a selected brush leaves the context with its first, white one.
        DeleteBrush(brush);
        Rectangle(dc, 0, 0, 3, 3);
    });
    ExpectPixels(w, [](int x, int y) {
        if (x < 3 && y < 3) {
            return x == 1 && y == 1 ? kWhite : kBlack;
        }
        const bool edge = x == 10 || x == 19 || y == 10 || y == 15;
        return !Inside({10, 10, 20, 16}, x, y) ? kWhite : edge ? kBlack : kGrey;
    });
}

TEST(PlatformPaint, TextCellIsTheFontHeightAndSitsByTheAlignment) {
    TestWindow reference(200, 80);
    DrawText(reference, 20, 10, kAlignLeft | kAlignTop, "42%");
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
        SCOPED_TRACE(align);
        TestWindow w(200, 80);
        DrawText(w, 150, 60, align, "42%");
        EXPECT_EQ(Edges(ChangedBox(w)), Edges(expected));
    }
}

TEST(PlatformPaint, LeadingBlanksWidenTheCellWithoutMovingTheCharacters) {
    TestWindow bare(200, 80);
    TestWindow padded(200, 80);
    DrawText(bare, 150, 60, kAlignRight | kAlignBottom, "--");
    DrawText(padded, 150, 60, kAlignRight | kAlignBottom, "  --");
    EXPECT_LT(ChangedBox(padded).left, ChangedBox(bare).left);
    ExpectPixels(padded, [&](int x, int y) {
        return bare.Pixel(x, y) != kWhite ? bare.Pixel(x, y) : padded.Pixel(x, y);
    });
}

TEST(PlatformPaint, OpaqueTextCoversAnEarlierLongerTextOnlyWithinItsCell) {
    TestWindow both(160, 40);
    TestWindow onlyLonger(160, 40);
    TestWindow onlyShorter(160, 40);
    DrawText(both, 5, 5, kAlignLeft | kAlignTop, "888888");
    DrawText(both, 5, 5, kAlignLeft | kAlignTop, "1");
    DrawText(onlyLonger, 5, 5, kAlignLeft | kAlignTop, "888888");
    DrawText(onlyShorter, 5, 5, kAlignLeft | kAlignTop, "1");
    const Rect cell = ChangedBox(onlyShorter);
    ASSERT_LT(cell.right, ChangedBox(onlyLonger).right);
    ExpectPixels(both, [&](int x, int y) {
        return (Inside(cell, x, y) ? onlyShorter : onlyLonger).Pixel(x, y);
    });
}

TEST(PlatformPaint, BitBltOnePixelLeftCopiesTheBlockAsItWas) {
    TestWindow w(40, 20);
    DrawText(w, 1, 0, kAlignLeft | kAlignTop, "W8%");
    std::vector<uint32_t> before;
    for (int i = 0; i < 40 * 20; ++i) {
        before.push_back(w.Pixel(i % 40, i / 40));
    }
    w.Paint(nullptr, [](DeviceContext dc) { BitBlt(dc, 5, 4, 30, 10, 6, 4); });
    ExpectPixels(w, [&](int x, int y) {
        return before[y * 40 + (Inside({5, 4, 35, 14}, x, y) ? x + 1 : x)];
    });
}

TEST(PlatformPaint, DrawingIsClippedToTheUpdateRegion) {
    TestWindow w(60, 40);
    const Rect first{10, 10, 30, 20};
    const Rect second{25, 25, 35, 30};
    platform_test::recorder.paint = [](DeviceContext dc) {
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
    // That paint validated the region: nothing is left to paint.
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
    const Rect part{5, 5, 15, 10};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.erase << c.procedureErases);
        TestWindow w(30, 20, kGrey);
        w.Paint(nullptr, [](DeviceContext dc) { Rectangle(dc, 0, 0, 30, 20); });
        platform_test::recorder.messages.clear();
        platform_test::recorder.handleErase = c.procedureErases;
        w.Paint(
            &part, [](DeviceContext) {}, c.erase);
        EXPECT_EQ(platform_test::CountMessages(MessageType::EraseBackground), c.eraseMessages);
        ExpectPixels(w, [&](int x, int y) {
            const bool border = x == 0 || y == 0 || x == 29 || y == 19;
            return Inside(part, x, y) && c.filled ? kGrey : border ? kBlack : kWhite;
        });
    }
}
