// Window captures as QImages. The rows handed out are converted here into the bitmap file's
// layout: bottom row first, blue-green-red byte order, rows padded to 4 bytes.
#include "platform/bitmap.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstring>
#include <vector>

#include "platform/qt/window_widgets.h"

namespace platform {

struct BitmapObject {
    QImage image;  // Format_RGB32
    uint16_t bitsPerPixel;
};

namespace {

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The colours of a 16-colour display, in its palette order.
const QList<QRgb>& SixteenColours() {
    static const QList<QRgb> table = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return table;
}

// The display's depth as a bitmap stores its pixels: a 15-bit display keeps 16 bits a pixel and
// a 30-bit one 32, the sizes a bitmap file knows.
int DisplayDepth(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    const int depth = screen != nullptr && screen->depth() > 0 ? screen->depth() : 32;
    for (int stored : {1, 4, 8, 16, 24}) {
        if (depth <= stored) {
            return stored;
        }
    }
    return 32;
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
    const int width = bitmap->image.width();
    out->width = width;
    out->height = bitmap->image.height();
    out->bytesPerRow = (width * bitmap->bitsPerPixel + 15) / 16 * 2;
    out->planes = 1;
    out->bitsPerPixel = bitmap->bitsPerPixel;
    return true;
}

int GetBitmapBits(BitmapHandle bitmap, int lines, uint8_t* pixels, uint8_t* info) {
    if (bitmap == nullptr || pixels == nullptr || info == nullptr || Get32(info) < 40) {
        return 0;
    }
    const QImage& image = bitmap->image;
    const int width = static_cast<int32_t>(Get32(info + 4));
    const int bits = Get16(info + 14);
    if (width != image.width() || lines <= 0 || lines > image.height() || Get32(info + 16) != 0) {
        return 0;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return 0;
    }
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
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
        uint8_t* entry = info + Get32(info);
        for (qsizetype i = 0; i < table.size() && i < (qsizetype{1} << bits); ++i) {
            entry[4 * i] = static_cast<uint8_t>(qBlue(table[i]));
            entry[4 * i + 1] = static_cast<uint8_t>(qGreen(table[i]));
            entry[4 * i + 2] = static_cast<uint8_t>(qRed(table[i]));
            entry[4 * i + 3] = 0;
        }
    }
    const int height = image.height();
    for (int line = 0; line < lines; ++line) {
        const int y = height - 1 - line;  // bottom row first
        uint8_t* out = pixels + stride * static_cast<size_t>(line);
        std::memset(out, 0, stride);
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = row[x];
            switch (bits) {
                case 32:
                    out[4 * x] = static_cast<uint8_t>(qBlue(p));
                    out[4 * x + 1] = static_cast<uint8_t>(qGreen(p));
                    out[4 * x + 2] = static_cast<uint8_t>(qRed(p));
                    break;
                case 24:
                    out[3 * x] = static_cast<uint8_t>(qBlue(p));
                    out[3 * x + 1] = static_cast<uint8_t>(qGreen(p));
                    out[3 * x + 2] = static_cast<uint8_t>(qRed(p));
                    break;
                case 16: {
                    const int v = (qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3;
                    out[2 * x] = static_cast<uint8_t>(v & 0xFF);
                    out[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                    break;
                }
                default: {
                    // Indices packed from the high bits of each byte.
                    const int index = indexed.pixelIndex(x, y);
                    const int perByte = 8 / bits;
                    const int shift = 8 - bits * (x % perByte + 1);
                    out[x / perByte] |= static_cast<uint8_t>(index << shift);
                    break;
                }
            }
        }
    }
    return lines;
}

}  // namespace platform
