#include "output/screen_dump.h"

#include <cstdlib>
#include <cstring>

#include "link/protocol.h"
#include "output/identity_line.h"
#include "platform/device_context.h"
#include "platform/file.h"
#include "platform/file_dialog.h"
#include "records/language.h"
#include "records/window_state.h"

namespace {

constexpr int kCaption = 35;
constexpr int kHeaderSize = 40;
constexpr int kFileHeaderSize = 14;
// Linux paths may be far longer than the 256 characters a classic dialog allowed.
constexpr int kPathSize = 4096;

void* Allocate(size_t size) {
    return std::calloc(1, size);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int ColourDepth(uint16_t planes, uint16_t bitsPerPixel) {
    const uint16_t p = static_cast<uint16_t>(planes * bitsPerPixel);
    if (p == 1) {
        return 1;
    }
    if (p <= 4) {
        return 4;
    }
    if (p <= 8) {
        return 8;
    }
    if (p <= 16) {
        return 16;
    }
    return p <= 24 ? 24 : 32;
}

// The bar above the panel drawn as the paint draws it, so the picture shows the identity as it
// is now.
void RefreshIdentityBar(platform::WindowHandle window) {
    platform::DeviceContext dc = platform::GetDC(window);
    if (dc == nullptr || displayObjects.panelBrush == nullptr) {
        platform::ReleaseDC(window, dc);
        return;
    }
    platform::BrushHandle oldBrush = platform::SelectBrush(dc, displayObjects.panelBrush);
    platform::Rectangle(dc, 25, 15, 935, 50);
    platform::SelectBrush(dc, oldBrush);
    const int oldAlign = platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignBottom);
    platform::FontHandle oldFont = platform::SelectFont(dc, displayObjects.valueFont);
    const uint32_t oldBk = platform::SetBkColor(dc, kPanelColour);
    char line[kIdentityLineSize];
    BuildIdentityLine(liveValues.measurement.load(std::memory_order_relaxed), line);
    platform::TextOut(dc, 35, 45, line, static_cast<int>(std::strlen(line)));
    platform::SetTextAlign(dc, oldAlign);
    platform::SelectFont(dc, oldFont);
    platform::SetBkColor(dc, oldBk);
    platform::ReleaseDC(window, dc);
}

// 0 with the replacement for the chosen file open, 0 without one when the user cancelled, or the
// error code.
uint32_t ChooseBitmapFile(platform::WindowHandle owner, platform::FileHandle* file) {
    *file = nullptr;
    const platform::FileDialogSpec bitmapFiles{"Bitmap File (*.bmp)", "*.bmp", "bmp", true, false};
    char path[kPathSize];
    const uint32_t result = platform::ShowFileDialog(owner, platform::FileDialogKind::Save,
                                                     bitmapFiles, path, kPathSize);
    if (result != 0 || path[0] == '\0') {
        return result;
    }
    const platform::FileOpenResult opened = platform::BeginReplaceFile(path);
    if (opened.file == nullptr) {
        return static_cast<uint32_t>(opened.error != 0 ? opened.error : 1);
    }
    *file = opened.file;
    return 0;
}

}  // namespace

uint8_t* BuildBitmapInfo(platform::WindowHandle owner, platform::BitmapHandle bitmap) {
    platform::BitmapDescription bm{};
    if (!platform::GetBitmapDescription(bitmap, &bm)) {
        ShowSlotMessage(owner, 94, kCaption, 0);
        return nullptr;
    }
    const int d = ColourDepth(bm.planes, bm.bitsPerPixel);
    const uint32_t colours = d < 24 ? 1u << d : 0;
    auto* info = static_cast<uint8_t*>(Allocate(kHeaderSize + 4 * static_cast<size_t>(colours)));
    // Without the block there is nothing to describe the pixels with: nothing is written.
    if (info == nullptr) {
        ShowSlotMessage(owner, 93, kCaption, 0);
        return nullptr;
    }
    const uint32_t rowBytes = ((static_cast<uint32_t>(bm.width) * d + 31) & ~31u) / 8;
    Put32(info, kHeaderSize);
    Put32(info + 4, static_cast<uint32_t>(bm.width));
    Put32(info + 8, static_cast<uint32_t>(bm.height));
    Put16(info + 12, bm.planes);
    Put16(info + 14, bm.bitsPerPixel);
    Put32(info + 16, 0);  // uncompressed
    Put32(info + 20, rowBytes * static_cast<uint32_t>(bm.height));
    Put32(info + 32, colours);
    return info;
}

void FreeBitmapInfo(uint8_t* info) {
    std::free(info);
}

void WriteBitmapFile(platform::WindowHandle owner, uint8_t* info, platform::BitmapHandle bitmap) {
    if (info == nullptr) {
        return;
    }
    const uint32_t sizeImage = Get32(info + 20);
    const uint32_t colours = Get32(info + 32);
    // The pixels are read before the file is chosen: a failure here then leaves no empty file
    // behind, and never empties a file the user chose to replace.
    auto* pixels = static_cast<uint8_t*>(Allocate(sizeImage));
    if (pixels == nullptr) {
        ShowSlotMessage(owner, 93, kCaption, 0);
        FreeBitmapInfo(info);
        return;
    }
    if (platform::GetBitmapBits(bitmap, static_cast<int>(Get32(info + 8)), pixels, info) == 0) {
        ShowSlotMessage(owner, 95, kCaption, 0);
        std::free(pixels);
        FreeBitmapInfo(info);
        return;
    }
    platform::FileHandle file = nullptr;
    const uint32_t result = ChooseBitmapFile(owner, &file);
    if (result != 0) {
        ShowSlotMessage(owner, 97, kCaption, static_cast<int32_t>(result));
    }
    if (file != nullptr) {
        const uint32_t offset = kFileHeaderSize + kHeaderSize + 4 * colours;
        uint8_t header[kFileHeaderSize] = {'B', 'M'};
        Put32(header + 2, offset + sizeImage);
        Put32(header + 10, offset);
        const struct {
            const void* data;
            uint32_t size;
        } parts[] = {
            {header, kFileHeaderSize}, {info, offset - kFileHeaderSize}, {pixels, sizeImage}};
        bool written = true;
        for (const auto& part : parts) {
            const int size = static_cast<int>(part.size);
            if (platform::WriteFile(file, part.data, size) != size) {
                ShowSlotMessage(owner, 98, kCaption, 0);
                written = false;
            }
        }
        // A file chosen to be replaced keeps its old picture unless the new one was stored whole.
        // Storing it is the last write: when that fails, the picture has not reached the disc.
        if (!written) {
            platform::AbandonReplaceFile(file);
        } else if (platform::CommitReplaceFile(file) != 0) {
            ShowSlotMessage(owner, 98, kCaption, 0);
        }
    }
    std::free(pixels);
    FreeBitmapInfo(info);
}

void RunScreenDumpCommand(platform::WindowHandle owner) {
    RefreshIdentityBar(owner);
    platform::BitmapHandle bitmap = platform::CaptureWindow(owner);
    WriteBitmapFile(owner, BuildBitmapInfo(owner, bitmap), bitmap);
    platform::DeleteBitmap(bitmap);
}
