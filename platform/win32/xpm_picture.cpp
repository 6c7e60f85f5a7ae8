// Platform-private: XPM pictures read into pixels for the window icon and the dialogs' pictures.
#include "platform/win32/xpm_picture.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace platform {

namespace {

uint32_t ColourValue(const char* spec) {
    while (*spec == ' ' || *spec == '\t') {
        ++spec;
    }
    if (*spec != '#') {
        if (std::strncmp(spec, "None", 4) == 0 || std::strncmp(spec, "none", 4) == 0) {
            return 0;
        }
        return std::strncmp(spec, "white", 5) == 0 ? 0xFFFFFFFFu : 0xFF000000u;
    }
    const unsigned long value = std::strtoul(spec + 1, nullptr, 16);
    size_t digits = 0;
    while (std::isxdigit(static_cast<unsigned char>(spec[1 + digits]))) {
        ++digits;
    }
    if (digits == 3) {
        return 0xFF000000u | (((value >> 8) & 0xF) * 0x110000u) | (((value >> 4) & 0xF) * 0x1100u) |
               ((value & 0xF) * 0x11u);
    }
    return 0xFF000000u | (value & 0xFFFFFFu);
}

}  // namespace

bool ReadXpm(const char* const* xpm, XpmPicture* out) {
    int width = 0;
    int height = 0;
    int colours = 0;
    int perPixel = 0;
    if (xpm == nullptr || xpm[0] == nullptr ||
        std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 ||
        width <= 0 || height <= 0 || colours <= 0 || perPixel <= 0 || perPixel > 4) {
        return false;
    }
    const auto cpp = static_cast<size_t>(perPixel);
    std::vector<std::pair<std::string, uint32_t>> palette;
    for (int i = 1; i <= colours; ++i) {
        const char* line = xpm[i];
        if (line == nullptr || std::strlen(line) < cpp) {
            return false;
        }
        uint32_t colour = 0xFF000000u;
        for (const char* p = line + cpp; *p != 0; ++p) {
            if (*p == 'c' && (p[-1] == ' ' || p[-1] == '\t') && (p[1] == ' ' || p[1] == '\t')) {
                colour = ColourValue(p + 1);
                break;
            }
        }
        palette.emplace_back(std::string(line, cpp), colour);
    }
    std::vector<uint32_t> argb(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[1 + colours + y];
        if (row == nullptr || std::strlen(row) < static_cast<size_t>(width) * cpp) {
            return false;
        }
        for (int x = 0; x < width; ++x) {
            const char* key = row + static_cast<size_t>(x) * cpp;
            for (const auto& [chars, colour] : palette) {
                if (chars.compare(0, cpp, key, cpp) == 0) {
                    argb[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = colour;
                    break;
                }
            }
        }
    }
    *out = XpmPicture{width, height, std::move(argb)};
    return true;
}

}  // namespace platform
