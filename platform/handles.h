// Opaque handles the platform hands to the system code, and the colour value convention
// (0x00BBGGRR, so RGB(210, 210, 210) is 13816530).
#pragma once

#include <cstdint>

namespace platform {

struct WindowObject;
using WindowHandle = WindowObject*;

constexpr uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r & 0xFF) | (static_cast<uint32_t>(g & 0xFF) << 8) |
           (static_cast<uint32_t>(b & 0xFF) << 16);
}

struct Rect {
    int left;
    int top;
    int right;   // exclusive
    int bottom;  // exclusive
};

}  // namespace platform
