// What the back ends' screen-dump bitmaps share: the description, the display depth a bitmap
// stores, the 16-colour palette, and the rows in a bitmap file's layout (bottom row first,
// blue-green-red, padded to 4 bytes) from a picture kept as 0x..RRGGBB rows from the top.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/bitmap.h"

namespace platform {

// The colours of a 16-colour display, in its palette order (0x00RRGGBB).
extern const uint32_t kSixteenColours[16];

// The display's depth as a bitmap stores its pixels: a 15-bit display keeps 16 bits a pixel and a
// 30-bit one 32, the sizes a bitmap file knows.
int StoredDepth(int displayDepth);

void DescribeBitmap(int width, int height, uint16_t bitsPerPixel, BitmapDescription* out);

// The bit count the header at the start of info asks for when the request can be answered from a
// picture of width x height (a known depth, uncompressed, the picture's width, 1..height lines);
// 0 otherwise.
int RequestedDepth(const uint8_t* info, int width, int height, int lines);

// Fills the colour table after the header with table (0x00RRGGBB), at most 2^bits entries.
void StorePalette(uint8_t* info, int bits, const std::vector<uint32_t>& table);

// Writes `lines` rows from the bottom up into pixels. row(y) gives row y from the top as
// 0x..RRGGBB (the top byte is ignored); at 1, 4 and 8 bits index(x, y, pixel) gives the palette
// entry of a pixel.
void PackBitmapRows(int width, int height, int bits, int lines, uint8_t* pixels,
                    const std::function<const uint32_t*(int y)>& row,
                    const std::function<int(int x, int y, uint32_t pixel)>& index);

}  // namespace platform
