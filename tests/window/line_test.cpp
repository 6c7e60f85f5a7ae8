// Horizontal and vertical lines take a faster path than other lines; they must still set exactly
// the pixels from the start point up to the end point, inside the clip and nowhere else.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <algorithm>
#include <climits>

#include "platform/device_context.h"
#include "platform/qt/image_context.h"

using namespace platform;

TEST(StraightLine, SetsTheSpanUpToTheEndPointInsideTheClipOnly) {
    const struct {
        int x0, y0, x1, y1;
    } lines[] = {
        {2, 5, 30, 5},
        {30, 5, 2, 5},
        {7, 1, 7, 19},
        {7, 19, 7, 1},
        {-9, 12, 50, 12},
        {20, -40, 20, 90},
        {INT_MIN, 3, INT_MAX, 3},
        {5, 5, 5, 5},
        {0, 0, 31, 0},
        {31, 19, 31, 0},
    };
    // Two rectangles with a gap between them, as a paint region of two invalidations gives.
    const QRegion clip = QRegion(0, 0, 12, 20) + QRegion(16, 4, 16, 12);
    for (const auto& l : lines) {
        SCOPED_TRACE(testing::Message() << l.x0 << "," << l.y0 << " -> " << l.x1 << "," << l.y1);
        QImage image(32, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        DeviceContext dc = CreateImageContext(&image, clip);
        PenHandle pen = CreatePen(1, Rgb(0, 0, 0));
        SelectPen(dc, pen);
        MoveTo(dc, l.x0, l.y0);
        LineTo(dc, l.x1, l.y1);
        const QRect changed = ChangedArea(dc);
        DeleteImageContext(dc);
        DeletePen(pen);
        QRect expectedBox;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const long long lo = l.y0 == l.y1 ? std::min<long long>(l.x0, l.x1)
                                                  : std::min<long long>(l.y0, l.y1);
                const long long hi = l.y0 == l.y1 ? std::max<long long>(l.x0, l.x1)
                                                  : std::max<long long>(l.y0, l.y1);
                const long long end = l.y0 == l.y1 ? l.x1 : l.y1;
                const long long along = l.y0 == l.y1 ? x : y;
                const bool onLine = (l.y0 == l.y1 ? y == l.y0 : x == l.x0) && along >= lo &&
                                    along <= hi && along != end;
                const bool set = onLine && clip.contains(QPoint(x, y));
                if (set) {
                    expectedBox |= QRect(x, y, 1, 1);
                }
                ASSERT_EQ(image.pixel(x, y), set ? qRgb(0, 0, 0) : qRgb(255, 255, 255))
                    << "pixel " << x << "," << y;
            }
        }
        EXPECT_EQ(changed, expectedBox);
    }
}
