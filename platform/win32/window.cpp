// The main window on Win32: a registered window class, a fixed-size overlapped window with a menu
// bar, push button children and a persistent client image (a 32-bit top-down DIB section in a
// memory DC). The program's own update region is kept here: its paints draw into the DIB through a
// device context, and the window's WM_PAINT only copies the DIB to the screen. The DIB holds the
// monitor's pixels (client size x DPI / 96), so texts and lines are drawn at the display's own
// resolution; the program's coordinates stay logical.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/menu_walk.h"
#include "platform/common/window_support.h"
#include "platform/common/window_timers.h"
#include "platform/device_context.h"
#include "platform/message_box.h"
#include "platform/win32/gdi_context.h"
#include "platform/win32/window_internal.h"
#include "platform/win32/xpm_picture.h"

// After <windows.h>, which it needs.
#include <commctrl.h>

namespace platform {

struct WindowObject {
    HWND hwnd = nullptr;
    WindowProcedure procedure = nullptr;
    uint32_t backgroundRgb = 0;
    int width = 0;  // client size in the program's logical pixels
    int height = 0;
    UINT dpi = 96;
    double scale = 1.0;
    // The client image: a DIB section selected into a memory DC, devWidth x devHeight pixels.
    HDC memDC = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    uint32_t* bits = nullptr;
    int devWidth = 0;
    int devHeight = 0;
    HMENU menu = nullptr;
    std::vector<HMENU> menusMade;  // every bar this window was given, to count the live ones
    std::vector<std::pair<int, HWND>> buttons;
    struct ButtonPlace {
        int x, y, width, height;
    };
    std::vector<ButtonPlace> buttonPlaces;  // logical, for a change of DPI
    HFONT buttonFont = nullptr;
    std::unique_ptr<WindowTimers> timers;
    TimerIdleCheck idleCheck = nullptr;
    bool waitCursor = false;
    bool sized = false;  // placed on the screen once; a new menu bar keeps the client size
    // Logical pixels, accumulated by InvalidateRect until a paint takes them.
    HRGN updateRegion = nullptr;
    bool eraseRequested = false;
    bool paintAfterTicks = false;
    // Between BeginPaint and EndPaint.
    bool painting = false;
    bool paintTaken = false;
    HRGN paintRegion = nullptr;
    DeviceContext paintContext = nullptr;
    bool destroying = false;
};

namespace {

constexpr wchar_t kClassName[] = L"KVXMON";
constexpr wchar_t kMessageClassName[] = L"KVXMON.messages";
constexpr UINT kPostedCommand = WM_APP + 0x100;
constexpr UINT kWakeTimers = WM_APP + 0x102;
constexpr UINT_PTR kTimersWake = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Ticks wait for the next frame: one wake-up serves every timer and the paint they cause.
constexpr auto kFramePeriod = std::chrono::milliseconds(40);

// Everything here runs on the window thread, except messageWindow, which other threads post to.
LiveWindowList<WindowObject> liveWindows;
// Destroyed windows are freed only when no handler of theirs can be on the stack any more.
std::vector<std::unique_ptr<WindowObject>> deadWindows;
std::atomic<HWND> messageWindow{nullptr};
bool classRegistered = false;
WindowObject* tickWindow = nullptr;

bool IsLive(const WindowObject* window) {
    return liveWindows.Contains(window);
}

// One logical pixel x covers the device pixels DevicePixel(x) up to DevicePixel(x + 1), so areas
// drawn side by side tile without gaps; at 150 % a logical pixel is one and two device pixels wide
// in turn, positions rounded to the nearest, halves up, as the Linux build places them. At 100 %
// this is the identity.
int DevicePixel(double scale, int logical) {
    return static_cast<int>(std::floor(logical * scale + 0.5));
}

RECT DeviceRect(const WindowObject* window, const RECT& logical) {
    return RECT{DevicePixel(window->scale, logical.left), DevicePixel(window->scale, logical.top),
                DevicePixel(window->scale, logical.right),
                DevicePixel(window->scale, logical.bottom)};
}

std::vector<RECT> RegionRects(HRGN region) {
    std::vector<RECT> rects;
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size == 0) {
        return rects;
    }
    std::vector<unsigned char> data(size);
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    if (GetRegionData(region, size, header) == 0) {
        return rects;
    }
    const auto* first = reinterpret_cast<const RECT*>(header->Buffer);
    rects.assign(first, first + header->rdh.nCount);
    return rects;
}

bool RegionEmpty(HRGN region) {
    RECT box;
    return GetRgnBox(region, &box) == NULLREGION;
}

// The logical region as device pixels.
HRGN DeviceRegion(const WindowObject* window, HRGN logical) {
    HRGN device = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : RegionRects(logical)) {
        const RECT d = DeviceRect(window, r);
        HRGN part = CreateRectRgn(d.left, d.top, d.right, d.bottom);
        CombineRgn(device, device, part, RGN_OR);
        DeleteObject(part);
    }
    return device;
}

