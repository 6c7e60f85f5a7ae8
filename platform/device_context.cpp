// Device contexts drawing into a QImage. Lines, rectangles and fills write pixels directly so
// that every pixel is exactly where the system code expects it (no antialiasing, no pen
// geometry rules); text is laid out by Qt in monochrome glyphs. All of it honours the clip
// region given when the context was made.
#include "platform/device_context.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/image_context.h"
#include "platform/text_codec.h"

namespace platform {

struct FontObject {
    int height = 0;  // character cell height in pixels
    int weight = 400;
    bool fixedPitch = false;
    bool resolved = false;
    QFont font;
    int ascent = 0;
    int descent = 0;
};

struct PenObject {
    int width;
    uint32_t rgb;
};

struct BrushObject {
    uint32_t rgb;
};

struct DeviceContextObject {
    QImage* image;
    QRegion clip;
    std::vector<QRect> clipRects;  // the clip as disjoint rectangles, for pixel tests
    FontHandle font;
    PenHandle pen;
    BrushHandle brush;
    int align;
    uint32_t bkColor;
    QPoint position;
    // A printed page: drawing goes through the painter in device units, by the logical mapping
    // below (window extent onto viewport extent, both origins at 0).
    QPainter* painter = nullptr;
    QPaintDevice* device = nullptr;
    int windowExtX = 1;
    int windowExtY = 1;
    int viewportExtX = 1;
    int viewportExtY = 1;
};

namespace {

constexpr int kDefaultFontHeight = 16;
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);

FontObject* NewFont(int height, int weight, bool fixedPitch = false) {
    auto* font = new FontObject;
    font->height = height;
    font->weight = weight;
    font->fixedPitch = fixedPitch;
    return font;
}

// The objects a fresh context starts with; they are never deleted.
FontObject* StockFont() {
    static FontObject* font = NewFont(kDefaultFontHeight, 400);
    return font;
}
PenObject* StockPen() {
    static PenObject pen{1, kBlack};
    return &pen;
}
BrushObject* StockBrush() {
    static BrushObject brush{kWhite};
    return &brush;
}

// Contexts alive now, so that deleting a drawing object that one of them still holds cannot
// leave it pointing at freed memory. Window thread only.
std::vector<DeviceContextObject*>& LiveContexts() {
    static std::vector<DeviceContextObject*> contexts;
    return contexts;
}

// Qt needs a running application to measure fonts, so the face is chosen at first use.
void ResolveFont(FontObject* font) {
    if (font->resolved) {
        return;
    }
    font->resolved = true;
    QFont f = QGuiApplication::font();
    // The panel's positions were laid out for a face with Arial's widths; Liberation Sans has
    // them. Wider faces push three-digit values into their labels. The fixed-pitch face of the
    // printed listing was laid out for Courier New's widths, which Liberation Mono has.
    const QString face =
        font->fixedPitch ? QStringLiteral("Liberation Mono") : QStringLiteral("Liberation Sans");
    if (QFontDatabase::hasFamily(face)) {
        f.setFamily(face);
    } else if (font->fixedPitch) {
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    f.setStyleHint(font->fixedPitch ? QFont::TypeWriter : QFont::AnyStyle, QFont::NoAntialias);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setFixedPitch(font->fixedPitch);
    f.setKerning(false);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    f.setWeight(static_cast<QFont::Weight>(std::clamp(font->weight, 1, 1000)));
    // The largest pixel size whose ascent plus descent still fits the requested cell.
    const int target = font->height;
    auto heightAt = [&f](int size) {
        f.setPixelSize(size);
        return QFontMetrics(f).height();
    };
    int size = target;
    while (size > 1 && heightAt(size) > target) {
        --size;
    }
    while (size < 4 * target && heightAt(size + 1) <= target) {
        ++size;
    }
    f.setPixelSize(size);
    QFontMetrics metrics(f);
    font->font = f;
    font->ascent = metrics.ascent();
    font->descent = metrics.descent();
}

void UnselectEverywhere(FontObject* font, PenObject* pen, BrushObject* brush) {
    for (DeviceContextObject* dc : LiveContexts()) {
        if (font != nullptr && dc->font == font) {
            dc->font = StockFont();
        }
        if (pen != nullptr && dc->pen == pen) {
            dc->pen = StockPen();
        }
        if (brush != nullptr && dc->brush == brush) {
            dc->brush = StockBrush();
        }
    }
}

bool InClip(const DeviceContextObject* dc, int x, int y) {
    for (const QRect& r : dc->clipRects) {
        if (r.contains(x, y)) {
            return true;
        }
    }
    return false;
}

void PlotPixel(DeviceContextObject* dc, int x, int y, QRgb colour) {
    if (InClip(dc, x, y)) {
        reinterpret_cast<QRgb*>(dc->image->scanLine(y))[x] = colour;
    }
}

void FillRectOnImage(QImage* image, const QRect& rect, QRgb colour) {
    const QRect r = rect & image->rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image->scanLine(y));
        std::fill(row + r.left(), row + r.left() + r.width(), colour);
    }
}

