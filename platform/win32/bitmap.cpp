// Window captures for the screen dump: the window as it shows itself (its menu bar, and the client
// area from its image with the push buttons over it), kept as 0x00RRGGBB
// rows from the top and converted here into the bitmap file's layout: bottom row first,
// blue-green-red byte order, rows padded to 4 bytes.
#include "platform/bitmap.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/common/bitmap_rows.h"
#include "platform/win32/window_internal.h"

namespace platform {

struct BitmapObject {
    int width;
    int height;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows from the top
    uint16_t bitsPerPixel;
};

namespace {

int Nearest(const std::vector<uint32_t>& table, uint32_t p) {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < table.size(); ++i) {
        const long dr =
            static_cast<long>((p >> 16) & 0xFF) - static_cast<long>((table[i] >> 16) & 0xFF);
        const long dg =
            static_cast<long>((p >> 8) & 0xFF) - static_cast<long>((table[i] >> 8) & 0xFF);
        const long db = static_cast<long>(p & 0xFF) - static_cast<long>(table[i] & 0xFF);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

// The palette of an 8-bit picture: its own colours when it has at most 256 (in the order they
// first appear), otherwise a 6 x 6 x 6 colour cube.
std::vector<uint32_t> EightBitPalette(const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> table;
    for (uint32_t p : pixels) {
        if (std::find(table.begin(), table.end(), p) == table.end()) {
            if (table.size() == 256) {
                table.clear();
                for (int i = 0; i < 216; ++i) {
                    table.push_back(static_cast<uint32_t>((i / 36) * 51) << 16 |
                                    static_cast<uint32_t>((i / 6 % 6) * 51) << 8 |
                                    static_cast<uint32_t>((i % 6) * 51));
                }
                return table;
            }
            table.push_back(p);
        }
    }
    return table;
}

uint16_t DisplayDepth() {
    HDC screen = ::GetDC(nullptr);
    const int depth =
        screen != nullptr ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return static_cast<uint16_t>(StoredDepth(depth));
}

// The band between the top of the menu bar and the client area as the window shows it, as wide
// as the client area, device pixels, 0x00RRGGBB. Read from the window's own pixels; a window
// that is not on the screen gets the menu colour there.
std::vector<uint32_t> MenuBand(HWND hwnd, int width, int* height) {
    *height = 0;
    MENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    POINT origin{0, 0};
    RECT frame;
    if (GetMenu(hwnd) == nullptr || !GetMenuBarInfo(hwnd, OBJID_MENU, 0, &bar) ||
        !ClientToScreen(hwnd, &origin) || !GetWindowRect(hwnd, &frame) ||
        origin.y <= bar.rcBar.top) {
        return {};
    }
    *height = origin.y - bar.rcBar.top;
    std::vector<uint32_t> band(static_cast<size_t>(width) * *height, GetSysColor(COLOR_MENU));
    BITMAPINFO info{};
    info.bmiHeader =
        BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC windowDC = GetWindowDC(hwnd);
    if (picture != nullptr && memory != nullptr && windowDC != nullptr && IsWindowVisible(hwnd) &&
        !IsIconic(hwnd)) {
        HGDIOBJ old = SelectObject(memory, picture);
        if (::BitBlt(memory, 0, 0, width, *height, windowDC, origin.x - frame.left,
                     bar.rcBar.top - frame.top, SRCCOPY)) {
            GdiFlush();
            const auto* from = static_cast<const uint32_t*>(bits);
            for (size_t i = 0; i < band.size(); ++i) {
                band[i] = from[i] & 0xFFFFFF;
            }
        }
        SelectObject(memory, old);
    } else {
        // COLORREF to 0x00RRGGBB.
        for (uint32_t& p : band) {
            p = (p & 0xFF) << 16 | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
    }
    if (windowDC != nullptr) {
        ::ReleaseDC(hwnd, windowDC);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    if (picture != nullptr) {
        DeleteObject(picture);
    }
    return band;
}

// One pixel per logical pixel: every logical pixel takes the device pixel at its top left
// corner, as the client image's pixel reads do.
std::vector<uint32_t> Reduced(const std::vector<uint32_t>& device, int width, int height,
                              double scale, int* outWidth, int* outHeight) {
    *outWidth = std::max(1, static_cast<int>(width / scale + 0.5));
    *outHeight = std::max(1, static_cast<int>(height / scale + 0.5));
    std::vector<uint32_t> out(static_cast<size_t>(*outWidth) * *outHeight);
    for (int y = 0; y < *outHeight; ++y) {
        const int dy = std::min(height - 1, static_cast<int>(y * scale + 0.5));
        for (int x = 0; x < *outWidth; ++x) {
            const int dx = std::min(width - 1, static_cast<int>(x * scale + 0.5));
            out[static_cast<size_t>(y) * *outWidth + x] =
                device[static_cast<size_t>(dy) * width + dx];
        }
    }
    return out;
}

}  // namespace

BitmapHandle CaptureWindow(WindowHandle window) {
    HWND hwnd = NativeWindow(window);
    std::vector<uint32_t> client;
    int clientWidth = 0, clientHeight = 0;
    double scale = 1;
    if (hwnd == nullptr || !ClientPicture(window, &client, &clientWidth, &clientHeight, &scale)) {
        return nullptr;
    }
    // The menu bar as the window shows it above the client area exactly as the program painted
    // it. The frame and caption are the window manager's (under Wine on X not the window's own
    // pixels at all), so the picture is the window's content.
    int band = 0;
    std::vector<uint32_t> picture = MenuBand(hwnd, clientWidth, &band);
    picture.insert(picture.end(), client.begin(), client.end());
    const int width = clientWidth;
    const int height = band + clientHeight;
    auto* bitmap = new BitmapObject{width, height, std::move(picture), DisplayDepth()};
    if (scale != 1.0) {
        bitmap->pixels =
            Reduced(bitmap->pixels, width, height, scale, &bitmap->width, &bitmap->height);
    }
    return bitmap;
}

BitmapHandle CreateBitmap(int width, int height, int bitsPerPixel, const uint32_t* rgb) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0) {
        return nullptr;
    }
    auto* bitmap = new BitmapObject{width, height, {}, static_cast<uint16_t>(bitsPerPixel)};
    bitmap->pixels.assign(static_cast<size_t>(width) * height, 0);
    for (size_t i = 0; rgb != nullptr && i < bitmap->pixels.size(); ++i) {
        const uint32_t v = rgb[i];
        bitmap->pixels[i] = (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
    return bitmap;
}

void DeleteBitmap(BitmapHandle bitmap) {
    delete bitmap;
}

bool GetBitmapDescription(BitmapHandle bitmap, BitmapDescription* out) {
    if (bitmap == nullptr || out == nullptr) {
        return false;
    }
    DescribeBitmap(bitmap->width, bitmap->height, bitmap->bitsPerPixel, out);
    return true;
}

int GetBitmapBits(BitmapHandle bitmap, int lines, uint8_t* pixels, uint8_t* info) {
    if (bitmap == nullptr || pixels == nullptr) {
        return 0;
    }
    const int bits = RequestedDepth(info, bitmap->width, bitmap->height, lines);
    if (bits == 0) {
        return 0;
    }
    // Palette depths: every pixel becomes the index of the nearest table colour.
    std::vector<uint32_t> table;
    if (bits == 1) {
        table = {0x000000, 0xFFFFFF};
    } else if (bits == 4) {
        table.assign(std::begin(kSixteenColours), std::end(kSixteenColours));
    } else if (bits == 8) {
        table = EightBitPalette(bitmap->pixels);
    }
    StorePalette(info, bits, table);
    const int width = bitmap->width;
    PackBitmapRows(
        width, bitmap->height, bits, lines, pixels,
        [bitmap, width](int y) { return bitmap->pixels.data() + static_cast<size_t>(y) * width; },
        [&table](int, int, uint32_t pixel) { return Nearest(table, pixel); });
    return lines;
}

}  // namespace platform
