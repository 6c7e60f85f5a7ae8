// Device contexts on GDI. A printed page is drawn by GDI itself in logical units under the
// anisotropic mapping the page sets. A window's client image is drawn in device pixels worked out
// here from the logical ones: fills for rectangles and straight lines, a line walk for the others,
// so that every pixel lands where the Linux window puts it, at 100 % and at any display scale.
// Texts are GDI's own glyphs, monochrome, in a font made for the display's resolution.
#include "platform/device_context.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/common/context_state.h"
#include "platform/common/pixel_grid.h"
#include "platform/win32/gdi_context.h"

namespace platform {

struct FontObject {
    int height;  // character cell height: pixels in a window, logical units on a page
    int weight;
    bool fixedPitch;
    HFONT page = nullptr;    // for pages, its height in the page's logical units
    HFONT screen = nullptr;  // for windows, its cell at screenCell device pixels
    int screenCell = 0;

    ~FontObject() {
        if (page != nullptr) {
            ::DeleteObject(page);
        }
        if (screen != nullptr) {
            ::DeleteObject(screen);
        }
    }
};

struct PenObject {
    int width;
    uint32_t rgb;
    HPEN page = nullptr;

    ~PenObject() {
        if (page != nullptr) {
            ::DeleteObject(page);
        }
    }
};

struct BrushObject {
    uint32_t rgb;
    HBRUSH page = nullptr;

    ~BrushObject() {
        if (page != nullptr) {
            ::DeleteObject(page);
        }
    }
};

struct DeviceContextObject : ContextState {
    HDC hdc = nullptr;
    int savedState = 0;
    bool printer = false;
    double scale = 1.0;
    Rect update{0, 0, 0, 0};
    int width = 0;  // the surface in device pixels
    int height = 0;
};

ContextState* StateOf(DeviceContext dc) {
    return dc;
}

namespace {

constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);

// The objects a fresh context starts with; they are never deleted.
FontObject* StockFont() {
    static FontObject font{kStockFontCell, kNormalWeight, false};
    return &font;
}
PenObject* StockPen() {
    static PenObject pen{1, kBlack};
    return &pen;
}
BrushObject* StockBrush() {
    static BrushObject brush{kWhite};
    return &brush;
}

// Selects a GDI object for one drawing call and puts the previous one back after it, so that no
// object of the program stays selected into a DC and each can be deleted at any time.
class Selected {
  public:
    Selected(HDC hdc, HGDIOBJ object) : hdc_(hdc), previous_(::SelectObject(hdc, object)) {}
    ~Selected() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(hdc_, previous_);
        }
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    HDC hdc_;
    HGDIOBJ previous_;
};

// The attributes the program gives its fonts: variable pitch with an empty face name, so the
// system chooses the face, or the fixed-pitch modern face the printed listing was laid out for.
// A positive height asks for the whole character cell, as the program means it. Window text is
// monochrome, as on the Linux window: every pixel of a text is black or the cell's background,
// which the screen dump and the pixel reads see exactly; a page leaves smoothing to its driver.
HFONT MakeFont(const FontObject* font, int height, bool screen) {
    return ::CreateFontW(height, 0, 0, 0, font->weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         screen ? NONANTIALIASED_QUALITY : DEFAULT_QUALITY,
                         font->fixedPitch ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_DONTCARE,
                         font->fixedPitch ? L"Courier New" : L"");
}

int TextHeight(HDC hdc, HFONT font) {
    Selected selected(hdc, font);
    TEXTMETRICW metrics{};
    return ::GetTextMetricsW(hdc, &metrics) ? metrics.tmHeight : 0;
}

// The largest font whose ascent plus descent fits the cell: a face may round a size up by a
// pixel, and a text's cell must cover exactly the cell that an earlier text at the same place
// covered, nothing above it.
HFONT ScreenFont(HDC hdc, FontObject* font, int cell) {
    if (font->screen == nullptr || font->screenCell != cell) {
        if (font->screen != nullptr) {
            ::DeleteObject(font->screen);
        }
        int size = cell;
        HFONT made = MakeFont(font, size, true);
        while (size > 1 && TextHeight(hdc, made) > cell) {
            ::DeleteObject(made);
            made = MakeFont(font, --size, true);
        }
        font->screen = made;
        font->screenCell = cell;
    }
    return font->screen;
}

HFONT PageFont(FontObject* font) {
    if (font->page == nullptr) {
        font->page = MakeFont(font, font->height, false);
    }
    return font->page;
}

// A page's pen is as wide as its width in logical units, which the mapping scales.
HPEN PagePen(PenObject* pen) {
    if (pen->page == nullptr) {
        pen->page = ::CreatePen(PS_SOLID, pen->width, pen->rgb);
    }
    return pen->page;
}