void FillClipped(DeviceContextObject* dc, const QRect& rect, uint32_t rgb) {
    if (rect.isEmpty()) {
        return;
    }
    const QRgb colour = ToQRgb(rgb);
    for (const QRect& c : dc->clipRects) {
        FillRectOnImage(dc->image, rect & c, colour);
    }
}

// A printed page: coordinates in logical units, mapped to device units with separate scales.
bool OnPage(const DeviceContextObject* dc) {
    return dc->painter != nullptr;
}

double PageScaleX(const DeviceContextObject* dc) {
    return static_cast<double>(dc->viewportExtX) / dc->windowExtX;
}

double PageScaleY(const DeviceContextObject* dc) {
    return static_cast<double>(dc->viewportExtY) / dc->windowExtY;
}

QPointF PagePoint(const DeviceContextObject* dc, int x, int y) {
    return QPointF(x * PageScaleX(dc), y * PageScaleY(dc));
}

// A pen's width is in logical units and scales with the page, as the printer's driver draws a
// one-unit pen; it never gets thinner than one device pixel.
QPen PagePen(const DeviceContextObject* dc) {
    QPen pen(QColor(ToQRgb(dc->pen->rgb)));
    pen.setWidthF(std::max(1.0, dc->pen->width * PageScaleX(dc)));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void PageLine(DeviceContextObject* dc, int x0, int y0, int x1, int y1) {
    if (!dc->painter->isActive()) {
        return;
    }
    dc->painter->setPen(PagePen(dc));
    dc->painter->drawLine(PagePoint(dc, x0, y0), PagePoint(dc, x1, y1));
}

void PageRectangle(DeviceContextObject* dc, int left, int top, int right, int bottom) {
    if (!dc->painter->isActive()) {
        return;
    }
    const QRectF rect(PagePoint(dc, left, top), PagePoint(dc, right, bottom));
    dc->painter->fillRect(rect, QColor(ToQRgb(dc->brush->rgb)));
    dc->painter->setPen(PagePen(dc));
    dc->painter->setBrush(Qt::NoBrush);
    dc->painter->drawRect(rect);
}

// Font heights are logical units too: the glyphs are as high as the mapped cell and keep the
// face's own proportions, whatever the horizontal scale.
void PageText(DeviceContextObject* dc, int x, int y, const QString& s) {
    if (!dc->painter->isActive()) {
        return;
    }
    FontObject* font = dc->font;
    ResolveFont(font);
    const double cell = std::max(1.0, font->height * PageScaleY(dc));
    QFont f = font->font;
    f.setStyleStrategy(QFont::PreferDefault);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(cell))));
    const double natural = QFontMetricsF(f, dc->device).height();
    if (natural > 0) {
        f.setPixelSize(std::max(1, static_cast<int>(cell * f.pixelSize() / natural)));
    }
    const QFontMetricsF metrics(f, dc->device);
    const double width = metrics.horizontalAdvance(s);
    const QPointF at = PagePoint(dc, x, y);
    double left = at.x();
    if ((dc->align & kAlignCenter) == kAlignCenter) {
        left -= width / 2;
    } else if ((dc->align & kAlignRight) == kAlignRight) {
        left -= width;
    }
    double top = at.y();
    if ((dc->align & kAlignBottom) == kAlignBottom) {
        top -= cell;
    }
    dc->painter->fillRect(QRectF(left, top, width, cell), QColor(ToQRgb(dc->bkColor)));
    dc->painter->setFont(f);
    dc->painter->setPen(QColor(Qt::black));
    dc->painter->drawText(QPointF(left, top + cell - metrics.descent()), s);
}

}  // namespace

