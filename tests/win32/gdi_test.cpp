// Drawing on GDI, read back from a DIB section as the window's client image is: lines without
// their end point, rectangle edges, opaque text cells, an overlapping block transfer, clipping to
// the update region, the same picture at 200 % exactly twice as large; and the printed report
// under the page's anisotropic mapping.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "output/report.h"
#include "platform/common/pixel_grid.h"
#include "platform/printer.h"
#include "platform/win32/gdi_context.h"
#include "records/window_state.h"

// After <windows.h>, which the lean build keeps it out of.
#include <winspool.h>

using namespace platform;

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255), kBlack = Rgb(0, 0, 0), kRed = Rgb(255, 0, 0),
                   kGreen = Rgb(0, 160, 0), kBlue = Rgb(0, 0, 255), kGrey = Rgb(210, 210, 210);

// A white top-down 32-bit DIB section in a memory DC.
struct Surface {
    int width, height;
    HDC dc = ::CreateCompatibleDC(nullptr);
    uint32_t* bits = nullptr;
    HBITMAP bitmap;
    HGDIOBJ old;
    Surface(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                    nullptr, 0);
        old = ::SelectObject(dc, bitmap);
        std::memset(bits, 0xFF, static_cast<size_t>(w) * h * 4);
    }
    ~Surface() {
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    uint32_t operator()(int x, int y) const {  // as 0x00BBGGRR
        ::GdiFlush();
        const uint32_t p = bits[y * width + x];
        return Rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// The scene both scales draw: a rectangle, straight lines, a block moved one pixel left over
// itself, and a line across the edge of the update region.
void DrawScene(DeviceContext dc) {
    PenHandle blue = CreatePen(1, kBlue), red = CreatePen(1, kRed);
    BrushHandle green = CreateSolidBrush(kGreen);
    PenHandle oldPen = SelectPen(dc, blue);
    BrushHandle oldBrush = SelectBrush(dc, green);
    Rectangle(dc, 10, 10, 20, 16);
    MoveTo(dc, 30, 5);
    LineTo(dc, 40, 5);
    LineTo(dc, 40, 12);
    SelectPen(dc, red);
    for (int x : {52, 54, 55}) {  // columns moved to 53, 55, 56
        MoveTo(dc, x, 20);
        LineTo(dc, x, 24);
    }
    BitBlt(dc, 51, 20, 8, 4, 50, 20);
    MoveTo(dc, 60, 30);
    LineTo(dc, 90, 30);  // the update region ends at x = 80
    SelectPen(dc, oldPen);
    SelectBrush(dc, oldBrush);
    DeletePen(blue);
    DeletePen(red);
    DeleteBrush(green);
}

}  // namespace

TEST(GdiWindow, LinesRectanglesBlockTransferAndClipAtOneAndTwiceTheScale) {
    Surface one(100, 40), two(200, 80);
    for (auto [surface, scale] : {std::pair{&one, 1}, {&two, 2}}) {
        DeviceContext dc =
            WrapDC(surface->dc, Rect{0, 0, 80, 40}, surface->width, surface->height, scale, false);
        EXPECT_EQ(GetDeviceWidth(dc), 100);
        EXPECT_EQ(GetUpdateRect(dc).right, 80);
        DrawScene(dc);
        UnwrapDC(dc);
    }
    const struct {
        int x, y;
        uint32_t colour;
    } expected[] = {
        {10, 10, kBlue},  {19, 10, kBlue},  {10, 15, kBlue},
        {19, 15, kBlue},  // corners
        {11, 11, kGreen}, {18, 14, kGreen}, {20, 12, kWhite},
        {15, 16, kWhite},  // inside, past
        {30, 5, kBlue},   {39, 5, kBlue},   {40, 5, kBlue},
        {40, 11, kBlue},                                       // corner of two lines
        {29, 5, kWhite},  {41, 5, kWhite},  {40, 12, kWhite},  // end point excluded
        {51, 22, kWhite}, {52, 22, kWhite}, {53, 22, kRed},
        {54, 22, kWhite},                                      // moved right
        {55, 22, kRed},   {56, 22, kRed},   {57, 22, kWhite},  // as it was
        {79, 30, kRed},   {80, 30, kWhite},                    // clipped
    };
    for (const auto& e : expected) {
        EXPECT_EQ(one(e.x, e.y), e.colour) << e.x << "," << e.y;
    }
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 200; ++x) {
            ASSERT_EQ(two(x, y), one(x / 2, y / 2)) << x << "," << y;
        }
    }
}

