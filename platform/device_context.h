// Painting for the system code, in the manner of a classic device context: selected font, pen
// and brush; lines that exclude their end point; aligned text cells with an opaque background;
// outlined and filled rectangles; a block transfer inside the same surface. A window's drawing is
// clipped to the paint's update region and lands in its client image; a printed page's drawing
// goes to the printer under a logical mapping.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace platform {

struct DeviceContextObject;
using DeviceContext = DeviceContextObject*;
struct FontObject;
using FontHandle = FontObject*;
struct PenObject;
using PenHandle = PenObject*;
struct BrushObject;
using BrushHandle = BrushObject*;

// Text alignment flags, combined with |.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignRight = 2;
inline constexpr int kAlignCenter = 6;
inline constexpr int kAlignTop = 0;
inline constexpr int kAlignBottom = 8;

// height is the character cell height in pixels; weight 400 normal, 700 bold; variable pitch in
// the system's default face.
FontHandle CreateFont(int height, int weight);
// The same in a fixed-pitch modern face, for text laid out in columns (the printed listing).
FontHandle CreateFixedPitchFont(int height, int weight);
void DeleteFont(FontHandle font);
PenHandle CreatePen(int width, uint32_t rgb);
void DeletePen(PenHandle pen);
BrushHandle CreateSolidBrush(uint32_t rgb);
void DeleteBrush(BrushHandle brush);

// Starts painting the window's accumulated update region (sends EraseBackground first when an
// erase was requested); EndPaint shows the result and empties the region.
DeviceContext BeginPaint(WindowHandle window);
void EndPaint(WindowHandle window, DeviceContext dc);
// A context on the whole client area outside of a paint (the image is shown on release).
DeviceContext GetDC(WindowHandle window);
void ReleaseDC(WindowHandle window, DeviceContext dc);
// The bounding rectangle of the region being painted.
Rect GetUpdateRect(DeviceContext dc);

// The drawing surface in device pixels: the client image, or a page's printable area.
int GetDeviceWidth(DeviceContext dc);
int GetDeviceHeight(DeviceContext dc);
// Page contexts: logical coordinates 0..windowExt map onto device pixels 0..viewportExt, x and y
// scaled independently (so logical units need not be square). Lines, texts, font heights and pen
// widths all scale. A window context ignores the mapping and draws in pixels.
void SetAnisotropicMapping(DeviceContext dc, int windowExtX, int windowExtY, int viewportExtX,
                           int viewportExtY);

// Each Select returns what was selected before, so it can be restored. A fresh context has a
// black 1-pixel pen, a white brush, a system font, left/top alignment, white background colour.
FontHandle SelectFont(DeviceContext dc, FontHandle font);
PenHandle SelectPen(DeviceContext dc, PenHandle pen);
BrushHandle SelectBrush(DeviceContext dc, BrushHandle brush);
int SetTextAlign(DeviceContext dc, int align);
uint32_t SetBkColor(DeviceContext dc, uint32_t rgb);

// Outline with the pen over left..right-1, top..bottom-1, interior filled with the brush.
void Rectangle(DeviceContext dc, int left, int top, int right, int bottom);
void MoveTo(DeviceContext dc, int x, int y);
// Draws from the current position to (x, y), excluding (x, y), which becomes the position.
void LineTo(DeviceContext dc, int x, int y);
// Text in black on an opaque cell of the background colour, placed by the alignment.
void TextOut(DeviceContext dc, int x, int y, const char* text, int length);
// Copies the width x height block at (srcX, srcY) to (dstX, dstY) in the same surface, as the
// pixels were before the copy (overlap allowed).
void BitBlt(DeviceContext dc, int dstX, int dstY, int width, int height, int srcX, int srcY);

}  // namespace platform
