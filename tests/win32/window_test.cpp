// The Win32 main window under Wine: messages reach the procedure as the window system delivers
// them (menus, buttons, keys with their repeat bit, focus, timers, the session's end), the window
// fits its client area below the menu bar, and the client image and its captures read back what
// was painted.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/bitmap.h"
#include "platform/device_context.h"
#include "platform/win32/window_internal.h"

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr uint32_t kBackground = platform::Rgb(10, 20, 30);

std::vector<platform::WindowMessage> seen;
bool handleErase = false;

int boxAnswer = 0;

bool Procedure(platform::WindowHandle window, const platform::WindowMessage& message) {
    seen.push_back(message);
    if (message.type == platform::MessageType::Command && message.id == 200) {
        boxAnswer = MessageBoxW(platform::NativeWindow(window), L"Save?", L"T", MB_YESNO);
    }
    if (message.type == platform::MessageType::Timer && message.id == 7 &&
        std::count_if(seen.begin(), seen.end(), [](const auto& m) { return m.id == 7; }) == 5) {
        platform::PostQuitMessage(3);
    }
    return message.type == platform::MessageType::EraseBackground && handleErase;
}

const platform::MenuEntry kEntries[] = {
    {platform::MenuEntryKind::Popup, 0, "&File"},
    {platform::MenuEntryKind::Item, 101, "&Open"},
    {platform::MenuEntryKind::Separator, 0, nullptr},
    {platform::MenuEntryKind::Item, 102,
     "Gr\xF6\xDF"
     "e"},
    {platform::MenuEntryKind::EndPopup, 0, nullptr},
    {platform::MenuEntryKind::BarItem, 103, "&About"},
};
const platform::MenuResource kMenu{1, kEntries, 6};

// Runs the message loop for at most ms, or until the procedure posts its quit.
int RunFor(UINT ms) {
    const UINT_PTR timer = ::SetTimer(
        nullptr, 0, ms, [](HWND, UINT, UINT_PTR, DWORD) { platform::PostQuitMessage(-1); });
    const int code = platform::RunMessageLoop();
    ::KillTimer(nullptr, timer);
    return code;
}

int Count(platform::MessageType type, int id = -1) {
    return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const auto& m) {
        return m.type == type && (id < 0 || m.id == id);
    }));
}

class Win32Window : public ::testing::Test {
  protected:
    void SetUp() override {
        int argc = 0;
        ASSERT_TRUE(platform::InitApplication(argc, nullptr));
        seen.clear();
        handleErase = false;
        window = platform::CreateMainWindow("T\xE9st", kWidth, kHeight, kBackground, Procedure);
        ASSERT_NE(window, nullptr);
        hwnd = platform::NativeWindow(window);
    }
    void TearDown() override { platform::DestroyWindow(window); }
    platform::WindowHandle window = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(Win32Window, MenusButtonsKeysAndFocusArriveAsMessages) {
    EXPECT_EQ(Count(platform::MessageType::Create), 1);  // before CreateMainWindow returned
    platform::SetMenu(window, &kMenu);
    platform::SetMenu(window, &kMenu);
    EXPECT_EQ(platform::AttachedMenuCount(window), 1);
    wchar_t text[16] = {};
    GetMenuStringW(GetMenu(hwnd), 102, text, 16, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Gr\u00F6\u00DFe");
    platform::CheckMenuItem(window, 102, true);
    EXPECT_TRUE(platform::IsMenuItemChecked(window, 102));
    EXPECT_FALSE(platform::IsMenuItemChecked(window, 101));
    platform::CheckMenuItem(window, 102, false);
    EXPECT_FALSE(platform::IsMenuItemChecked(window, 102));
    // The client area keeps its size below the menu bar.
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);

    const char* const xpm[] = {"2 1 2 1", "a c #FF0000", "b c None", "ab"};
    platform::SetWindowIcon(window, xpm);
    EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    platform::CreatePushButton(window, 12, "Reset", 10, 10, 60, 20);
    platform::ShowWindow(window);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(103, 0), 0);  // the bar item
    SendMessageW(GetDlgItem(hwnd, 12), BM_CLICK, 0, 0);
    platform::PostCommand(window, 104);
    EXPECT_EQ(Count(platform::MessageType::Command, 104), 0);  // not before the loop runs
    RunFor(200);
    EXPECT_EQ(Count(platform::MessageType::Command, 103), 1);
    EXPECT_EQ(Count(platform::MessageType::Command, 12), 1);
    EXPECT_EQ(Count(platform::MessageType::Command, 104), 1);

