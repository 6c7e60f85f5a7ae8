// Platform-private: device contexts on GDI. The window draws through one on the memory DC that
// holds its client image (a DIB section), the printer through one on the printer's DC; both are
// the same drawing code.
#pragma once

#include "platform/device_context.h"
#include "platform/win32/win32.h"

namespace platform {

// A context drawing on hdc, which stays the caller's. update is the region being painted (the
// whole surface outside a paint); width and height the surface in device pixels. A window's
// context draws in its logical pixels scaled by scale (the monitor's DPI / 96), by the rule of
// platform/common/pixel_grid.h: update is in logical pixels then, and GetDeviceWidth/Height give
// the surface in logical pixels, as the program's coordinates are. A printer's (printer = true)
// takes SetAnisotropicMapping; its update is the whole page.
DeviceContext WrapDC(HDC hdc, const Rect& update, int width, int height, double scale,
                     bool printer);
// Restores the objects the context selected into its DC and frees the context, not the DC.
void UnwrapDC(DeviceContext dc);
HDC NativeDC(DeviceContext dc);

}  // namespace platform