void ShowDeviceRect(WindowObject* window, const RECT& logical) {
    const RECT d = DeviceRect(window, logical);
    ::InvalidateRect(window->hwnd, &d, FALSE);
}

COLORREF ColourRef(uint32_t rgb) {
    return static_cast<COLORREF>(rgb & 0xFFFFFF);  // the program's values are COLORREFs already
}

void FreeImage(WindowObject* window) {
    if (window->memDC != nullptr) {
        SelectObject(window->memDC, window->oldBitmap);
        DeleteDC(window->memDC);
    }
    if (window->dib != nullptr) {
        DeleteObject(window->dib);
    }
    window->memDC = nullptr;
    window->dib = nullptr;
    window->bits = nullptr;
}

// The client image for the window's DPI, filled with the class background.
bool MakeImage(WindowObject* window) {
    FreeImage(window);
    window->scale = window->dpi / 96.0;
    window->devWidth = DevicePixel(window->scale, window->width);
    window->devHeight = DevicePixel(window->scale, window->height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = window->devWidth;
    info.bmiHeader.biHeight = -window->devHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    window->dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    window->memDC = CreateCompatibleDC(nullptr);
    if (window->dib == nullptr || window->memDC == nullptr) {
        FreeImage(window);
        return false;
    }
    window->bits = static_cast<uint32_t*>(bits);
    window->oldBitmap = SelectObject(window->memDC, window->dib);
    HBRUSH brush = ::CreateSolidBrush(ColourRef(window->backgroundRgb));
    const RECT all{0, 0, window->devWidth, window->devHeight};
    FillRect(window->memDC, &all, brush);
    DeleteObject(brush);
    return true;
}

// The message font at the window's DPI, which the push buttons use as dialogs do.
void MakeButtonFont(WindowObject* window) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                   window->dpi) ||
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    for (const auto& [id, button] : window->buttons) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (window->buttonFont != nullptr) {
        DeleteObject(window->buttonFont);
    }
    window->buttonFont = font;
}

