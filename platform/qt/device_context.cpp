// Device contexts drawing into a QImage. Lines, rectangles and fills write pixels directly so
// that every pixel is exactly where the system code expects it (no antialiasing, no pen
// geometry rules); text is laid out by Qt in monochrome glyphs. All of it honours the clip
// region given when the context was made. A window's context draws everything twice: onto the
// 1:1 client image and, at a display ratio other than 1, onto the image the screen shows.
#include "platform/device_context.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/common/context_state.h"
#include "platform/common/pixel_grid.h"
#include "platform/qt/image_context.h"
#include "platform/text_codec.h"

namespace platform {

// A character's ink as Qt draws it in a monochrome face: pixel offsets from the pen position on
// the top of the text cell. Drawn once per font and character, then only copied.
struct Glyph {
    bool ready = false;
    std::vector<QPoint> ink;
};

struct FontObject {
    int height = 0;  // character cell height in pixels
    int weight = 400;
    bool fixedPitch = false;
    bool resolved = false;
    QFont font;
    int ascent = 0;
    int descent = 0;
    // Whole-pixel advance of each Windows-1252 character: a text is laid out, and a text
    // outside the clip recognised, without asking Qt again.
    int advances[256] = {};
    bool advanceKnown[256] = {};
    Glyph glyphs[256];
    // The same font for a scaled image: its cell is the height at that ratio, so the glyphs are
    // drawn at the display's resolution rather than enlarged. Made at first use.
    FontObject* scaled = nullptr;
    double scaledRatio = 0;

    ~FontObject() { delete scaled; }
};

struct PenObject {
    int width;
    uint32_t rgb;
};

struct BrushObject {
    uint32_t rgb;
};

struct DeviceContextObject : ContextState {
    QImage* image = nullptr;
    QRegion clip;
    std::vector<QRect> clipRects;  // the clip as disjoint rectangles, for pixel tests
    // A printed page: drawing goes through the painter in device units, by the logical mapping
    // below (window extent onto viewport extent, both origins at 0).
    QPainter* painter = nullptr;
    QPaintDevice* device = nullptr;
    int windowExtX = 1;
    int windowExtY = 1;
    int viewportExtX = 1;
    int viewportExtY = 1;
    // Bounds of every pixel this context has changed, kept as edges: a pixel at a time is
    // cheaper to add that way than as a rectangle union.
    int changedLeft = INT_MAX;
    int changedTop = INT_MAX;
    int changedRight = INT_MIN;  // inclusive
    int changedBottom = INT_MIN;
    // The image's pixels, taken once per context (a scan line access checks for sharing).
    uchar* bits = nullptr;
    qsizetype stride = 0;
    // A window's context also draws onto the client image at the display's ratio, through this
    // context on it: its clip, pixels and changes are in device pixels, the drawing state is the
    // logical context's. Only the logical context is seen by the caller.
    DeviceContextObject* scaled = nullptr;
    double ratio = 1.0;
    MoveCarry* scrollCarry = nullptr;

