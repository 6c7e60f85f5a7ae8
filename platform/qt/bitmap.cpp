// Window captures as QImages. The rows handed out are converted here into the bitmap file's
// layout: bottom row first, blue-green-red byte order, rows padded to 4 bytes.
#include "platform/bitmap.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "platform/common/bitmap_rows.h"
#include "platform/qt/window_widgets.h"

namespace platform {

struct BitmapObject {
    QImage image;  // Format_RGB32
    uint16_t bitsPerPixel;
};

namespace {

// The colours of a 16-colour display, in its palette order.
const QList<QRgb>& SixteenColours() {
    static const QList<QRgb> table = [] {
        QList<QRgb> opaque;
        for (uint32_t rgb : kSixteenColours) {
            opaque.push_back(qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb)));
        }
        return opaque;
    }();
    return table;
}

int DisplayDepth(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    return StoredDepth(screen != nullptr && screen->depth() > 0 ? screen->depth() : 32);
}

// At a display ratio other than 1 the bitmap still holds one pixel per logical pixel, as its
// header says: the window renders itself at 1:1 (menu bar, the 1:1 client image, buttons) over its
// frame as the screen shows it, reduced to that scale. What covers the client area is not in the
// picture then; the frame keeps what covers it.
QImage LogicalPicture(QWidget* top) {
    QImage own(top->size(), QImage::Format_RGB32);
    own.fill(top->palette().window().color());
    top->render(&own);
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !top->isVisible()) {
        return own;
    }
    const QRect frame = top->frameGeometry();
    QScreen* screen = top->screen();
    if (screen == nullptr) {
        return own;
    }
    const QRect onScreen = frame.translated(-screen->geometry().topLeft());
    QImage picture =
        screen->grabWindow(0, onScreen.x(), onScreen.y(), frame.width(), frame.height())
            .toImage()
            .scaled(frame.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    if (picture.size() != frame.size()) {
        return own;
    }
    picture.setDevicePixelRatio(1);
    QPainter(&picture).drawImage(top->geometry().topLeft() - frame.topLeft(), own);
    return picture;
}

}  // namespace

BitmapHandle CaptureWindow(WindowHandle window) {
    QWidget* top = WindowWidget(window);
    if (top == nullptr) {
        return nullptr;
    }
    // What the program drew last (the identity bar just refreshed) reaches the screen first.
    top->repaint();
    if (top->devicePixelRatioF() != 1.0) {
        return new BitmapObject{LogicalPicture(top), static_cast<uint16_t>(DisplayDepth(top))};
    }
    QImage picture;
    // Only an X server lets a program read the screen; there the frame comes with the picture.
    if (QGuiApplication::platformName() == QLatin1String("xcb") && top->isVisible()) {
        const QRect frame = top->frameGeometry();
        if (QScreen* screen = top->screen()) {
            const QRect onScreen = frame.translated(-screen->geometry().topLeft());
            picture =
                screen->grabWindow(0, onScreen.x(), onScreen.y(), frame.width(), frame.height())
                    .toImage();
            if (picture.size() != frame.size()) {
                picture = QImage();
            }
        }
    }
    // Elsewhere the window renders itself: menu bar, client area and its buttons.
    if (picture.isNull()) {
        picture = top->grab().toImage();
    }
    if (picture.isNull()) {
        return nullptr;
    }
    return new BitmapObject{picture.convertToFormat(QImage::Format_RGB32),
                            static_cast<uint16_t>(DisplayDepth(top))};
}

BitmapHandle CreateBitmap(int width, int height, int bitsPerPixel, const uint32_t* rgb) {
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0) {
        return nullptr;
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return nullptr;
    }
    image.fill(qRgb(0, 0, 0));
    for (int y = 0; rgb != nullptr && y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t v = rgb[static_cast<size_t>(y) * width + x];
            image.setPixel(x, y, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
        }
    }
    return new BitmapObject{image, static_cast<uint16_t>(bitsPerPixel)};
}

void DeleteBitmap(BitmapHandle bitmap) {
    delete bitmap;
}

bool GetBitmapDescription(BitmapHandle bitmap, BitmapDescription* out) {
    if (bitmap == nullptr || out == nullptr) {
        return false;
    }
    DescribeBitmap(bitmap->image.width(), bitmap->image.height(), bitmap->bitsPerPixel, out);
    return true;
}

int GetBitmapBits(BitmapHandle bitmap, int lines, uint8_t* pixels, uint8_t* info) {
    if (bitmap == nullptr || pixels == nullptr) {
        return 0;
    }
    const QImage& image = bitmap->image;
    const int bits = RequestedDepth(info, image.width(), image.height(), lines);
    if (bits == 0) {
        return 0;
    }
    // Palette depths: every pixel becomes the index of the nearest table colour.
    QImage indexed;
    if (bits <= 8) {
        if (bits == 1) {
            indexed = image.convertToFormat(
                QImage::Format_Indexed8, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, Qt::ThresholdDither);
        } else if (bits == 4) {
            indexed = image.convertToFormat(QImage::Format_Indexed8, SixteenColours(),
                                            Qt::ThresholdDither);
        } else {
            indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        }
        const QList<QRgb> table = indexed.colorTable();
        StorePalette(info, bits, std::vector<uint32_t>(table.begin(), table.end()));
    }
    PackBitmapRows(
        image.width(), image.height(), bits, lines, pixels,
        [&image](int y) { return reinterpret_cast<const uint32_t*>(image.constScanLine(y)); },
        [&indexed](int x, int y, uint32_t) { return indexed.pixelIndex(x, y); });
    return lines;
}

}  // namespace platform