void PlaceButtons(WindowObject* window) {
    for (size_t i = 0; i < window->buttons.size(); ++i) {
        const auto& p = window->buttonPlaces[i];
        const RECT d = DeviceRect(window, RECT{p.x, p.y, p.x + p.width, p.y + p.height});
        SetWindowPos(window->buttons[i].second, nullptr, d.left, d.top, d.right - d.left,
                     d.bottom - d.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Sizes the window for its client area below the menu bar at its DPI; centred on the work area of
// its monitor (a window larger than that keeps its caption and menu on the screen), or at the top
// left corner given.
void FitWindow(WindowObject* window, const POINT* topLeft) {
    const bool hasMenu = GetMenu(window->hwnd) != nullptr;
    RECT frame{0, 0, window->devWidth, window->devHeight};
    AdjustWindowRectExForDpi(&frame, kStyle, hasMenu, 0, window->dpi);
    SetWindowPos(window->hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    // The frame as the window has it: a menu bar that wraps onto a second line (or one that the
    // calculation leaves out) takes its height from the client area, so the window grows by what
    // is missing.
    RECT outer{}, client{};
    for (int i = 0; i < 3; ++i) {
        GetWindowRect(window->hwnd, &outer);
        GetClientRect(window->hwnd, &client);
        if (client.right == window->devWidth && client.bottom == window->devHeight) {
            break;
        }
        SetWindowPos(window->hwnd, nullptr, 0, 0,
                     outer.right - outer.left + window->devWidth - client.right,
                     outer.bottom - outer.top + window->devHeight - client.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    GetWindowRect(window->hwnd, &outer);
    const LONG width = outer.right - outer.left;
    const LONG height = outer.bottom - outer.top;
    POINT at{};
    if (topLeft != nullptr) {
        at = *topLeft;
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        RECT work{0, 0, 1024, 768};
        if (GetMonitorInfoW(MonitorFromWindow(window->hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            work = monitor.rcWork;
        } else {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        }
        at.x = work.left + std::max(0L, (work.right - work.left - width) / 2);
        at.y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    }
    SetWindowPos(window->hwnd, nullptr, at.x, at.y, 0, 0,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    window->sized = true;
}

void RunPaint(WindowObject* window);
void DefaultProcessing(WindowObject* window, const WindowMessage& message);

void Deliver(WindowObject* window, const WindowMessage& message) {
    if (IsLive(window)) {
        SendWindowMessage(window, message);
    }
}

void DeliverCommand(WindowObject* window, int id) {
    WindowMessage message{MessageType::Command};
    message.id = id;
    Deliver(window, message);
}

void RunPaint(WindowObject* window) {
    // A paint that runs a nested message loop is not painted over; its EndPaint reschedules.
    if (window->painting || RegionEmpty(window->updateRegion)) {
        return;
    }
    RunProgramPaint(window, IsLive);
}

void FillLogicalRegion(WindowObject* window, HRGN region) {
    HBRUSH brush = ::CreateSolidBrush(ColourRef(window->backgroundRgb));
    for (const RECT& r : RegionRects(region)) {
        const RECT d = DeviceRect(window, r);
        FillRect(window->memDC, &d, brush);
    }
    DeleteObject(brush);
}

void DefaultProcessing(WindowObject* window, const WindowMessage& message) {
    switch (message.type) {
        case MessageType::Close:
            DestroyWindow(window);
            break;
        case MessageType::EraseBackground:
            FillLogicalRegion(window,
                              window->painting ? window->paintRegion : window->updateRegion);
            break;
        case MessageType::Paint:
            EndPaint(window, BeginPaint(window));
            break;
        default:
            break;
    }
}

void ChangeDpi(WindowObject* window, UINT dpi, const RECT* suggested) {
    if (dpi == 0 || dpi == window->dpi) {
        return;
    }
    window->dpi = dpi;
    MakeImage(window);
    MakeButtonFont(window);
    PlaceButtons(window);
    POINT at{};
    if (suggested != nullptr) {
        at = POINT{suggested->left, suggested->top};
    } else {
        RECT now;
        GetWindowRect(window->hwnd, &now);
        at = POINT{now.left, now.top};
    }
    FitWindow(window, &at);
    // The new picture is blank: all of it is painted again, as at an exposure.
    InvalidateRect(window, nullptr, true);
}

void FreeWindow(WindowObject* window) {
    FreeImage(window);
    if (window->buttonFont != nullptr) {
        DeleteObject(window->buttonFont);
        window->buttonFont = nullptr;
    }
    for (HRGN* region : {&window->updateRegion, &window->paintRegion}) {
        if (*region != nullptr) {
            DeleteObject(*region);
            *region = nullptr;
        }
    }
}

// Removes the window from the live ones; its memory stays until the message loop is back at the
// top, since a handler of the window may still be on the stack.
void Retire(WindowObject* window) {
    if (!liveWindows.Remove(window)) {
        return;
    }
    if (window->timers) {
        window->timers->KillAll();
    }
    if (window->paintContext != nullptr) {
        UnwrapDC(window->paintContext);
        window->paintContext = nullptr;
    }
    deadWindows.emplace_back(window);
}

LRESULT CALLBACK MainWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* window =
            static_cast<WindowObject*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    auto* window = reinterpret_cast<WindowObject*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!IsLive(window)) {
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        }
        if (msg == WM_PAINT && window != nullptr) {
            PAINTSTRUCT ps;
            ::BeginPaint(hwnd, &ps);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
        case WM_CLOSE:
            // The procedure decides: its default processing destroys the window.
            Deliver(window, WindowMessage{MessageType::Close});
            return 0;
        case WM_DESTROY:
            // Destroyed by the system rather than by DestroyWindow: the program hears of it too.
            if (!window->destroying) {
                window->destroying = true;
                SendWindowMessage(window, WindowMessage{MessageType::Destroy});
                Retire(window);
                FreeWindow(window);
            }
            return 0;
        case WM_SETFOCUS: {
            WindowMessage message{MessageType::SetFocus};
            const HWND from = reinterpret_cast<HWND>(wParam);
            if (from != nullptr && GetParent(from) == hwnd) {
                message.focusFromControl = GetDlgCtrlID(from);
            }
            Deliver(window, message);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            WindowMessage message{msg == WM_KEYDOWN ? MessageType::KeyDown : MessageType::KeyUp};
            message.key = static_cast<int>(wParam);
            // The previous-key-state bit: the key was already down, so this is a repeat of a
            // held key.
            message.autoRepeat = msg == WM_KEYDOWN && (lParam & (1L << 30)) != 0;
            Deliver(window, message);
            return 0;
        }
        case WM_COMMAND:
            if (lParam == 0 && HIWORD(wParam) == 0) {
                DeliverCommand(window, LOWORD(wParam));  // a menu item
                return 0;
            }
            if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
                DeliverCommand(window, LOWORD(wParam));
                return 0;
            }
            break;
        case kPostedCommand:
            DeliverCommand(window, static_cast<int>(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == kTimersWake) {
                ::KillTimer(hwnd, kTimersWake);
                if (window->timers) {
                    window->timers->RunDue();
                }
                return 0;
            }
            break;
        case WM_ENTERIDLE:
            // A box or a menu of this window waits for input: the moment timers with nothing to
            // do go to sleep, as in the main loop.
            WindowTimers::BeforeSleep();
            break;
        case WM_ERASEBKGND:
            return 1;  // the client image covers every pixel
        case WM_PAINT: {
            // The program's own paint first, then the picture to the screen.
            RunPaint(window);
            if (!IsLive(window)) {
                return 0;
            }
            PAINTSTRUCT ps;
            HDC hdc = ::BeginPaint(hwnd, &ps);
            if (window->memDC != nullptr) {
                ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                         ps.rcPaint.bottom - ps.rcPaint.top, window->memDC, ps.rcPaint.left,
                         ps.rcPaint.top, SRCCOPY);
            }
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            if (window->memDC != nullptr) {
                ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, window->devWidth, window->devHeight,
                         window->memDC, 0, 0, SRCCOPY);
            }
            return 0;
        case WM_SHOWWINDOW:
            // The window system asks for the whole client area, erased, whenever it appears.
            if (wParam != 0) {
                InvalidateRect(window, nullptr, true);
            }
            break;
        case WM_SETCURSOR:
            if (window->waitCursor && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            ChangeDpi(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends once this returns: the windows close now, as by the user.
            if (wParam != 0) {
                CloseForSessionEnd();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK MessageWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kWakeTimers:
            WindowTimers::BeforeSleep();
            return 0;
        case kTerminationRequest:
            OnTerminationRequest();
            return 0;
        case WM_TIMER:
            if (wParam == kDismissTimer) {
                OnTerminationRequest();
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The icon from XPM data; "None" is transparent.
HICON IconFromXpm(const char* const* xpm) {
    XpmPicture picture;
    if (!ReadXpm(xpm, &picture) || picture.width > 256 || picture.height > 256) {
        return nullptr;
    }
    const int width = picture.width;
    const int height = picture.height;
    const std::vector<uint32_t>& argb = picture.argb;
    const size_t maskRow = static_cast<size_t>((width + 15) / 16 * 2);
    std::vector<uint8_t> mask(maskRow * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((argb[static_cast<size_t>(y) * width + x] >> 24) == 0) {
                mask[y * maskRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    HBITMAP monochrome = ::CreateBitmap(width, height, 1, 1, mask.data());
    HICON icon = nullptr;
    if (colour != nullptr && monochrome != nullptr) {
        std::memcpy(bits, argb.data(), argb.size() * sizeof(uint32_t));
        ICONINFO info{TRUE, 0, 0, monochrome, colour};
        icon = CreateIconIndirect(&info);
    }
    if (colour != nullptr) {
        DeleteObject(colour);
    }
    if (monochrome != nullptr) {
        DeleteObject(monochrome);
    }
    return icon;
}

HMENU BuildMenu(const MenuResource* menu) {
    HMENU bar = CreateMenu();
    WalkMenu(
        *menu, bar,
        [](HMENU parent, const char* text) {
            HMENU popup = CreatePopupMenu();
            AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                        WideFromWindows1252(text).c_str());
            return popup;
        },
        [](HMENU parent, const char* text, int commandId) {
            AppendMenuW(parent, MF_STRING, static_cast<UINT_PTR>(commandId),
                        WideFromWindows1252(text).c_str());
        },
        [](HMENU parent) { AppendMenuW(parent, MF_SEPARATOR, 0, nullptr); });
    return bar;
}

bool RegisterClasses() {
    if (classRegistered) {
        return true;
    }
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = MainWindowProcedure;
    main.hInstance = GetModuleHandleW(nullptr);
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hbrBackground = nullptr;  // the client image is the background
    main.lpszClassName = kClassName;
    WNDCLASSEXW messages{};
    messages.cbSize = sizeof messages;
    messages.lpfnWndProc = MessageWindowProcedure;
    messages.hInstance = main.hInstance;
    messages.lpszClassName = kMessageClassName;
    if (RegisterClassExW(&main) == 0 || RegisterClassExW(&messages) == 0) {
        return false;
    }
    classRegistered = true;
    return true;
}

}  // namespace

// Windows always has a display; the answer is always yes.
bool InitApplication(int&, char**) {
    if (messageWindow.load() != nullptr) {
        return true;
    }
    // The manifest normally declares it; a program without one (the tests) asks here. A process
    // whose awareness is set already keeps it.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses();
    messageWindow.store(CreateWindowExW(0, kMessageClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
    WindowTimers::SetWakePost([]() {
        if (HWND target = messageWindow.load()) {
            PostMessageW(target, kWakeTimers, 0, 0);
        }
    });
    SetMessagePresenter(ShowWindowMessageBox);
    return true;
}

HWND MessageWindow() {
    return messageWindow.load();
}

WindowHandle CreateMainWindow(const char* title, int clientWidth, int clientHeight,
                              uint32_t backgroundRgb, WindowProcedure procedure) {
    if (procedure == nullptr || clientWidth <= 0 || clientHeight <= 0 || !RegisterClasses()) {
        return nullptr;
    }
    auto* window = new WindowObject;
    window->procedure = procedure;
    window->backgroundRgb = backgroundRgb & 0xFFFFFF;
    window->width = clientWidth;
    window->height = clientHeight;
    window->updateRegion = CreateRectRgn(0, 0, 0, 0);
    window->paintRegion = CreateRectRgn(0, 0, 0, 0);
    const std::wstring text = WideFromWindows1252(title != nullptr ? title : "");
    HWND hwnd = CreateWindowExW(0, kClassName, text.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                clientWidth, clientHeight, nullptr, nullptr,
                                GetModuleHandleW(nullptr), window);
    if (hwnd == nullptr) {
        FreeWindow(window);
        delete window;
        return nullptr;
    }
    const UINT dpi = GetDpiForWindow(hwnd);
    window->dpi = dpi != 0 ? dpi : 96;
    if (!MakeImage(window)) {
        liveWindows.Add(window);
        DestroyWindow(window);
        return nullptr;
    }
    MakeButtonFont(window);
    liveWindows.Add(window);
    SendWindowMessage(window, WindowMessage{MessageType::Create});
    if (!IsLive(window)) {
        return nullptr;
    }
    FitWindow(window, nullptr);
    // Placed on its monitor now: that one's DPI counts.
    ChangeDpi(window, GetDpiForWindow(hwnd), nullptr);
    return window;
}

HWND NativeWindow(WindowHandle window) {
    return IsLive(window) ? window->hwnd : nullptr;
}

std::vector<WindowHandle> LiveWindowHandles() {
    return liveWindows.All();
}

void ShowWindow(WindowHandle window) {
    if (!IsLive(window)) {
        return;
    }
    ::ShowWindow(window->hwnd, SW_SHOW);
    SetForegroundWindow(window->hwnd);
    ::SetFocus(window->hwnd);
}

void DestroyWindow(WindowHandle window) {
    if (!IsLive(window) || window->destroying) {
        return;
    }
    window->destroying = true;
    SendWindowMessage(window, WindowMessage{MessageType::Destroy});
    Retire(window);
    // With its children and its menu bar.
    ::DestroyWindow(window->hwnd);
    FreeWindow(window);
}

void SetWindowTitle(WindowHandle window, const char* title) {
    if (IsLive(window)) {
        SetWindowTextW(window->hwnd, WideFromWindows1252(title != nullptr ? title : "").c_str());
    }
}

void SetWindowIcon(WindowHandle window, const char* const* xpm) {
    if (!IsLive(window)) {
        return;
    }
    // Kept for the life of the program: the class and every window may show it.
    HICON icon = IconFromXpm(xpm);
    if (icon != nullptr) {
        SendMessageW(window->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(window->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        SetClassLongPtrW(window->hwnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    }
}

int RunMessageLoop() {
    MSG msg{};
    int code = 0;
    for (;;) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            WindowTimers::BeforeSleep();
        }
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            code = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            code = 1;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        AfterMainLoopMessage();
    }
    // No handler of a destroyed window is on the stack any more.
    deadWindows.clear();
    return code;
}

void PostQuitMessage(int exitCode) {
    // Kept in the thread's queue when no loop runs yet: the next RunMessageLoop returns at once.
    ::PostQuitMessage(exitCode);
}

void PostCommand(WindowHandle window, int commandId) {
    if (IsLive(window)) {
        PostMessageW(window->hwnd, kPostedCommand, static_cast<WPARAM>(commandId), 0);
    }
}

bool SendWindowMessage(WindowHandle window, const WindowMessage& message) {
    if (!IsLive(window)) {
        return false;
    }
    const bool handled = window->procedure(window, message);
    if (!handled && IsLive(window)) {
        DefaultProcessing(window, message);
    }
    return handled;
}

void SetMenu(WindowHandle window, const MenuResource* menu) {
    if (!IsLive(window)) {
        return;
    }
    HMENU old = window->menu;
    window->menu = menu != nullptr && menu->entries != nullptr ? BuildMenu(menu) : nullptr;
    if (window->menu != nullptr) {
        window->menusMade.push_back(window->menu);
    }
    ::SetMenu(window->hwnd, window->menu);
    if (old != nullptr) {
        DestroyMenu(old);  // with its popups
    }
    DrawMenuBar(window->hwnd);
    // The bar of another language may be higher (wrapped): the client area keeps its size.
    if (window->sized) {
        RECT now;
        GetWindowRect(window->hwnd, &now);
        const POINT at{now.left, now.top};
        FitWindow(window, &at);
    }
}

void CheckMenuItem(WindowHandle window, int commandId, bool checked) {
    if (IsLive(window) && window->menu != nullptr) {
        ::CheckMenuItem(window->menu, static_cast<UINT>(commandId),
                        MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool IsMenuItemChecked(WindowHandle window, int commandId) {
    if (!IsLive(window) || window->menu == nullptr) {
        return false;
    }
    const UINT state = GetMenuState(window->menu, static_cast<UINT>(commandId), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

int AttachedMenuCount(WindowHandle window) {
    if (!IsLive(window)) {
        return 0;
    }
    // Every bar made for the window that still exists: an old one not destroyed counts too.
    std::vector<HMENU> alive;
    for (HMENU menu : window->menusMade) {
        if (IsMenu(menu) && std::find(alive.begin(), alive.end(), menu) == alive.end()) {
            alive.push_back(menu);
        }
    }
    return static_cast<int>(alive.size());
}

void SetTimer(WindowHandle window, int timerId, int periodMs) {
    if (!IsLive(window)) {
        return;
    }
    if (!window->timers) {
        // One Win32 timer on the window, set for the next wake-up and killed when it fires.
        window->timers = std::make_unique<WindowTimers>(
            [window](std::optional<std::chrono::milliseconds> wait) {
                if (!IsLive(window)) {
                    return;
                }
                if (wait) {
                    const auto ms = std::clamp<long long>(wait->count(), USER_TIMER_MINIMUM,
                                                          USER_TIMER_MAXIMUM);
                    ::SetTimer(window->hwnd, kTimersWake, static_cast<UINT>(ms), nullptr);
                } else {
                    ::KillTimer(window->hwnd, kTimersWake);
                }
            },
            [window](int id) {
                tickWindow = window;
                WindowMessage message{MessageType::Timer};
                message.id = id;
                Deliver(window, message);
            },
            [window]() {
                tickWindow = nullptr;
                // What the ticks invalidated is painted in the same wake-up.
                if (IsLive(window) && std::exchange(window->paintAfterTicks, false)) {
                    RunPaint(window);
                }
            },
            kFramePeriod);
        window->timers->SetIdleCheck(IdleFunction(window->idleCheck));
    }
    window->timers->Set(timerId, WindowTimerPeriod(periodMs));
}

void KillTimer(WindowHandle window, int timerId) {
    if (IsLive(window) && window->timers) {
        window->timers->Kill(timerId);
    }
}

void SetTimerIdleCheck(WindowHandle window, TimerIdleCheck check) {
    if (!IsLive(window)) {
        return;
    }
    window->idleCheck = check;
    if (window->timers) {
        window->timers->SetIdleCheck(IdleFunction(check));
    }
}

void WakeWindowTimers() {
    WindowTimers::WakeAll();
}

void CreatePushButton(WindowHandle window, int controlId, const char* text, int x, int y, int width,
                      int height) {
    if (!IsLive(window)) {
        return;
    }
    const RECT d = DeviceRect(window, RECT{x, y, x + width, y + height});
    HWND button = CreateWindowExW(
        0, L"BUTTON", WideFromWindows1252(text != nullptr ? text : "").c_str(),
        WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, d.left, d.top, d.right - d.left, d.bottom - d.top,
        window->hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
        GetModuleHandleW(nullptr), nullptr);
    if (button == nullptr) {
        return;
    }
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(window->buttonFont), FALSE);
    window->buttons.emplace_back(controlId, button);
    window->buttonPlaces.push_back(WindowObject::ButtonPlace{x, y, width, height});
}

void SetFocus(WindowHandle window) {
    if (IsLive(window)) {
        ::SetFocus(window->hwnd);
    }
}

void SetWaitCursor(WindowHandle window, bool waiting) {
    if (!IsLive(window)) {
        return;
    }
    window->waitCursor = waiting;
    // At once: the window thread is about to be busy and will not see WM_SETCURSOR.
    POINT cursor;
    if (GetCursorPos(&cursor) && WindowFromPoint(cursor) == window->hwnd) {
        SetCursor(LoadCursorW(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
    }
}

void InvalidateRect(WindowHandle window, const Rect* rect, bool erase) {
    if (!IsLive(window)) {
        return;
    }
    RECT area{0, 0, window->width, window->height};
    if (rect != nullptr) {
        // A rectangle with right <= left or bottom <= top is empty.
        area.left = std::max(area.left, static_cast<LONG>(rect->left));
        area.top = std::max(area.top, static_cast<LONG>(rect->top));
        area.right = std::min(area.right, static_cast<LONG>(rect->right));
        area.bottom = std::min(area.bottom, static_cast<LONG>(rect->bottom));
    }
    if (area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    HRGN part = CreateRectRgnIndirect(&area);
    CombineRgn(window->updateRegion, window->updateRegion, part, RGN_OR);
    DeleteObject(part);
    if (erase) {
        window->eraseRequested = true;
    }
    if (window == tickWindow && !window->painting) {
        window->paintAfterTicks = true;
    }
    // The window's WM_PAINT runs the program's paint when the queue holds no input, in any
    // message loop (a message box's too), and then shows it.
    ShowDeviceRect(window, area);
}

void UpdateWindow(WindowHandle window) {
    if (IsLive(window)) {
        RunPaint(window);
        if (IsLive(window)) {
            ::UpdateWindow(window->hwnd);
        }
    }
}

DeviceContext BeginPaint(WindowHandle window) {
    if (!IsLive(window) || window->painting) {
        return nullptr;
    }
    window->painting = true;
    window->paintTaken = true;
    std::swap(window->paintRegion, window->updateRegion);
    SetRectRgn(window->updateRegion, 0, 0, 0, 0);
    if (std::exchange(window->eraseRequested, false)) {
        SendWindowMessage(window, WindowMessage{MessageType::EraseBackground});
        if (!IsLive(window)) {
            return nullptr;
        }
    }
    // Clipped to the region in the DC itself, whatever the context clips to.
    HRGN clip = DeviceRegion(window, window->paintRegion);
    SelectClipRgn(window->memDC, clip);
    DeleteObject(clip);
    RECT box{};
    GetRgnBox(window->paintRegion, &box);
    window->paintContext = WrapDC(window->memDC, Rect{box.left, box.top, box.right, box.bottom},
                                  window->devWidth, window->devHeight, window->scale, false);
    return window->paintContext;
}

void EndPaint(WindowHandle window, DeviceContext dc) {
    if (!IsLive(window) || !window->painting || dc != window->paintContext) {
        return;
    }
    if (dc != nullptr) {
        UnwrapDC(dc);
    }
    window->paintContext = nullptr;
    window->painting = false;
    SelectClipRgn(window->memDC, nullptr);
    GdiFlush();
    RECT box{};
    if (GetRgnBox(window->paintRegion, &box) != NULLREGION) {
        ShowDeviceRect(window, box);
    }
    SetRectRgn(window->paintRegion, 0, 0, 0, 0);
    // Invalidated while it painted: that part is painted next (its WM_PAINT is on the way).
}

DeviceContext GetDC(WindowHandle window) {
    if (!IsLive(window)) {
        return nullptr;
    }
    return WrapDC(window->memDC, Rect{0, 0, window->width, window->height}, window->devWidth,
                  window->devHeight, window->scale, false);
}

void ReleaseDC(WindowHandle window, DeviceContext dc) {
    if (dc == nullptr) {
        return;
    }
    UnwrapDC(dc);
    if (IsLive(window)) {
        GdiFlush();
        ::InvalidateRect(window->hwnd, nullptr, FALSE);
    }
}

uint32_t GetClientPixel(WindowHandle window, int x, int y) {
    if (!IsLive(window) || x < 0 || y < 0 || x >= window->width || y >= window->height ||
        window->bits == nullptr) {
        return kInvalidPixel;
    }
    GdiFlush();
    // The first device pixel of the logical one.
    const int dx = std::min(DevicePixel(window->scale, x), window->devWidth - 1);
    const int dy = std::min(DevicePixel(window->scale, y), window->devHeight - 1);
    const uint32_t p = window->bits[static_cast<size_t>(dy) * window->devWidth + dx];
    return Rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int ClientWidth(WindowHandle window) {
    return IsLive(window) ? window->width : 0;
}

int ClientHeight(WindowHandle window) {
    return IsLive(window) ? window->height : 0;
}

bool ClientPicture(WindowHandle window, std::vector<uint32_t>* pixels, int* width, int* height,
                   double* scale) {
    if (!IsLive(window) || window->bits == nullptr) {
        return false;
    }
    GdiFlush();
    *width = window->devWidth;
    *height = window->devHeight;
    *scale = window->scale;
    pixels->assign(window->bits, window->bits + static_cast<size_t>(*width) * *height);
    // The push buttons as they show themselves, over the picture.
    for (const auto& [id, button] : window->buttons) {
        RECT r;
        if (!IsWindowVisible(button) || !GetWindowRect(button, &r)) {
            continue;
        }
        MapWindowPoints(nullptr, window->hwnd, reinterpret_cast<POINT*>(&r), 2);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        BITMAPINFO info{};
        info.bmiHeader =
            BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        if (picture != nullptr && dc != nullptr && w > 0 && h > 0) {
            HGDIOBJ old = SelectObject(dc, picture);
            SendMessageW(button, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                         PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
            GdiFlush();
            const auto* from = static_cast<const uint32_t*>(bits);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const int px = r.left + x;
                    const int py = r.top + y;
                    if (px >= 0 && py >= 0 && px < *width && py < *height) {
                        (*pixels)[static_cast<size_t>(py) * *width + px] =
                            from[static_cast<size_t>(y) * w + x] & 0xFFFFFF;
                    }
                }
            }
            SelectObject(dc, old);
        }
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        if (picture != nullptr) {
            DeleteObject(picture);
        }
    }
    return true;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[n] = c;
        }
        made = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(v >> shift));
    }
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG of 8-bit RGB rows, its zlib stream in stored (uncompressed) blocks: a picture for a
// person or a test to look at, where size does not matter.
std::vector<uint8_t> EncodePng(const std::vector<uint32_t>& pixels, int width, int height) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    std::vector<uint8_t> z{0x78, 0x01};
    for (size_t at = 0; at < raw.size() || raw.empty();) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(at),
                 raw.begin() + static_cast<ptrdiff_t>(at + n));
        at += n;
        if (raw.empty()) {
            break;
        }
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(z, (b << 16) | a);
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace

bool SaveClientImage(WindowHandle window, const char* path) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    double scale = 1;
    if (path == nullptr || !ClientPicture(window, &pixels, &width, &height, &scale)) {
        return false;
    }
    const std::vector<uint8_t> png = EncodePng(pixels, width, height);
    HANDLE file = CreateFileW(WideFromAnsi(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
        written == png.size();
    return CloseHandle(file) && ok;
}

}  // namespace platform