    QRgb* Row(int y) { return reinterpret_cast<QRgb*>(bits + y * stride); }
    void MarkChanged(int x, int y) {
        changedLeft = std::min(changedLeft, x);
        changedRight = std::max(changedRight, x);
        changedTop = std::min(changedTop, y);
        changedBottom = std::max(changedBottom, y);
    }
    void MarkChanged(const QRect& r) {
        if (!r.isEmpty()) {
            MarkChanged(r.left(), r.top());
            MarkChanged(r.right(), r.bottom());
        }
    }
};

ContextState* StateOf(DeviceContext dc) {
    return dc;
}

namespace {

QRect ToQRect(const Rect& r) {
    return IsEmpty(r) ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

Rect FromQRect(const QRect& r) {
    return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

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
    static FontObject* font = NewFont(kStockFontCell, kNormalWeight);
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

// Asked of Qt once per character and font, when the character is first drawn.
int Advance(FontObject* font, unsigned char byte) {
    if (!font->advanceKnown[byte]) {
        font->advanceKnown[byte] = true;
        const char c = static_cast<char>(byte);
        font->advances[byte] =
            QFontMetrics(font->font).horizontalAdvance(FromWindows1252(std::string_view(&c, 1))[0]);
    }
    return font->advances[byte];
}

// The Windows-1252 characters Qt counts as white space: they only advance.
bool IsBlank(unsigned char byte) {
    return byte == ' ' || byte == 0xA0 || (byte >= '\t' && byte <= '\r');
}

// Draws the text's characters that have no glyph yet, each alone in a slot of its own with room
// of one cell height on either side for overhangs (the margin the text cell's clip allows) and as
// much again between slots, all with one painter; keeps the pixels each one inked.
void PrepareGlyphs(FontObject* font, const unsigned char* bytes, int length) {
    std::vector<unsigned char> missing;
    for (int i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        if (!IsBlank(byte) && !font->glyphs[byte].ready &&
            std::find(missing.begin(), missing.end(), byte) == missing.end()) {
            missing.push_back(byte);
        }
    }
    if (missing.empty()) {
        return;
    }
    const int height = font->height;
    const int margin = height;
    std::vector<int> slotLeft;
    int width = 0;
    for (unsigned char byte : missing) {
        slotLeft.push_back(width);
        width += Advance(font, byte) + 3 * margin;
    }
    QImage strip(width, height, QImage::Format_RGB32);
    strip.fill(Qt::white);
    {
        QPainter painter(&strip);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setFont(font->font);
        painter.setPen(QColor(Qt::black));
        for (size_t i = 0; i < missing.size(); ++i) {
            const char c = static_cast<char>(missing[i]);
            painter.drawText(QPoint(slotLeft[i] + margin, height - font->descent),
                             FromWindows1252(std::string_view(&c, 1)));
        }
    }
    const QRgb white = qRgb(255, 255, 255);
    for (size_t i = 0; i < missing.size(); ++i) {
        Glyph& glyph = font->glyphs[missing[i]];
        glyph.ready = true;
        const int slotWidth = Advance(font, missing[i]) + 2 * margin;
        for (int y = 0; y < height; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(strip.constScanLine(y)) + slotLeft[i];
            for (int x = 0; x < slotWidth; ++x) {
                if (row[x] != white) {
                    glyph.ink.emplace_back(x - margin, y);
                }
            }
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
        QRgb& pixel = dc->Row(y)[x];
        if (pixel != colour) {
            pixel = colour;
            dc->MarkChanged(x, y);
        }
    }
}

// A horizontal or vertical line, end point excluded, drawn a clip rectangle at a time instead of
// testing every pixel against the clip (the graph clears and draws its newest column 50 times a
// second). The rectangles do not overlap, so every pixel is still set once.
void StraightLine(DeviceContextObject* dc, int x0, int y0, int x1, int y1, QRgb colour) {
    const QRect line = ToQRect(
        StraightLinePixels(x0, y0, x1, y1, std::max(dc->image->width(), dc->image->height()) + 2));
    for (const QRect& c : dc->clipRects) {
        const QRect r = line & c;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            QRgb* row = dc->Row(y);
            for (int x = r.left(); x <= r.right(); ++x) {
                if (row[x] != colour) {
                    row[x] = colour;
                    dc->MarkChanged(x, y);
                }
            }
        }
    }
}

// Returns the bounds of the rows it changed (empty when every pixel had the colour already).
QRect FillRectOnImage(QImage* image, const QRect& rect, QRgb colour) {
    const QRect r = rect & image->rect();
    if (r.isEmpty()) {
        return QRect();
    }
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    int firstChanged = -1;
    int lastChanged = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bits + y * stride) + r.left();
        // One pass that writes and gathers the differences, without a branch per pixel, so the
        // compiler can vectorise it; writing a pixel its own colour changes nothing.
        QRgb difference = 0;
        for (int x = 0; x < r.width(); ++x) {
            difference |= row[x] ^ colour;
            row[x] = colour;
        }
        if (difference != 0) {
            firstChanged = firstChanged < 0 ? y : firstChanged;
            lastChanged = y;
        }
    }
    if (firstChanged < 0) {
        return QRect();
    }
    return QRect(r.left(), firstChanged, r.width(), lastChanged - firstChanged + 1);
}

void FillClipped(DeviceContextObject* dc, const QRect& rect, uint32_t rgb) {
    if (rect.isEmpty()) {
        return;
    }
    const QRgb colour = ToQRgb(rgb);
    for (const QRect& c : dc->clipRects) {
        dc->MarkChanged(FillRectOnImage(dc->image, rect & c, colour));
    }
}

// Fills the device pixels of a logical rectangle on the scaled image, when there is one.
void FillScaled(DeviceContextObject* dc, const QRect& logical, uint32_t rgb) {
    if (dc->scaled != nullptr) {
        FillClipped(dc->scaled, DeviceRect(dc->scaled->ratio, logical), rgb);
    }
}

// The font that draws on a scaled image: its cell is the logical cell at that ratio.
FontObject* ScaledFont(FontObject* font, double ratio) {
    if (font->scaled == nullptr || font->scaledRatio != ratio) {
        delete font->scaled;
        font->scaled =
            NewFont(std::max(1, DevicePixel(ratio, font->height)), font->weight, font->fixedPitch);
        font->scaledRatio = ratio;
    }
    return font->scaled;
}

// A line on the scaled image. A horizontal or vertical one covers exactly the device pixels of
// its logical pixels, so it meets the rectangles and the block transfers pixel for pixel. Any
// other is walked in device pixels with a pen one logical pixel wide: its steps are device
// pixels, as sharp as the display allows, not enlarged logical ones. Its end point is excluded
// in device pixels; the pen's width may touch the logical end pixel, as a wide pen does.
void ScaledLine(DeviceContextObject* s, int x0, int y0, int x1, int y1, uint32_t rgb) {
    const double r = s->ratio;
    if (x0 == x1 || y0 == y1) {
        const int limit = static_cast<int>(std::max(s->image->width(), s->image->height()) / r) + 2;
        FillClipped(s, ToQRect(DeviceRect(r, StraightLinePixels(x0, y0, x1, y1, limit))), rgb);
        return;
    }
    const int pen = std::max(1, DevicePixel(r, 1));
    WalkLine(DevicePixel(r, x0), DevicePixel(r, y0), DevicePixel(r, x1), DevicePixel(r, y1),
             [&](int x, int y) { FillClipped(s, QRect(x, y, pen, pen), rgb); });
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

QRect DeviceRect(double ratio, const QRect& logical) {
    return ToQRect(DeviceRect(ratio, FromQRect(logical)));
}

QRect LogicalRect(double ratio, const QRect& device) {
    if (device.isEmpty()) {
        return QRect();
    }
    // The first logical pixel whose device pixels reach the left edge, and the first one past
    // the right edge; likewise vertically.
    auto first = [ratio](int d) {
        int x = static_cast<int>(std::floor(d / ratio));
        while (DevicePixel(ratio, x + 1) <= d) {
            ++x;
        }
        while (DevicePixel(ratio, x) > d) {
            --x;
        }
        return x;
    };
    const int left = first(device.left());
    const int top = first(device.top());
    return QRect(QPoint(left, top), QPoint(first(device.right()), first(device.bottom())));
}

DeviceContext CreateImageContext(QImage* image, const QRegion& clip, ScaledImage* scaled) {
    if (image == nullptr || image->isNull()) {
        return nullptr;
    }
    // The pixel writes below assume 32-bit pixels.
    if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32) {
        *image = image->convertToFormat(QImage::Format_RGB32);
    }
    auto* dc = new DeviceContextObject;
    if (scaled != nullptr && !scaled->image.isNull()) {
        QRegion deviceClip;
        for (const QRect& r : clip) {
            deviceClip += DeviceRect(scaled->ratio, r);
        }
        dc->scaled = CreateImageContext(&scaled->image, deviceClip);
        dc->scaled->ratio = scaled->ratio;
        dc->scaled->scrollCarry = &scaled->scrollCarry;
        // Not a context of its own for the caller: it holds no objects to unselect.
        ForgetContext(dc->scaled);
    }
    dc->image = image;
    dc->clip = clip & image->rect();
    dc->bits = image->bits();
    dc->stride = image->bytesPerLine();
    dc->clipRects.assign(dc->clip.begin(), dc->clip.end());
    StartContext(dc, StockFont(), StockPen(), StockBrush());
    return dc;
}

DeviceContext CreatePainterContext(QPainter* painter, QPaintDevice* device) {
    if (painter == nullptr || device == nullptr) {
        return nullptr;
    }
    auto* dc = new DeviceContextObject;
    dc->painter = painter;
    dc->device = device;
    StartContext(dc, StockFont(), StockPen(), StockBrush());
    return dc;
}

void DeleteImageContext(DeviceContext dc) {
    if (dc == nullptr) {
        return;
    }
    ForgetContext(dc);
    delete dc->scaled;
    delete dc;
}

QRect FillRegion(QImage* image, const QRegion& region, uint32_t rgb, ScaledImage* scaled) {
    if (image == nullptr) {
        return QRect();
    }
    const QRgb colour = ToQRgb(rgb);
    QRect changed;
    for (const QRect& r : region) {
        changed |= FillRectOnImage(image, r, colour);
        if (scaled != nullptr && !scaled->image.isNull()) {
            changed |=
                LogicalRect(scaled->ratio,
                            FillRectOnImage(&scaled->image, DeviceRect(scaled->ratio, r), colour));
        }
    }
    return changed;
}

QFont ResolvedFont(FontHandle font) {
    ResolveFont(font);
    return font->font;
}

QRect ChangedArea(DeviceContext dc) {
    if (dc == nullptr) {
        return QRect();
    }
    QRect changed;
    if (dc->changedRight >= dc->changedLeft) {
        changed = QRect(QPoint(dc->changedLeft, dc->changedTop),
                        QPoint(dc->changedRight, dc->changedBottom));
    }
    if (dc->scaled != nullptr) {
        changed |= LogicalRect(dc->scaled->ratio, ChangedArea(dc->scaled));
    }
    return changed;
}

FontHandle CreateFont(int height, int weight) {
    return NewFont(FontCell(height), FontWeight(weight));
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
    // Every line is drawn one pixel wide; the width is kept for what it says only.
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
    return FromQRect(dc->clip.boundingRect());
}

void Rectangle(DeviceContext dc, int left, int top, int right, int bottom) {
    const std::optional<Rect> r = OrderedRect(left, top, right, bottom);
    if (dc == nullptr || !r) {
        return;
    }
    if (OnPage(dc)) {
        PageRectangle(dc, r->left, r->top, r->right, r->bottom);
        return;
    }
    const std::array<Rect, 5> parts = RectangleParts(*r);
    for (size_t i = 0; i < parts.size(); ++i) {
        const QRect rect = ToQRect(parts[i]);
        const uint32_t rgb = i == 0 ? dc->brush->rgb : dc->pen->rgb;
        FillClipped(dc, rect, rgb);
        FillScaled(dc, rect, rgb);
    }
}

void LineTo(DeviceContext dc, int x, int y) {
    if (dc == nullptr) {
        return;
    }
    const int x0 = std::exchange(dc->x, x);
    const int y0 = std::exchange(dc->y, y);
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
    if (dc->scaled != nullptr) {
        ScaledLine(dc->scaled, x0, y0, x, y, dc->pen->rgb);
    }
    const QRgb colour = ToQRgb(dc->pen->rgb);
    if (x0 == x || y0 == y) {
        StraightLine(dc, x0, y0, x, y, colour);
        return;
    }
    WalkLine(x0, y0, x, y, [&](int px, int py) { PlotPixel(dc, px, py, colour); });
}

namespace {

// A text on an image in font, placed by align on an opaque cell of bkColor.
void ImageText(DeviceContextObject* dc, FontObject* font, int align, uint32_t bkColor, int x, int y,
               const unsigned char* bytes, int length) {
    ResolveFont(font);
    // Each character advances by its own whole-pixel width, so a character lands on the same
    // pixel whatever precedes it: "  --" and "--" aligned right put their dashes on the same
    // columns, and a text drawn over an earlier one covers it exactly.
    int width = 0;
    for (int i = 0; i < length; ++i) {
        width += Advance(font, bytes[i]);
    }
    const int height = font->height;
    int left = x;
    if ((align & kAlignCenter) == kAlignCenter) {
        left = x - width / 2;
    } else if ((align & kAlignRight) == kAlignRight) {
        left = x - width;
    }
    // The glyphs sit on the bottom of the cell; spare height lies above them, like leading.
    const int baselineFromTop = height - font->descent;
    constexpr int kAlignBaseline = 24;
    int top = y;
    if ((align & kAlignBaseline) == kAlignBaseline) {
        top = y - baselineFromTop;
    } else if ((align & kAlignBottom) == kAlignBottom) {
        top = y - height;
    }
    const QRect cell(left, top, width, height);
    // Everything a text draws lies in its cell: a cell outside the clip costs no more than this.
    if (std::none_of(dc->clipRects.begin(), dc->clipRects.end(),
                     [&cell](const QRect& c) { return c.intersects(cell); })) {
        return;
    }
    FillClipped(dc, cell, bkColor);
    // Glyphs stay inside their cell, so a later text over the same cell replaces all of it.
    std::vector<QRect> glyphClip;
    for (const QRect& c : dc->clipRects) {
        if (const QRect r = c & cell; !r.isEmpty()) {
            glyphClip.push_back(r);
        }
    }
    PrepareGlyphs(font, bytes, length);
    const QRgb black = qRgb(0, 0, 0);
    int penX = left;
    for (int i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        // Blank characters (space, no-break space) only advance.
        if (!IsBlank(byte)) {
            for (const QPoint& ink : font->glyphs[byte].ink) {
                const int px = penX + ink.x();
                const int py = top + ink.y();
                for (const QRect& r : glyphClip) {
                    if (r.contains(px, py)) {
                        QRgb& pixel = dc->Row(py)[px];
                        if (pixel != black) {
                            pixel = black;
                            dc->MarkChanged(px, py);
                        }
                        break;
                    }
                }
            }
        }
        penX += font->advances[byte];  // known: the width above asked for it
    }
}

}  // namespace

void TextOut(DeviceContext dc, int x, int y, const char* text, int length) {
    if (dc == nullptr || text == nullptr || length <= 0) {
        return;
    }
    if (OnPage(dc)) {
        PageText(dc, x, y, FromWindows1252(std::string_view(text, static_cast<size_t>(length))));
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    ImageText(dc, dc->font, dc->align, dc->bkColor, x, y, bytes, length);
    // At the display's ratio the text is laid out again in the font at that resolution, from the
    // same reference point: its cell is about the logical cell scaled, and texts drawn over each
    // other from one point still cover each other exactly.
    if (DeviceContextObject* scaled = dc->scaled) {
        const double r = scaled->ratio;
        ImageText(scaled, ScaledFont(dc->font, r), dc->align, dc->bkColor, DevicePixel(r, x),
                  DevicePixel(r, y), bytes, length);
    }
}

namespace {

// Moves the block at from by shift within the context's image, as the pixels were before.
void MoveBlock(DeviceContextObject* dc, const QRect& from, QPoint shift) {
    const QRect source = from & dc->image->rect();
    if (source.isEmpty()) {
        return;
    }
    const QRect target = source.translated(shift);
    std::vector<QRect> parts;
    for (const QRect& c : dc->clipRects) {
        if (const QRect r = target & c; !r.isEmpty()) {
            parts.push_back(r);
        }
    }
    if (parts.empty()) {
        return;
    }
    auto copyRows = [dc, shift](const QImage& from, QPoint fromOrigin, const QRect& r) {
        // Rows in the order that never reads a row already written: upward moves go top down,
        // downward moves bottom up; within a row memmove takes care of the overlap.
        const bool bottomUp = shift.y() > 0;
        for (int i = 0; i < r.height(); ++i) {
            const int y = bottomUp ? r.bottom() - i : r.top() + i;
            const QRgb* in =
                reinterpret_cast<const QRgb*>(from.constScanLine(y - shift.y() - fromOrigin.y())) +
                (r.left() - shift.x() - fromOrigin.x());
            QRgb* out = dc->Row(y) + r.left();
            std::memmove(out, in, static_cast<size_t>(r.width()) * sizeof(QRgb));
        }
        dc->MarkChanged(r);
    };
    if (parts.size() == 1) {
        // One destination rectangle (the graph's scroll): moved in place, no copy of the block.
        copyRows(*dc->image, QPoint(0, 0), parts.front());
        return;
    }
    // Several: one part's move could overwrite pixels another part still has to read, so the
    // source is copied first and every part reads the pixels as they were.
    const QImage block = dc->image->copy(source);
    for (const QRect& r : parts) {
        copyRows(block, source.topLeft(), r);
    }
}

// Fills the pixels of to outside covered with the nearest pixel of covered, within the clip.
void RepeatEdges(DeviceContextObject* dc, const QRect& covered, const QRect& to) {
    const QRect area = to & dc->image->rect();
    if (covered.isEmpty() || covered == area) {
        return;
    }
    auto repeat = [dc, &covered](int x, int y) {
        const QRgb colour = dc->Row(std::clamp(
            y, covered.top(), covered.bottom()))[std::clamp(x, covered.left(), covered.right())];
        if (InClip(dc, x, y) && dc->Row(y)[x] != colour) {
            dc->Row(y)[x] = colour;
            dc->MarkChanged(x, y);
        }
    };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        if (y < covered.top() || y > covered.bottom()) {
            for (int x = area.left(); x <= area.right(); ++x) {
                repeat(x, y);
            }
            continue;
        }
        for (int x = area.left(); x < covered.left(); ++x) {
            repeat(x, y);
        }
        for (int x = covered.right() + 1; x <= area.right(); ++x) {
            repeat(x, y);
        }
    }
}

}  // namespace

void BitBlt(DeviceContext dc, int dstX, int dstY, int width, int height, int srcX, int srcY) {
    // A page is drawn, not kept as pixels: there is nothing to copy from.
    if (dc == nullptr || width <= 0 || height <= 0 || OnPage(dc)) {
        return;
    }
    MoveBlock(dc, QRect(srcX, srcY, width, height), QPoint(dstX - srcX, dstY - srcY));
    // On the scaled image the block lands on the device pixels of its logical destination and is
    // moved by whole device pixels: the ratio's multiple of the move, with a fractional part
    // carried over to the next transfer (see ScaledImage).
    if (DeviceContextObject* scaled = dc->scaled) {
        MoveCarry kept;
        const DeviceBlockMove m = ScaledBlockMove(
            scaled->ratio, FromQRect(scaled->image->rect()), dstX, dstY, width, height, srcX, srcY,
            scaled->scrollCarry != nullptr ? *scaled->scrollCarry : kept);
        MoveBlock(scaled, ToQRect(m.source), QPoint(m.moveX, m.moveY));
        RepeatEdges(scaled, ToQRect(m.covered), ToQRect(m.target));
    }
}

}  // namespace platform
