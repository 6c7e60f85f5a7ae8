// Platform-private: the program's pictures (the window icon, the About box's logo) come as XPM
// data; Windows has no reader for it, so the window and the dialogs share this one.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

struct XpmPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;  // 0xAARRGGBB row by row from the top; alpha 0 where "None"
};

// Reads "<width> <height> <colours> <chars per pixel>", one line per colour ("<chars> c #RRGGBB",
// "#RGB", "white", "black" or "None"), then the rows. false, with nothing read, for data that is
// no whole picture (a bad header, a missing colour line, a short row): a picture with holes is
// not shown at all rather than shown wrong.
bool ReadXpm(const char* const* xpm, XpmPicture* out);

}  // namespace platform
