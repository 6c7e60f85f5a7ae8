// Pictures of the main window for the screen dump: a capture as the user sees the window, its
// description (size, planes, bits per pixel of the display) and its pixels as device-independent
// rows, bottom row first, in the layout of a Windows bitmap file.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace platform {

struct BitmapObject;
using BitmapHandle = BitmapObject*;

struct BitmapDescription {
    int32_t width;
    int32_t height;
    int32_t bytesPerRow;  // of the bitmap as the display keeps it: rounded up to 2 bytes
    uint16_t planes;
    uint16_t bitsPerPixel;  // the display's depth
};

// The window's menu bar and client area, and its frame too where the display server lets the
// screen be read (then whatever covers the window is in the picture, as on the screen).
// nullptr when there is no such window.
BitmapHandle CaptureWindow(WindowHandle window);
// A bitmap of the given depth (tests of every depth a display may have): black, or the Rgb()
// values of rgb row by row from the top.
BitmapHandle CreateBitmap(int width, int height, int bitsPerPixel, const uint32_t* rgb = nullptr);
void DeleteBitmap(BitmapHandle bitmap);
// false when the handle holds no bitmap.
bool GetBitmapDescription(BitmapHandle bitmap, BitmapDescription* out);

// Reads `lines` rows from the bottom up into pixels, each row padded to a multiple of 4 bytes, in
// the bit count that the 40-byte little-endian header at the start of info asks for (1, 4, 8,
// 16 as 5-5-5, 24 or 32). For 1, 4 and 8 bits the colour table after the header receives the
// palette (blue, green, red, 0 per entry); for 16 bits and up the table is left as it is.
// Returns the number of rows read, 0 on failure.
int GetBitmapBits(BitmapHandle bitmap, int lines, uint8_t* pixels, uint8_t* info);

}  // namespace platform