    seen.clear();
    SendMessageW(hwnd, WM_KEYDOWN, 0x20, 1);
    SendMessageW(hwnd, WM_KEYDOWN, 0x20, 1 | (1L << 30));  // held: the key was down before
    SendMessageW(hwnd, WM_KEYUP, 0x20, 1 | (3L << 30));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_FALSE(seen[0].autoRepeat);
    EXPECT_TRUE(seen[1].autoRepeat);
    EXPECT_EQ(seen[2].type, platform::MessageType::KeyUp);
    EXPECT_EQ(seen[2].key, 0x20);

    ::SetFocus(GetDlgItem(hwnd, 12));
    seen.clear();
    platform::SetFocus(window);
    ASSERT_EQ(Count(platform::MessageType::SetFocus), 1);
    EXPECT_EQ(seen.back().focusFromControl, 12);
}

TEST_F(Win32Window, TheClientImageSavesAsPng) {
    char path[MAX_PATH];
    GetTempFileNameA(".", "kvx", 0, path);
    ASSERT_TRUE(platform::SaveClientImage(window, path));
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> png{std::istreambuf_iterator<char>(file), {}};
    file.close();
    std::remove(path);
    ASSERT_GT(png.size(), 52u);
    // The size in the header; the first row's first pixel in the first stored block.
    EXPECT_EQ(std::vector<unsigned char>(png.begin() + 16, png.begin() + 24),
              (std::vector<unsigned char>{0, 0, 1, 44, 0, 0, 0, 200}));
    EXPECT_EQ(std::vector<unsigned char>(png.begin() + 49, png.begin() + 52),
              (std::vector<unsigned char>{10, 20, 30}));
}

TEST_F(Win32Window, MovedToA150PercentMonitorTheClientIsDrawnAtItsPixels) {
    platform::CreatePushButton(window, 12, "Reset", 10, 10, 60, 20);
    RECT suggested;
    GetWindowRect(hwnd, &suggested);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT client, button;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 450);
    EXPECT_EQ(client.bottom, 300);
    GetWindowRect(GetDlgItem(hwnd, 12), &button);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(std::vector<LONG>({button.left, button.top, button.right, button.bottom}),
              std::vector<LONG>({15, 15, 105, 45}));
    // The program still works in its own pixels; all of it is painted again, erased.
    EXPECT_EQ(platform::ClientWidth(window), kWidth);
    seen.clear();
    platform::UpdateWindow(window);
    EXPECT_EQ(Count(platform::MessageType::EraseBackground), 1);
    EXPECT_EQ(platform::GetClientPixel(window, kWidth - 1, kHeight - 1), kBackground);
}

