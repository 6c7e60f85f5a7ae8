// Placeholder: the Win32 screen capture is being built; this lets KVXMon.exe link until it lands.
#include "platform/bitmap.h"

namespace platform {

BitmapHandle CaptureWindow(WindowHandle) { return nullptr; }
BitmapHandle CreateBitmap(int, int, int, const uint32_t*) { return nullptr; }
void DeleteBitmap(BitmapHandle) {}
bool GetBitmapDescription(BitmapHandle, BitmapDescription*) { return false; }
int GetBitmapBits(BitmapHandle, int, uint8_t*, uint8_t*) { return 0; }

}  // namespace platform
