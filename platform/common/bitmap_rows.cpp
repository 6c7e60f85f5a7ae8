#include "platform/common/bitmap_rows.h"

#include <cstring>

namespace platform {

const uint32_t kSixteenColours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                      0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                      0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

namespace {

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

int StoredDepth(int displayDepth) {
    for (int stored : {1, 4, 8, 16, 24}) {
        if (displayDepth <= stored) {
            return stored;
        }
    }
    return 32;
}

void DescribeBitmap(int width, int height, uint16_t bitsPerPixel, BitmapDescription* out) {
    out->width = width;
    out->height = height;
    out->bytesPerRow = (width * bitsPerPixel + 15) / 16 * 2;
    out->planes = 1;
    out->bitsPerPixel = bitsPerPixel;
}

int RequestedDepth(const uint8_t* info, int width, int height, int lines) {
    if (info == nullptr || Get32(info) < 40) {
        return 0;
    }
    const int bits = Get16(info + 14);
    if (static_cast<int32_t>(Get32(info + 4)) != width || lines <= 0 || lines > height ||
        Get32(info + 16) != 0) {
        return 0;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return 0;
    }
    return bits;
}

void StorePalette(uint8_t* info, int bits, const std::vector<uint32_t>& table) {
    uint8_t* entry = info + Get32(info);
    for (size_t i = 0; i < table.size() && i < (size_t{1} << bits); ++i) {
        entry[4 * i] = static_cast<uint8_t>(table[i]);
        entry[4 * i + 1] = static_cast<uint8_t>(table[i] >> 8);
        entry[4 * i + 2] = static_cast<uint8_t>(table[i] >> 16);
        entry[4 * i + 3] = 0;
    }
}

void PackBitmapRows(int width, int height, int bits, int lines, uint8_t* pixels,
                    const std::function<const uint32_t*(int y)>& row,
                    const std::function<int(int x, int y, uint32_t pixel)>& index) {
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    for (int line = 0; line < lines; ++line) {
        const int y = height - 1 - line;  // bottom row first
        uint8_t* out = pixels + stride * static_cast<size_t>(line);
        std::memset(out, 0, stride);
        const uint32_t* from = row(y);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = from[x];
            const uint8_t r = static_cast<uint8_t>(p >> 16);
            const uint8_t g = static_cast<uint8_t>(p >> 8);
            const uint8_t b = static_cast<uint8_t>(p);
            switch (bits) {
                case 32:
                    out[4 * x] = b;
                    out[4 * x + 1] = g;
                    out[4 * x + 2] = r;
                    break;
                case 24:
                    out[3 * x] = b;
                    out[3 * x + 1] = g;
                    out[3 * x + 2] = r;
                    break;
                case 16: {
                    const int v = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
                    out[2 * x] = static_cast<uint8_t>(v & 0xFF);
                    out[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                    break;
                }
                default: {
                    // Indices packed from the high bits of each byte.
                    const int perByte = 8 / bits;
                    const int shift = 8 - bits * (x % perByte + 1);
                    out[x / perByte] |= static_cast<uint8_t>(index(x, y, p) << shift);
                    break;
                }
            }
        }
    }
}

}  // namespace platform
