#include "platform/common/pixel_grid.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace platform {

int DevicePixel(double scale, int logical) {
    return static_cast<int>(std::floor(logical * scale + 0.5));
}

Rect DeviceRect(double scale, const Rect& logical) {
    if (IsEmpty(logical)) {
        return Rect{0, 0, 0, 0};
    }
    return Rect{DevicePixel(scale, logical.left), DevicePixel(scale, logical.top),
                DevicePixel(scale, logical.right), DevicePixel(scale, logical.bottom)};
}

bool IsEmpty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

Rect Intersect(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return IsEmpty(a) || IsEmpty(b) || IsEmpty(r) ? Rect{0, 0, 0, 0} : r;
}

Rect Offset(const Rect& r, int dx, int dy) {
    return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

std::optional<Rect> OrderedRect(int left, int top, int right, int bottom) {
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    if (right - left <= 0 || bottom - top <= 0) {
        return std::nullopt;
    }
    return Rect{left, top, right, bottom};
}

std::array<Rect, 5> RectangleParts(const Rect& r) {
    return {Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1},
            Rect{r.left, r.top, r.right, r.top + 1}, Rect{r.left, r.bottom - 1, r.right, r.bottom},
            Rect{r.left, r.top, r.left + 1, r.bottom}, Rect{r.right - 1, r.top, r.right, r.bottom}};
}

Rect StraightLinePixels(int x0, int y0, int x1, int y1, int limit) {
    if (x0 == x1 && y0 == y1) {
        return Rect{0, 0, 0, 0};
    }
    // Widened to 64 bits: the pixel before a far end point must not overflow.
    auto span = [](long long from, long long to) {
        const long long end = to > from ? to - 1 : to + 1;
        return std::pair<long long, long long>(std::min(from, end), std::max(from, end));
    };
    auto keep = [limit](long long v) {
        return static_cast<int>(std::clamp<long long>(v, -2, limit));
    };
    long long left = x0, right = x0, top = y0, bottom = y0;
    if (y0 == y1) {
        std::tie(left, right) = span(x0, x1);
    } else {
        std::tie(top, bottom) = span(y0, y1);
    }
    return Rect{keep(left), keep(top), keep(right) + 1, keep(bottom) + 1};
}

DeviceBlockMove ScaledBlockMove(double scale, const Rect& surface, int dstX, int dstY, int width,
                                int height, int srcX, int srcY, MoveCarry& carry) {
    const double exactX = (dstX - srcX) * scale + carry.x;
    const double exactY = (dstY - srcY) * scale + carry.y;
    DeviceBlockMove m{};
    m.moveX = static_cast<int>(std::floor(exactX + 0.5));
    m.moveY = static_cast<int>(std::floor(exactY + 0.5));
    carry.x = exactX - m.moveX;
    carry.y = exactY - m.moveY;
    const Rect from = DeviceRect(scale, Rect{srcX, srcY, srcX + width, srcY + height});
    const Rect to = DeviceRect(scale, Rect{dstX, dstY, dstX + width, dstY + height});
    m.source = Intersect(Intersect(from, Offset(to, -m.moveX, -m.moveY)), surface);
    m.covered = Intersect(Offset(Intersect(from, surface), m.moveX, m.moveY), to);
    m.target = Intersect(to, surface);
    return m;
}

}  // namespace platform
