// Platform-private: the device context's drawing primitives on any image (the window's client
// image, and any other picture the platform draws, such as a printed page), and the conversion
// between the program's colour values and Qt's pixels.
#pragma once

#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRegion>
#include <cstdint>

#include "platform/device_context.h"

namespace platform {

QRgb ToQRgb(uint32_t rgb);
uint32_t FromQRgb(QRgb pixel);

// A fresh context drawing onto image, clipped to the part of clip that lies on the image. The
// image must outlive the context.
DeviceContext CreateImageContext(QImage* image, const QRegion& clip);
// A fresh context drawing through painter onto device (a printed page), under the logical
// mapping that SetAnisotropicMapping sets; drawing waits until the painter is active. Deleted
// like an image context.
DeviceContext CreatePainterContext(QPainter* painter, QPaintDevice* device);
void DeleteImageContext(DeviceContext dc);

// Fills the part of region that lies on the image, exactly on pixel boundaries. Returns the
// bounds of the pixels it changed (empty when all had the colour already).
QRect FillRegion(QImage* image, const QRegion& region, uint32_t rgb);
// The Qt face a font handle draws with (chosen at first use; tests compare glyphs with it).
QFont ResolvedFont(FontHandle font);
// Bounds of every pixel the context has changed so far (empty: the image is as it was), so that
// a paint that changed nothing need not be shown again.
QRect ChangedArea(DeviceContext dc);

}  // namespace platform
