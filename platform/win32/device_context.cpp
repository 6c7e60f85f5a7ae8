// Placeholder: the Win32 device context is being built; this lets KVXMon.exe link until it lands.
#include "platform/device_context.h"
#include "platform/win32/gdi_context.h"

namespace platform {

DeviceContext WrapDC(HDC, const Rect&, int, int, double, bool) { return nullptr; }
void UnwrapDC(DeviceContext) {}
HDC NativeDC(DeviceContext) { return nullptr; }
FontHandle CreateFont(int, int) { return nullptr; }
FontHandle CreateFixedPitchFont(int, int) { return nullptr; }
void DeleteFont(FontHandle) {}
PenHandle CreatePen(int, uint32_t) { return nullptr; }
void DeletePen(PenHandle) {}
BrushHandle CreateSolidBrush(uint32_t) { return nullptr; }
void DeleteBrush(BrushHandle) {}
Rect GetUpdateRect(DeviceContext) { return {0, 0, 0, 0}; }
int GetDeviceWidth(DeviceContext) { return 0; }
int GetDeviceHeight(DeviceContext) { return 0; }
void SetAnisotropicMapping(DeviceContext, int, int, int, int) {}
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
