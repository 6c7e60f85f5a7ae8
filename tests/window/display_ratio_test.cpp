// The picture at the display's device pixel ratio (CTest runs these at 100 %, 150 % and 200 %):
// the graph moved by block transfers stays where the 1:1 picture has it, and texts are drawn at
// the display's resolution, not enlarged.
#include <QImage>
#include <cmath>

#include "platform/qt/image_context.h"
#include "window_fixture.h"

class DisplayRatio : public KvxWindowTest {
  protected:
    QImage Shot() {
        const std::string path = dir / "shot.png";
        EXPECT_TRUE(platform::SaveClientImage(window, path.c_str()));
        return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(DisplayRatio, GraphKeepsItsPlaceAndTextsAreNotEnlarged) {
    settings.rollIndex.store(0);  // one sample per measurement message
    ASSERT_NE(Start(), nullptr);
    const double r = platform::ClientWidget(window)->devicePixelRatioF();
    auto d = [r](int logical) { return platform::DevicePixel(r, logical); };
    // The whole client area, rounded as Qt rounds a widget's size in device pixels.
    ASSERT_EQ(Shot().size(), QSize(static_cast<int>(std::lround(kClientWidth * r)),
                                   static_cast<int>(std::lround(kClientHeight * r))));
    // A zigzag of unequal steps, each sample painted on its own: one block transfer apiece.
    for (int i = 0; i < 90; ++i) {
        Feed({static_cast<uint16_t>(10 + (i * 37) % 85)});
        TickAndPaint(20);
    }
    // Each logical row's curve starts where the 1:1 image has it, scaled: the picture has moved
    // by the ratio per logical pixel without drifting (a step at a fractional ratio is a device
    // pixel more or less). Checked on the running picture and on its redraw from history.
    const QRgb blue = qRgb(0, 0, 255);
    auto expectTracksLogical = [&](const QImage& image) {
        int rows = 0;
        for (int y = 96; y < 295; ++y) {
            int logical = 365;
            while (logical < 866 &&
                   platform::GetClientPixel(window, logical, y) != platform::Rgb(0, 0, 255)) {
                ++logical;
            }
            if (logical == 866) {
                continue;
            }
            int device = d(365);
            while (device < d(866) && image.pixel(device, d(y)) != blue) {
                ++device;
            }
            ASSERT_LE(std::abs(device - d(logical)), std::ceil(r)) << y;
            ++rows;
        }
        EXPECT_GT(rows, 150);
    };
    const QImage running = Shot();
    expectTracksLogical(running);
    // Nothing but the curve on the background has moved into the block, not even at a
    // fractional ratio, whose moves are a device pixel longer than a logical one in turn.
    for (int y = d(96); y < d(295); ++y) {
        for (int x = d(365); x < d(866); ++x) {
            const QRgb p = running.pixel(x, y);
            ASSERT_TRUE(p == blue || p == qRgb(210, 210, 210)) << x << "," << y;
        }
    }
    platform::InvalidateRect(window, nullptr, true);  // an exposure: redrawn from history
    platform::UpdateWindow(window);
    expectTracksLogical(Shot());
    // The labels are as high as at 1:1 times the ratio (the font is made for the display's
    // resolution, not taken at its 1:1 size): rows with ink, counted from the top of the panel.
    auto inkRows = [](int top, int bottom, int left, int right, auto isInk) {
        int rows = 0;
        for (int y = top; y < bottom; ++y) {
            int x = left;
            while (x < right && !isInk(x, y)) {
                ++x;
            }
            rows += x < right;
        }
        return rows;
    };
    const int logicalInk = inkRows(61, 324, 30, 180, [&](int x, int y) {
        return platform::GetClientPixel(window, x, y) == platform::Rgb(0, 0, 0);
    });
    const int deviceInk = inkRows(d(61), d(324), d(30), d(180), [&](int x, int y) {
        return running.pixel(x, y) == qRgb(0, 0, 0);
    });
    // Four labels, each allowed a logical pixel and a half: the face's heights round by size.
    EXPECT_NEAR(deviceInk, logicalInk * r, 6 * r);
    // At 200 % an enlarged text would repeat every pixel in 2 x 2 blocks; the labels' glyphs have
    // edges that step by single device pixels.
    if (r == 2) {
        int unevenBlocks = 0;
        for (int y = d(80); y < d(275); y += 2) {
            for (int x = d(30); x < d(180); x += 2) {
                const QRgb p = running.pixel(x, y);
                unevenBlocks += running.pixel(x + 1, y) != p || running.pixel(x, y + 1) != p ||
                                running.pixel(x + 1, y + 1) != p;
            }
        }
        EXPECT_GT(unevenBlocks, 100);
    }
}
