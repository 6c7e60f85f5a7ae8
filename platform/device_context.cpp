// Stub: painting comes with the window work.
#include "platform/device_context.h"

namespace platform {

FontHandle CreateFont(int, int) { return nullptr; }
void DeleteFont(FontHandle) {}
PenHandle CreatePen(int, uint32_t) { return nullptr; }
void DeletePen(PenHandle) {}
BrushHandle CreateSolidBrush(uint32_t) { return nullptr; }
void DeleteBrush(BrushHandle) {}
DeviceContext BeginPaint(WindowHandle) { return nullptr; }
void EndPaint(WindowHandle, DeviceContext) {}
Rect GetUpdateRect(DeviceContext) { return Rect{0, 0, 0, 0}; }
FontHandle SelectFont(DeviceContext, FontHandle) { return nullptr; }
PenHandle SelectPen(DeviceContext, PenHandle) { return nullptr; }
BrushHandle SelectBrush(DeviceContext, BrushHandle) { return nullptr; }
int SetTextAlign(DeviceContext, int) { return 0; }
uint32_t SetBkColor(DeviceContext, uint32_t) { return 0; }
void Rectangle(DeviceContext, int, int, int, int) {}
void MoveTo(DeviceContext, int, int) {}
void LineTo(DeviceContext, int, int) {}
void TextOut(DeviceContext, int, int, const char*, int) {}
void BitBlt(DeviceContext, int, int, int, int, int, int) {}

}  // namespace platform