QRgb ToQRgb(uint32_t rgb) {
    return qRgb(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

uint32_t FromQRgb(QRgb pixel) {
    return Rgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

DeviceContext CreateImageContext(QImage* image, const QRegion& clip) {
    if (image == nullptr || image->isNull()) {
        return nullptr;
    }
    // The pixel writes below assume 32-bit pixels.
    if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32) {
        *image = image->convertToFormat(QImage::Format_RGB32);
    }
    auto* dc = new DeviceContextObject{
        image,        clip & image->rect(),   {},     StockFont(), StockPen(),
        StockBrush(), kAlignLeft | kAlignTop, kWhite, QPoint()};
    dc->clipRects.assign(dc->clip.begin(), dc->clip.end());
    LiveContexts().push_back(dc);
    return dc;
}

DeviceContext CreatePainterContext(QPainter* painter, QPaintDevice* device) {
    if (painter == nullptr || device == nullptr) {
        return nullptr;
    }
    auto* dc = new DeviceContextObject{
        nullptr, QRegion(), {}, StockFont(), StockPen(), StockBrush(), kAlignLeft | kAlignTop,
        kWhite,  QPoint()};
    dc->painter = painter;
    dc->device = device;
    LiveContexts().push_back(dc);
    return dc;
}

void DeleteImageContext(DeviceContext dc) {
    if (dc == nullptr) {
        return;
    }
    auto& live = LiveContexts();
    live.erase(std::remove(live.begin(), live.end(), dc), live.end());
    delete dc;
}

void FillRegion(QImage* image, const QRegion& region, uint32_t rgb) {
    if (image == nullptr) {
        return;
    }
    const QRgb colour = ToQRgb(rgb);
    for (const QRect& r : region) {
        FillRectOnImage(image, r, colour);
    }
}

FontHandle CreateFont(int height, int weight) {
    // A negative height asks for the character height without the internal leading; the cell
    // is taken as that height, which is the nearest this face model offers. Zero means default.
    int cell = std::abs(height);
    if (cell == 0) {
        cell = kDefaultFontHeight;
    }
    return NewFont(cell, weight <= 0 ? 400 : weight);
}

FontHandle CreateFixedPitchFont(int height, int weight) {
    FontHandle font = CreateFont(height, weight);
    font->fixedPitch = true;
    return font;
}

void DeleteFont(FontHandle font) {
    if (font == nullptr || font == StockFont()) {
        return;
    }
    UnselectEverywhere(font, nullptr, nullptr);
    delete font;
}

PenHandle CreatePen(int width, uint32_t rgb) {
    // Every line is drawn one pixel wide; the width is kept for what it says only.
    return new PenObject{std::max(width, 1), rgb & 0xFFFFFF};
}

void DeletePen(PenHandle pen) {
    if (pen == nullptr || pen == StockPen()) {
        return;
    }
    UnselectEverywhere(nullptr, pen, nullptr);
    delete pen;
}

BrushHandle CreateSolidBrush(uint32_t rgb) {
    return new BrushObject{rgb & 0xFFFFFF};
}

void DeleteBrush(BrushHandle brush) {
    if (brush == nullptr || brush == StockBrush()) {
        return;
    }
    UnselectEverywhere(nullptr, nullptr, brush);
    delete brush;
}

int GetDeviceWidth(DeviceContext dc) {
    if (dc == nullptr) {
        return 0;
    }
    return OnPage(dc) ? dc->device->width() : dc->image->width();
}

int GetDeviceHeight(DeviceContext dc) {
    if (dc == nullptr) {
        return 0;
    }
    return OnPage(dc) ? dc->device->height() : dc->image->height();
}

void SetAnisotropicMapping(DeviceContext dc, int windowExtX, int windowExtY, int viewportExtX,
                           int viewportExtY) {
    // A zero extent would divide by zero; such a mapping is refused, as the window system does.
    if (dc == nullptr || windowExtX == 0 || windowExtY == 0 || viewportExtX == 0 ||
        viewportExtY == 0) {
        return;
    }
    dc->windowExtX = windowExtX;
    dc->windowExtY = windowExtY;
    dc->viewportExtX = viewportExtX;
    dc->viewportExtY = viewportExtY;
}

Rect GetUpdateRect(DeviceContext dc) {
    if (dc != nullptr && OnPage(dc)) {
        return Rect{0, 0, dc->device->width(), dc->device->height()};
    }
    if (dc == nullptr || dc->clip.isEmpty()) {
        return Rect{0, 0, 0, 0};
    }
    const QRect r = dc->clip.boundingRect();
    return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

FontHandle SelectFont(DeviceContext dc, FontHandle font) {
    if (dc == nullptr || font == nullptr) {
        return nullptr;
    }
    return std::exchange(dc->font, font);
}

PenHandle SelectPen(DeviceContext dc, PenHandle pen) {
    if (dc == nullptr || pen == nullptr) {
        return nullptr;
    }
    return std::exchange(dc->pen, pen);
}

BrushHandle SelectBrush(DeviceContext dc, BrushHandle brush) {
    if (dc == nullptr || brush == nullptr) {
        return nullptr;
    }
    return std::exchange(dc->brush, brush);
}

int SetTextAlign(DeviceContext dc, int align) {
    if (dc == nullptr) {
        return 0;
    }
    return std::exchange(dc->align, align);
}

uint32_t SetBkColor(DeviceContext dc, uint32_t rgb) {
    if (dc == nullptr) {
        return 0;
    }
    return std::exchange(dc->bkColor, rgb & 0xFFFFFF);
}

void Rectangle(DeviceContext dc, int left, int top, int right, int bottom) {
    if (dc == nullptr) {
        return;
    }
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    const int width = right - left;
    const int height = bottom - top;
    if (width <= 0 || height <= 0) {
        return;
    }
    if (OnPage(dc)) {
        PageRectangle(dc, left, top, right, bottom);
        return;
    }
    FillClipped(dc, QRect(left + 1, top + 1, width - 2, height - 2), dc->brush->rgb);
    const uint32_t pen = dc->pen->rgb;
    FillClipped(dc, QRect(left, top, width, 1), pen);
    FillClipped(dc, QRect(left, bottom - 1, width, 1), pen);
    FillClipped(dc, QRect(left, top, 1, height), pen);
    FillClipped(dc, QRect(right - 1, top, 1, height), pen);
}

void MoveTo(DeviceContext dc, int x, int y) {
    if (dc != nullptr) {
        dc->position = QPoint(x, y);
    }
}

void LineTo(DeviceContext dc, int x, int y) {
    if (dc == nullptr) {
        return;
    }
    int x0 = dc->position.x();
    int y0 = dc->position.y();
    dc->position = QPoint(x, y);
    if (OnPage(dc)) {
        PageLine(dc, x0, y0, x, y);
        return;
    }
    // A line that lies wholly on one side of the image cannot touch it: skip the walk.
    const int w = dc->image->width();
    const int h = dc->image->height();
    if ((x0 < 0 && x < 0) || (y0 < 0 && y < 0) || (x0 >= w && x >= w) || (y0 >= h && y >= h)) {
        return;
    }
    const QRgb colour = ToQRgb(dc->pen->rgb);
    // Bresenham from the start point up to, but not including, the end point.
    const long long dx = std::llabs(static_cast<long long>(x) - x0);
    const long long dy = -std::llabs(static_cast<long long>(y) - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    long long err = dx + dy;
    while (x0 != x || y0 != y) {
        PlotPixel(dc, x0, y0, colour);
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void TextOut(DeviceContext dc, int x, int y, const char* text, int length) {
    if (dc == nullptr || text == nullptr || length <= 0) {
        return;
    }
    const QString s = FromWindows1252(std::string_view(text, static_cast<size_t>(length)));
    if (OnPage(dc)) {
        PageText(dc, x, y, s);
        return;
    }
    FontObject* font = dc->font;
    ResolveFont(font);
    // Each character advances by its own whole-pixel width, so a character lands on the same
    // pixel whatever precedes it: "  --" and "--" aligned right put their dashes on the same
    // columns, and a text drawn over an earlier one covers it exactly.
    const QFontMetrics metrics(font->font);
    std::vector<int> advances;
    advances.reserve(static_cast<size_t>(s.size()));
    int width = 0;
    for (QChar c : s) {
        advances.push_back(metrics.horizontalAdvance(c));
        width += advances.back();
    }
    const int height = font->height;
    int left = x;
    if ((dc->align & kAlignCenter) == kAlignCenter) {
        left = x - width / 2;
    } else if ((dc->align & kAlignRight) == kAlignRight) {
        left = x - width;
    }
    // The glyphs sit on the bottom of the cell; spare height lies above them, like leading.
    const int baselineFromTop = height - font->descent;
    constexpr int kAlignBaseline = 24;
    int top = y;
    if ((dc->align & kAlignBaseline) == kAlignBaseline) {
        top = y - baselineFromTop;
    } else if ((dc->align & kAlignBottom) == kAlignBottom) {
        top = y - height;
    }
    const QRect cell(left, top, width, height);
    FillClipped(dc, cell, dc->bkColor);
    // Glyphs stay inside their cell, so a later text over the same cell replaces all of it.
    const QRegion glyphClip = dc->clip & cell;
    if (glyphClip.isEmpty()) {
        return;
    }
    QPainter painter(dc->image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRegion(glyphClip);
    painter.setFont(font->font);
    painter.setPen(QColor(Qt::black));
    const QRect visible = glyphClip.boundingRect();
    int penX = left;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const int advance = advances[static_cast<size_t>(i)];
        // Glyphs may overhang their advance a little; a margin of one cell height covers it.
        const bool nearClip =
            penX + advance + height > visible.left() && penX - height <= visible.right();
        if (!s[i].isSpace() && nearClip) {
            painter.drawText(QPoint(penX, top + baselineFromTop), QString(s[i]));
        }
        penX += advance;
    }
}

void BitBlt(DeviceContext dc, int dstX, int dstY, int width, int height, int srcX, int srcY) {
    // A page is drawn, not kept as pixels: there is nothing to copy from.
    if (dc == nullptr || width <= 0 || height <= 0 || OnPage(dc)) {
        return;
    }
    const QRect source = QRect(srcX, srcY, width, height) & dc->image->rect();
    if (source.isEmpty()) {
        return;
    }
    // Copy the source first so an overlapping destination reads the pixels as they were.
    const QImage block = dc->image->copy(source);
    const QPoint origin(dstX + source.left() - srcX, dstY + source.top() - srcY);
    const QRect target(origin, source.size());
    for (const QRect& c : dc->clipRects) {
        const QRect r = target & c;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const QRgb* from = reinterpret_cast<const QRgb*>(block.constScanLine(y - origin.y())) +
                               (r.left() - origin.x());
            QRgb* to = reinterpret_cast<QRgb*>(dc->image->scanLine(y)) + r.left();
            std::memcpy(to, from, static_cast<size_t>(r.width()) * sizeof(QRgb));
        }
    }
}

}  // namespace platform
