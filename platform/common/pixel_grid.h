// How a window's logical pixels land on the device pixels of a display at any scale, and the pixel
// geometry of lines, rectangles and block transfers: pure logic, shared by the back ends so that
// both put every pixel of a picture in the same place.
#pragma once

#include <array>
#include <cstdlib>
#include <optional>

#include "platform/handles.h"

namespace platform {

// One logical pixel x at scale covers the device columns DevicePixel(scale, x) up to
// DevicePixel(scale, x + 1), so areas drawn side by side tile without gaps at any scale. At a
// fractional scale (1.5) logical pixels are alternately one and two device pixels wide: positions
// round to the nearest device pixel, halves up, as Qt rounds its own widgets' positions.
int DevicePixel(double scale, int logical);
// The device pixels of a logical rectangle; an empty one gives {0, 0, 0, 0}.
Rect DeviceRect(double scale, const Rect& logical);

bool IsEmpty(const Rect& r);
// Empty ({0, 0, 0, 0}) when the two do not overlap.
Rect Intersect(const Rect& a, const Rect& b);
Rect Offset(const Rect& r, int dx, int dy);

// A rectangle given by two corners in any order, or nothing when it covers no pixel.
std::optional<Rect> OrderedRect(int left, int top, int right, int bottom);
// A drawn rectangle's parts, filled in this order: the interior (the brush's, empty when the
// rectangle is too small to have one), then the outline's top, bottom, left and right sides (the
// pen's, one pixel wide).
std::array<Rect, 5> RectangleParts(const Rect& r);

// The pixels a horizontal or vertical line covers from (x0, y0) up to, but not including,
// (x1, y1): empty when the two points are the same. Coordinates are kept within -2..limit, so that
// far ones cannot overflow once scaled; a limit past the surface leaves the picture unchanged.
Rect StraightLinePixels(int x0, int y0, int x1, int y1, int limit);

// Bresenham from (x, y) up to, but not including, (endX, endY): plot(x, y) for every point.
template <typename Plot>
void WalkLine(int x, int y, int endX, int endY, Plot plot) {
    const long long dx = std::llabs(static_cast<long long>(endX) - x);
    const long long dy = -std::llabs(static_cast<long long>(endY) - y);
    const int sx = x < endX ? 1 : -1;
    const int sy = y < endY ? 1 : -1;
    long long err = dx + dy;
    while (x != endX || y != endY) {
        plot(x, y);
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// A block transfer on a scaled picture moves by whole device pixels. At a fractional scale the
// part of a move not made yet is carried into the next transfer on the same picture, so a picture
// scrolled a logical pixel at a time moves by 1 and 2 device pixels in turn and keeps its place on
// average. One carry per picture, kept by the back end.
struct MoveCarry {
    double x = 0;
    double y = 0;
};

// A logical block transfer worked out in device pixels. Only pixels of the logical source are
// moved, and only into the logical destination: source (on the surface) goes to source moved by
// (moveX, moveY), landing on covered. A fractional scale can move a device pixel further than the
// source reaches (the graph's block beside its axis): the pixels of target outside covered are
// left over and repeat their nearest neighbour in covered.
struct DeviceBlockMove {
    Rect source;
    int moveX;
    int moveY;
    Rect covered;
    Rect target;  // the logical destination's device pixels, on the surface
};

DeviceBlockMove ScaledBlockMove(double scale, const Rect& surface, int dstX, int dstY, int width,
                                int height, int srcX, int srcY, MoveCarry& carry);

}  // namespace platform