TEST(GdiWindow, TextStandsInAnOpaqueCellPlacedByItsAlignment) {
    for (int scale : {1, 2}) {
        Surface s(160 * scale, 60 * scale);
        DeviceContext dc = WrapDC(s.dc, Rect{0, 0, 160, 60}, s.width, s.height, scale, false);
        FontHandle font = CreateFont(20, 700);
        FontHandle old = SelectFont(dc, font);
        SetBkColor(dc, kGrey);
        SetTextAlign(dc, kAlignRight | kAlignBottom);
        TextOut(dc, 120, 50, "Wg 88", 5);
        EXPECT_EQ(SetTextAlign(dc, kAlignLeft | kAlignTop), kAlignRight | kAlignBottom);
        EXPECT_EQ(SelectFont(dc, old), font);
        DeleteFont(font);
        UnwrapDC(dc);
        // The cell: 20 rows ending above y = 50, ending left of x = 120, grey but for black ink.
        int left = 120 * scale - 1, black = 0;
        while (left > 0 && s(left - 1, 40 * scale) != kWhite) {
            --left;
        }
        EXPECT_LT(left, 100 * scale);
        for (int y = 0; y < 60 * scale; ++y) {
            for (int x = 0; x < 160 * scale; ++x) {
                const bool inCell =
                    x >= left && x < 120 * scale && y >= 30 * scale && y < 50 * scale;
                const uint32_t p = s(x, y);
                ASSERT_TRUE(inCell ? p == kGrey || p == kBlack : p == kWhite)
                    << scale << ": " << x << "," << y;
                black += p == kBlack;
            }
        }
        EXPECT_GT(black, 40 * scale * scale);
    }
}

// The landscape page onto a printable area 1.5 device pixels wide and 2 high per logical unit:
// lines and texts land where the mapping puts them.
TEST(GdiPage, ReportAxesAndHeaderUnderTheAnisotropicMapping) {
    Surface page(1290, 1200);
    DeviceContext dc = WrapDC(page.dc, Rect{0, 0, 1290, 1200}, 1290, 1200, 1.0, true);
    EXPECT_EQ(GetDeviceWidth(dc), 1290);
    SetAnisotropicMapping(dc, 860, 600, 1290, 1200);
    displayObjects.axisPen = CreatePen(1, kBlack);
    displayObjects.limitPen = CreatePen(1, kRed);
    displayObjects.scaleFont = CreateFont(15, 400);
    DrawPrintAxes(dc, 310, 510);
    PrintHeader(dc);
    UnwrapDC(dc);
    // The time axis on row 2 x 510 from x = 1.5 x 310 to the arrow's tip at 1.5 x 821; the pen's
    // unit is a pixel and a half wide, so the row below or above may carry it too.
    auto black = [&page](int x, int y) { return page(x, y) == kBlack; };
    int row = 1018;
    while (row < 1022 && !black(700, row)) {
        ++row;
    }
    EXPECT_LE(std::abs(row - 1020), 1);
    int from = 400, to = 1280;
    while (from < 700 && !black(from, row)) {
        ++from;
    }
    while (to > 700 && !black(to, row)) {
        --to;
    }
    EXPECT_NEAR(from, 465, 2);
    EXPECT_NEAR(to, 1231, 3);
    // The power axis at x = 1.5 x 811 from y = 2 x 515 up to 2 x 200.
    int top = 1000;
    while (top > 0 && black(1216, top - 1)) {
        --top;
    }
    EXPECT_NEAR(top, 400, 3);
    // The header's 15-unit cell is 30 rows high from row 70: the identity line's ink lies within.
    int inkTop = 1200, inkBottom = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 40; x < 500; ++x) {
            if (black(x, y)) {
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
        }
    }
    EXPECT_GE(inkTop, 70);
    EXPECT_GT(inkBottom, 85);
    EXPECT_LT(inkBottom, 200);  // the second line's ink, at 2 x 65 + 20 rows at most
    DeletePen(displayObjects.axisPen);
    DeletePen(displayObjects.limitPen);
    DeleteFont(displayObjects.scaleFont);
    displayObjects = DisplayObjects{};
}

