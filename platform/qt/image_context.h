// Platform-private: the device context's drawing primitives on any image (the window's client
// image, and any other picture the platform draws, such as a printed page), and the conversion
// between the program's colour values and Qt's pixels.
#pragma once

#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <cstdint>

#include "platform/common/pixel_grid.h"
#include "platform/device_context.h"

namespace platform {

QRgb ToQRgb(uint32_t rgb);
uint32_t FromQRgb(QRgb pixel);

// The client image as the display shows it, at its device pixel ratio, beside the 1:1 image that
// the program's coordinates, the pixel reads and the screen dump use; its pixels are placed by the
// rule of platform/common/pixel_grid.h. Empty (no image) at ratio 1, where only the 1:1 image is
// kept.
struct ScaledImage {
    QImage image;
    double ratio = 1.0;
    MoveCarry scrollCarry;  // of the block transfers on this image
};

QRect DeviceRect(double ratio, const QRect& logical);
// The logical pixels that cover a device rectangle (the inverse of DeviceRect, rounded outwards).
QRect LogicalRect(double ratio, const QRect& device);

// A fresh context drawing onto image, clipped to the part of clip that lies on the image, and,
// when scaled holds an image, the same drawing at its ratio onto that. The images must outlive
// the context.
DeviceContext CreateImageContext(QImage* image, const QRegion& clip, ScaledImage* scaled = nullptr);
// A fresh context drawing through painter onto device (a printed page), under the logical
// mapping that SetAnisotropicMapping sets; drawing waits until the painter is active. Deleted
// like an image context.
DeviceContext CreatePainterContext(QPainter* painter, QPaintDevice* device);
void DeleteImageContext(DeviceContext dc);

// Fills the part of region that lies on the image, exactly on pixel boundaries. Returns the
// bounds of the pixels it changed (empty when all had the colour already).
QRect FillRegion(QImage* image, const QRegion& region, uint32_t rgb, ScaledImage* scaled = nullptr);
// The Qt face a font handle draws with (chosen at first use; tests compare glyphs with it).
QFont ResolvedFont(FontHandle font);
// Bounds of every pixel the context has changed so far (empty: the image is as it was), so that
// a paint that changed nothing need not be shown again. Logical pixels; changes of the scaled
// image are counted as the logical pixels that cover them.
QRect ChangedArea(DeviceContext dc);

}  // namespace platform