HBRUSH PageBrush(BrushObject* brush) {
    if (brush->page == nullptr) {
        brush->page = ::CreateSolidBrush(brush->rgb);
    }
    return brush->page;
}

// Fills device pixels with a colour through the DC's own brush (selected by WrapDC), clipped to
// the update region.
void Fill(DeviceContextObject* dc, const Rect& r, uint32_t rgb) {
    if (IsEmpty(r)) {
        return;
    }
    ::SetDCBrushColor(dc->hdc, rgb);
    ::PatBlt(dc->hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
}

int Dev(const DeviceContextObject* dc, int logical) {
    return DevicePixel(dc->scale, logical);
}

// The line walk in device pixels, each point a square of pen pixels; the points of a run along
// the major axis go as one fill.
void FillLine(DeviceContextObject* dc, int x, int y, int endX, int endY, int pen, uint32_t rgb) {
    Rect run{0, 0, 0, 0};
    WalkLine(x, y, endX, endY, [&](int px, int py) {
        const Rect point{px, py, px + pen, py + pen};
        if (!IsEmpty(run) && run.top == point.top && run.bottom == point.bottom &&
            (point.left == run.right || point.right == run.left)) {
            run.left = std::min(run.left, point.left);
            run.right = std::max(run.right, point.right);
            return;
        }
        if (!IsEmpty(run) && run.left == point.left && run.right == point.right &&
            (point.top == run.bottom || point.bottom == run.top)) {
            run.top = std::min(run.top, point.top);
            run.bottom = std::max(run.bottom, point.bottom);
            return;
        }
        Fill(dc, run, rgb);
        run = point;
    });
    Fill(dc, run, rgb);
}

// A line on a window, end point excluded. A horizontal or vertical one covers exactly the device
// pixels of its logical pixels, so it meets rectangles and block transfers pixel for pixel at any
// scale. Any other is walked in device pixels with a pen one logical pixel wide: its steps are as
// fine as the display allows, not enlarged logical ones.
void WindowLine(DeviceContextObject* dc, int x0, int y0, int x1, int y1) {
    const uint32_t rgb = dc->pen->rgb;
    if (x0 == x1 || y0 == y1) {
        const int limit = static_cast<int>(std::max(dc->width, dc->height) / dc->scale) + 2;
        Fill(dc, DeviceRect(dc->scale, StraightLinePixels(x0, y0, x1, y1, limit)), rgb);
        return;
    }
    const int pen = std::max(1, Dev(dc, 1));
    FillLine(dc, Dev(dc, x0), Dev(dc, y0), Dev(dc, x1), Dev(dc, y1), pen, rgb);
}

// A text on a window, in the font made for the display's resolution, from the reference point
// scaled: the cell is about the logical cell scaled, and texts drawn over each other from one
// point cover each other exactly. The glyphs are clipped to their cell, so a later text over the
// same cell replaces all of it.
void WindowText(DeviceContextObject* dc, int x, int y, const std::wstring& text) {
    const int cell = std::max(1, Dev(dc, dc->font->height));
    Selected font(dc->hdc, ScreenFont(dc->hdc, dc->font, cell));
    SIZE size{0, 0};
    TEXTMETRICW metrics{};
    ::GetTextExtentPoint32W(dc->hdc, text.data(), static_cast<int>(text.size()), &size);
    ::GetTextMetricsW(dc->hdc, &metrics);
    // The glyphs sit on the bottom of the cell; spare height lies above them, like leading.
    const int spare = std::max(0, cell - static_cast<int>(metrics.tmHeight));
    const int px = Dev(dc, x);
    const int py = Dev(dc, y);
    int left = px;
    if ((dc->align & kAlignCenter) == kAlignCenter) {
        left = px - size.cx / 2;
    } else if ((dc->align & kAlignRight) == kAlignRight) {
        left = px - size.cx;
    }
    constexpr int kAlignBaseline = TA_BASELINE;
    int top = py;
    if ((dc->align & kAlignBaseline) == kAlignBaseline) {
        top = py - spare - metrics.tmAscent;
    } else if ((dc->align & kAlignBottom) == kAlignBottom) {
        top = py - cell;
    }
    const RECT box{left, top, left + size.cx, top + cell};
    ::SetTextAlign(dc->hdc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ::SetTextColor(dc->hdc, kBlack);
    ::SetBkColor(dc->hdc, dc->bkColor);
    ::ExtTextOutW(dc->hdc, left, top + spare, ETO_OPAQUE | ETO_CLIPPED, &box, text.data(),
                  static_cast<UINT>(text.size()), nullptr);
}

// The block transfers' carry, kept per bitmap (the window's DIB section); window thread only.
MoveCarry& ScrollCarry(HDC hdc) {
    static std::vector<std::pair<HGDIOBJ, MoveCarry>> carries;
    const HGDIOBJ bitmap = ::GetCurrentObject(hdc, OBJ_BITMAP);
    for (auto& [owner, carry] : carries) {
        if (owner == bitmap) {
            return carry;
        }
    }
    return carries.emplace_back(bitmap, MoveCarry{}).second;
}

// Fills the pixels of to outside covered with the nearest pixel of covered: first each row
// sideways, then whole rows up and down.
void RepeatEdges(HDC hdc, const Rect& covered, const Rect& to) {
    if (IsEmpty(covered)) {
        return;
    }
    const int rows = covered.bottom - covered.top;
    if (to.left < covered.left) {
        ::StretchBlt(hdc, to.left, covered.top, covered.left - to.left, rows, hdc, covered.left,
                     covered.top, 1, rows, SRCCOPY);
    }
    if (to.right > covered.right) {
        ::StretchBlt(hdc, covered.right, covered.top, to.right - covered.right, rows, hdc,
                     covered.right - 1, covered.top, 1, rows, SRCCOPY);
    }
    const int columns = to.right - to.left;
    if (to.top < covered.top) {
        ::StretchBlt(hdc, to.left, to.top, columns, covered.top - to.top, hdc, to.left, covered.top,
                     columns, 1, SRCCOPY);
    }
    if (to.bottom > covered.bottom) {
        ::StretchBlt(hdc, to.left, covered.bottom, columns, to.bottom - covered.bottom, hdc,
                     to.left, covered.bottom - 1, columns, 1, SRCCOPY);
    }
}

}  // namespace

DeviceContext WrapDC(HDC hdc, const Rect& update, int width, int height, double scale,
                     bool printer) {
    if (hdc == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    auto* dc = new DeviceContextObject;
    dc->hdc = hdc;
    dc->savedState = ::SaveDC(hdc);
    dc->printer = printer;
    dc->scale = printer || !(scale > 0) ? 1.0 : scale;
    dc->width = width;
    dc->height = height;
    StartContext(dc, StockFont(), StockPen(), StockBrush());
    if (printer) {
        dc->update = Rect{0, 0, width, height};
        ::SetMapMode(hdc, MM_TEXT);
        ::SetBkMode(hdc, OPAQUE);
        ::SetTextColor(hdc, kBlack);
        ::SetBkColor(hdc, kWhite);
        ::SetTextAlign(hdc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    } else {
        // Device pixels one to one, clipped to the update region's pixels.
        dc->update = update;
        ::SetMapMode(hdc, MM_TEXT);
        ::SetWindowOrgEx(hdc, 0, 0, nullptr);
        ::SetViewportOrgEx(hdc, 0, 0, nullptr);
        ::SetBkMode(hdc, TRANSPARENT);
        ::SelectObject(hdc, ::GetStockObject(DC_BRUSH));
        const Rect clip = DeviceRect(dc->scale, update);
        ::IntersectClipRect(hdc, clip.left, clip.top, clip.right, clip.bottom);
    }
    return dc;
}

void UnwrapDC(DeviceContext dc) {
    if (dc == nullptr) {
        return;
    }
    ForgetContext(dc);
    ::RestoreDC(dc->hdc, dc->savedState);
    delete dc;
}

HDC NativeDC(DeviceContext dc) {
    return dc != nullptr ? dc->hdc : nullptr;
}

FontHandle CreateFont(int height, int weight) {
    return new FontObject{FontCell(height), FontWeight(weight), false};
}

FontHandle CreateFixedPitchFont(int height, int weight) {
    FontHandle font = CreateFont(height, weight);
    font->fixedPitch = true;
    return font;
}

void DeleteFont(FontHandle font) {
    DeleteDrawingObject(font, StockFont());
}

PenHandle CreatePen(int width, uint32_t rgb) {
    // A window draws every line one pixel wide; the width is what a page scales.
    return new PenObject{std::max(width, 1), rgb & 0xFFFFFF};
}

void DeletePen(PenHandle pen) {
    DeleteDrawingObject(pen, StockPen());
}

BrushHandle CreateSolidBrush(uint32_t rgb) {
    return new BrushObject{rgb & 0xFFFFFF};
}

void DeleteBrush(BrushHandle brush) {
    DeleteDrawingObject(brush, StockBrush());
}

Rect GetUpdateRect(DeviceContext dc) {
    return dc != nullptr ? dc->update : Rect{0, 0, 0, 0};
}

int GetDeviceWidth(DeviceContext dc) {
    if (dc == nullptr) {
        return 0;
    }
    return dc->printer ? dc->width : static_cast<int>(std::lround(dc->width / dc->scale));
}

int GetDeviceHeight(DeviceContext dc) {
    if (dc == nullptr) {
        return 0;
    }
    return dc->printer ? dc->height : static_cast<int>(std::lround(dc->height / dc->scale));
}

void SetAnisotropicMapping(DeviceContext dc, int windowExtX, int windowExtY, int viewportExtX,
                           int viewportExtY) {
    // A zero extent would divide by zero; such a mapping is refused, as GDI refuses it.
    if (dc == nullptr || !dc->printer || windowExtX == 0 || windowExtY == 0 || viewportExtX == 0 ||
        viewportExtY == 0) {
        return;
    }
    ::SetMapMode(dc->hdc, MM_ANISOTROPIC);
    ::SetWindowOrgEx(dc->hdc, 0, 0, nullptr);
    ::SetWindowExtEx(dc->hdc, windowExtX, windowExtY, nullptr);
    ::SetViewportExtEx(dc->hdc, viewportExtX, viewportExtY, nullptr);
    ::SetViewportOrgEx(dc->hdc, 0, 0, nullptr);
}

void Rectangle(DeviceContext dc, int left, int top, int right, int bottom) {
    const std::optional<Rect> r = OrderedRect(left, top, right, bottom);
    if (dc == nullptr || !r) {
        return;
    }
    if (dc->printer) {
        Selected pen(dc->hdc, PagePen(dc->pen));
        Selected brush(dc->hdc, PageBrush(dc->brush));
        ::Rectangle(dc->hdc, r->left, r->top, r->right, r->bottom);
        return;
    }
    const std::array<Rect, 5> parts = RectangleParts(*r);
    for (size_t i = 0; i < parts.size(); ++i) {
        Fill(dc, DeviceRect(dc->scale, parts[i]), i == 0 ? dc->brush->rgb : dc->pen->rgb);
    }
}

void LineTo(DeviceContext dc, int x, int y) {
    if (dc == nullptr) {
        return;
    }
    const POINT from{std::exchange(dc->x, x), std::exchange(dc->y, y)};
    if (dc->printer) {
        Selected pen(dc->hdc, PagePen(dc->pen));
        ::MoveToEx(dc->hdc, from.x, from.y, nullptr);
        ::LineTo(dc->hdc, x, y);
        return;
    }
    // A line that lies wholly on one side of the surface cannot touch it.
    const int w = GetDeviceWidth(dc) + 1;
    const int h = GetDeviceHeight(dc) + 1;
    if ((from.x < 0 && x < 0) || (from.y < 0 && y < 0) || (from.x >= w && x >= w) ||
        (from.y >= h && y >= h)) {
        return;
    }
    WindowLine(dc, from.x, from.y, x, y);
}

void TextOut(DeviceContext dc, int x, int y, const char* text, int length) {
    if (dc == nullptr || text == nullptr || length <= 0) {
        return;
    }
    const std::wstring wide =
        WideFromWindows1252(std::string_view(text, static_cast<size_t>(length)));
    if (!dc->printer) {
        WindowText(dc, x, y, wide);
        return;
    }
    // On a page GDI places the text by the alignment (the program's flags are GDI's) and fills
    // its cell with the background colour; font heights are logical units of the mapping.
    Selected font(dc->hdc, PageFont(dc->font));
    ::SetTextAlign(dc->hdc, static_cast<UINT>(dc->align) | TA_NOUPDATECP);
    ::SetBkColor(dc->hdc, dc->bkColor);
    ::ExtTextOutW(dc->hdc, x, y, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), nullptr);
}

void BitBlt(DeviceContext dc, int dstX, int dstY, int width, int height, int srcX, int srcY) {
    // A page is drawn, not kept as pixels: there is nothing to copy from.
    if (dc == nullptr || dc->printer || width <= 0 || height <= 0) {
        return;
    }
    if (dc->scale == 1.0) {
        ::BitBlt(dc->hdc, dstX, dstY, width, height, dc->hdc, srcX, srcY, SRCCOPY);
        return;
    }
    const DeviceBlockMove m =
        ScaledBlockMove(dc->scale, Rect{0, 0, dc->width, dc->height}, dstX, dstY, width, height,
                        srcX, srcY, ScrollCarry(dc->hdc));
    const Rect& source = m.source;
    if (!IsEmpty(source)) {
        ::BitBlt(dc->hdc, source.left + m.moveX, source.top + m.moveY, source.right - source.left,
                 source.bottom - source.top, dc->hdc, source.left, source.top, SRCCOPY);
    }
    RepeatEdges(dc->hdc, m.covered, m.target);
}

}  // namespace platform