// At 150 % a block moved a logical pixel at a time moves by 1 and 2 device pixels in turn: a
// line keeps its scaled place, and nothing but the line and the background enters the block.
TEST(GdiWindow, BlockMovedAtAFractionalScaleKeepsItsPlace) {
    Surface s(150, 30);
    for (int step = 0; step < 12; ++step) {
        DeviceContext dc = WrapDC(s.dc, Rect{0, 0, 100, 20}, 150, 30, 1.5, false);
        PenHandle blue = CreatePen(1, kBlue), old = SelectPen(dc, blue);
        if (step == 0) {
            MoveTo(dc, 80, 5);
            LineTo(dc, 80, 15);
        }
        BitBlt(dc, 20, 5, 70, 10, 21, 5);
        SelectPen(dc, old);
        DeletePen(blue);
        UnwrapDC(dc);
    }
    std::vector<int> columns;
    for (int x = 0; x < 150; ++x) {
        for (int y = DevicePixel(1.5, 5); y < DevicePixel(1.5, 15); ++y) {
            ASSERT_TRUE(s(x, y) == kWhite || s(x, y) == kBlue) << x << "," << y;
        }
        if (s(x, 10) == kBlue) {
            columns.push_back(x);
        }
    }
    ASSERT_FALSE(columns.empty());
    EXPECT_NEAR(columns.front(), DevicePixel(1.5, 80 - 12), 1);
    EXPECT_LE(columns.back() - columns.front(), 2);
}

namespace {

std::string offeredPath, answerPath;
bool offeredLandscape = false;

uint32_t AnswerPrintDialog(char* path, int size, bool* landscape) {
    offeredPath = path;
    offeredLandscape = *landscape;
    std::snprintf(path, static_cast<size_t>(size), "%s", answerPath.c_str());
    *landscape = !answerPath.empty() && answerPath.back() == 'L';
    return 0;
}

}  // namespace

// The hook stands in for the dialog, which then offers what was chosen last. A PDF needs the
// "Microsoft Print to PDF" printer: where it is installed the report comes out as a PDF file,
// elsewhere (Wine) the choice fails with the code for a missing printer and makes no context.
TEST(GdiPage, PrintDialogHookOffersTheLastChoiceAndPrintsToPdf) {
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::string base = Windows1252FromWide(folder) + "kvx-gdi-test-";
    SetPrintDialogHook(AnswerPrintDialog);
    const bool pdfPrinter = [] {
        HANDLE printer = nullptr;
        const bool present =
            ::OpenPrinterW(const_cast<wchar_t*>(L"Microsoft Print to PDF"), &printer, nullptr);
        if (present) {
            ::ClosePrinter(printer);
        }
        return present;
    }();
    for (const char* answer : {"a.pdf.L", "b.pdf", "", "c.pdf"}) {
        const std::string previous = answerPath;
        answerPath = *answer != '\0' ? base + answer : "";
        DeviceContext printer = nullptr;
        const uint32_t result = ChoosePrinter(nullptr, &printer);
        if (answerPath.empty() || pdfPrinter) {
            EXPECT_EQ(result, 0u);
        } else {
            EXPECT_EQ(result, static_cast<uint32_t>(ERROR_INVALID_PRINTER_NAME));
        }
        EXPECT_EQ(printer != nullptr, pdfPrinter && !answerPath.empty());
        if (printer != nullptr) {
            EXPECT_EQ(PrintReport(printer), 0);
            DeletePrinterContext(printer);
            char head[5] = {};
            std::FILE* file = std::fopen(answerPath.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(std::fread(head, 1, 4, file), 4u);
            std::fclose(file);
            std::remove(answerPath.c_str());
            EXPECT_STREQ(head, "%PDF");
        }
        if (*answer == 'c') {  // after the cancel: still the choice before it
            EXPECT_EQ(offeredPath, base + "b.pdf");
            EXPECT_FALSE(offeredLandscape);
        } else if (*answer == 'b') {
            EXPECT_EQ(offeredPath, base + "a.pdf.L");
            EXPECT_TRUE(offeredLandscape);
        }
    }
    SetPrintDialogHook(nullptr);
}