TEST_F(Win32Window, TimersTickAndTheSessionsEndClosesAsTheUserDoes) {
    platform::SetTimer(window, 7, 20);
    platform::SetTimer(window, 8, 1000);
    EXPECT_EQ(RunFor(2000), 3);  // the fifth tick of timer 7 quits
    EXPECT_EQ(Count(platform::MessageType::Timer, 8), 0);
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(Count(platform::MessageType::Close), 1);
    EXPECT_EQ(Count(platform::MessageType::Destroy), 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(platform::NativeWindow(window), nullptr);
}

TEST_F(Win32Window, ATerminationRequestAnswersAnOpenBoxNoThenClosesTheWindow) {
    platform::ShowWindow(window);
    platform::PostCommand(window, 200);  // opens a Yes/No box
    PostMessageW(platform::MessageWindow(), platform::kTerminationRequest, 0, 0);
    RunFor(1500);
    EXPECT_EQ(boxAnswer, IDNO);
    EXPECT_EQ(Count(platform::MessageType::Close), 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Win32Window, EraseFillsOnlyTheInvalidatedPartAndCapturesReadItBack) {
    platform::DeviceContext dc = platform::GetDC(window);
    if (dc == nullptr) {
        GTEST_SKIP() << "no device context on GDI in this build";
    }
    platform::BrushHandle white = platform::CreateSolidBrush(platform::Rgb(255, 255, 255));
    platform::PenHandle pen = platform::CreatePen(1, platform::Rgb(255, 255, 255));
    platform::SelectBrush(dc, white);
    platform::SelectPen(dc, pen);
    platform::Rectangle(dc, 0, 0, kWidth, kHeight);
    platform::ReleaseDC(window, dc);
    const platform::Rect part{40, 30, 60, 50};
    platform::InvalidateRect(window, &part, true);
    platform::UpdateWindow(window);
    EXPECT_EQ(platform::GetClientPixel(window, 40, 30), kBackground);
    EXPECT_EQ(platform::GetClientPixel(window, 59, 49), kBackground);
    EXPECT_EQ(platform::GetClientPixel(window, 60, 49), platform::Rgb(255, 255, 255));
    EXPECT_EQ(platform::GetClientPixel(window, 39, 30), platform::Rgb(255, 255, 255));
    EXPECT_EQ(platform::GetClientPixel(window, kWidth, 0), platform::kInvalidPixel);
    handleErase = true;  // the procedure erases by itself: nothing is filled
    platform::InvalidateRect(window, nullptr, true);
    platform::UpdateWindow(window);
    EXPECT_EQ(platform::GetClientPixel(window, 0, 0), platform::Rgb(255, 255, 255));

    // The screen dump's picture: the client image below the menu bar.
    platform::SetMenu(window, &kMenu);
    platform::BitmapHandle bitmap = platform::CaptureWindow(window);
    platform::BitmapDescription description{};
    ASSERT_TRUE(platform::GetBitmapDescription(bitmap, &description));
    ASSERT_EQ(description.width, kWidth);
    ASSERT_GT(description.height, kHeight);  // with the menu bar
    uint8_t info[40] = {40};
    info[4] = static_cast<uint8_t>(description.width);
    info[5] = static_cast<uint8_t>(description.width >> 8);
    info[14] = 24;
    const int stride = (description.width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * description.height);
    ASSERT_EQ(platform::GetBitmapBits(bitmap, description.height, rows.data(), info),
              description.height);
    auto at = [&](int x, int y) {  // client coordinates; rows are stored bottom up
        const uint8_t* p = &rows[static_cast<size_t>(kHeight - 1 - y) * stride + 3 * x];
        return platform::Rgb(p[2], p[1], p[0]);
    };
    EXPECT_EQ(at(40, 30), kBackground);
    EXPECT_EQ(at(60, 30), platform::Rgb(255, 255, 255));
    platform::DeleteBitmap(bitmap);
    platform::DeletePen(pen);
    platform::DeleteBrush(white);
}

TEST(Win32Bitmap, RowsBottomUpInEveryDepth) {
    // 3 x 2, top row red, green, blue; bottom row white, black, grey.
    const uint32_t rgb[] = {platform::Rgb(255, 0, 0), platform::Rgb(0, 255, 0),
                            platform::Rgb(0, 0, 255), platform::Rgb(255, 255, 255),
                            platform::Rgb(0, 0, 0),   platform::Rgb(128, 128, 128)};
    platform::BitmapHandle bitmap = platform::CreateBitmap(3, 2, 4, rgb);
    struct Case {
        int bits;
        std::vector<uint8_t> firstRow;  // the bottom row, padded to 4 bytes
        std::vector<uint8_t> palette;   // the first entries
    };
    const Case cases[] = {
        {32, {255, 255, 255, 0, 0, 0, 0, 0, 128, 128, 128, 0}, {}},
        {24, {255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0}, {}},
        {16, {0xFF, 0x7F, 0, 0, 0x10, 0x42, 0, 0}, {}},
        {4, {0xF0, 0x80, 0, 0}, {0, 0, 0, 0, 0, 0, 128, 0}},
        {1, {0xA0, 0, 0, 0}, {0, 0, 0, 0, 255, 255, 255, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> info(40 + 64, 0xEE);
        std::fill(info.begin(), info.begin() + 40, 0);
        info[0] = 40;
        info[4] = 3;
        info[14] = static_cast<uint8_t>(c.bits);
        std::vector<uint8_t> rows(2 * c.firstRow.size(), 0xEE);
        ASSERT_EQ(platform::GetBitmapBits(bitmap, 2, rows.data(), info.data()), 2) << c.bits;
        EXPECT_EQ(std::vector<uint8_t>(rows.begin(), rows.begin() + c.firstRow.size()), c.firstRow)
            << c.bits;
        EXPECT_EQ(std::vector<uint8_t>(info.begin() + 40, info.begin() + 40 + c.palette.size()),
                  c.palette)
            << c.bits;
    }
    uint8_t wrongWidth[40] = {40, 0, 0, 0, 4};
    wrongWidth[14] = 24;
    uint8_t rows[32];
    EXPECT_EQ(platform::GetBitmapBits(bitmap, 2, rows, wrongWidth), 0);
    platform::DeleteBitmap(bitmap);
}

}  // namespace
