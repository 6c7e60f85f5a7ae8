// What the platform puts on screen after a paint, and the block transfer that moves pixels in
// place: a paint that changed no pixel is not shown again, one that did is shown where it
// changed, and a transfer moves exactly the pixels a copy would in every direction and clip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/image_context.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "platform/window_widgets.h"

using namespace platform;

namespace {

std::function<void(DeviceContext)> paintBody;

bool Procedure(WindowHandle window, const WindowMessage& m) {
    if (m.type == MessageType::Paint && paintBody) {
        DeviceContext dc = BeginPaint(window);
        paintBody(dc);
        EndPaint(window, dc);
        return true;
    }
    return false;
}

// Counts the client widget's paint events and unites their regions.
class PaintCounter : public QObject {
  public:
    int count = 0;
    QRegion region;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

void Paint(WindowHandle window, const Rect* rect, std::function<void(DeviceContext)> body,
           bool erase = false) {
    paintBody = std::move(body);
    InvalidateRect(window, rect, erase);
    UpdateWindow(window);
    paintBody = nullptr;
}

// Lets Qt show what the paints left for it: its update requests wait for the next frame.
void Show() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void FillBox(DeviceContext dc, const Rect& r, uint32_t rgb) {
    BrushHandle brush = CreateSolidBrush(rgb);
    PenHandle pen = CreatePen(1, rgb);
    BrushHandle oldBrush = SelectBrush(dc, brush);
    PenHandle oldPen = SelectPen(dc, pen);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    DeleteBrush(SelectBrush(dc, oldBrush));
    DeletePen(SelectPen(dc, oldPen));
}

TEST(PlatformShow, APaintThatChangedNoPixelIsNotShownAgain) {
    WindowHandle w = CreateMainWindow("show", 100, 60, Rgb(255, 255, 255), Procedure);
    ASSERT_NE(w, nullptr);
    ShowWindow(w);
    Paint(w, nullptr, [](DeviceContext dc) { FillBox(dc, Rect{0, 0, 100, 60}, Rgb(0, 0, 255)); });
    Show();
    PaintCounter counter;
    ClientWidget(w)->installEventFilter(&counter);
    const Rect part{10, 10, 50, 40};

    // The same picture again, an empty paint, and an erase the procedure paints over in the
    // colour that was there: no pixel differs, nothing is shown.
    Paint(w, &part, [](DeviceContext dc) { FillBox(dc, Rect{0, 0, 100, 60}, Rgb(0, 0, 255)); });
    Paint(w, &part, [](DeviceContext) {});
    Show();
    EXPECT_EQ(counter.count, 0) << "region " << counter.region.boundingRect().x() << ","
                                << counter.region.boundingRect().width();

    // A change is shown, within the part that changed.
    Paint(w, &part, [](DeviceContext dc) { FillBox(dc, Rect{20, 20, 30, 30}, Rgb(255, 0, 0)); });
    Show();
    EXPECT_GE(counter.count, 1);
    EXPECT_TRUE(QRegion(20, 20, 10, 10).subtracted(counter.region).isEmpty());
    EXPECT_TRUE(counter.region.subtracted(QRegion(10, 10, 40, 30)).isEmpty());

    // An erase that changed pixels is shown even when the paint draws nothing.
    counter.count = 0;
    counter.region = QRegion();
    Paint(
        w, &part, [](DeviceContext) {}, true);
    Show();
    EXPECT_GE(counter.count, 1);
    EXPECT_EQ(GetClientPixel(w, 25, 25), Rgb(255, 255, 255));
    ClientWidget(w)->removeEventFilter(&counter);
    DestroyWindow(w);
}

// A pattern in which every shift by a few pixels shows: colour by (5x + 7y) mod 11.
uint32_t PatternColour(int x, int y) {
    const int k = (5 * x + 7 * y) % 11;
    return Rgb(20 * k, 255 - 20 * k, (k * 97) % 256);
}

TEST(PlatformShow, BlockTransferMovesPixelsAsACopyWouldInEveryDirectionAndClip) {
    constexpr int kWidth = 40;
    constexpr int kHeight = 30;
    const std::vector<std::vector<Rect>> clips = {
        {{0, 0, kWidth, kHeight}},
        {{5, 5, 20, 25}, {21, 5, 35, 25}},   // side by side: a shift crosses the gap
        {{5, 5, 20, 25}, {20, 10, 35, 20}},  // an L: three bands of rectangles
        {{5, 2, 35, 12}, {5, 13, 35, 28}},   // stacked
    };
    const struct { int dx, dy; } shifts[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {3, -2}, {-2, 3}};
    WindowHandle w = CreateMainWindow("blt", kWidth, kHeight, Rgb(255, 255, 255), Procedure);
    ASSERT_NE(w, nullptr);
    for (const auto& clip : clips) {
        for (const auto& s : shifts) {
            SCOPED_TRACE(testing::Message()
                         << "clip parts " << clip.size() << " shift " << s.dx << "," << s.dy);
            std::map<uint32_t, PenHandle> pens;
            Paint(w, nullptr, [&](DeviceContext dc) {
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        PenHandle& pen = pens[PatternColour(x, y)];
                        if (pen == nullptr) {
                            pen = CreatePen(1, PatternColour(x, y));
                        }
                        PenHandle old = SelectPen(dc, pen);
                        MoveTo(dc, x, y);
                        LineTo(dc, x + 1, y);
                        SelectPen(dc, old);
                    }
                }
            });
            for (auto& [colour, pen] : pens) {
                DeletePen(pen);
            }
            // Source: the block 4..32 x 4..24, moved by the shift.
            const Rect source{4, 4, 32, 24};
            paintBody = [&](DeviceContext dc) {
                BitBlt(dc, source.left + s.dx, source.top + s.dy, source.right - source.left,
                       source.bottom - source.top, source.left, source.top);
            };
            for (const Rect& part : clip) {
                InvalidateRect(w, &part, false);
            }
            UpdateWindow(w);
            paintBody = nullptr;
            auto inside = [](const Rect& r, int x, int y) {
                return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            };
            int wrong = 0;
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    bool clipped = false;
                    for (const Rect& part : clip) {
                        clipped = clipped || inside(part, x, y);
                    }
                    const bool moved = clipped && inside(source, x - s.dx, y - s.dy);
                    const uint32_t expected =
                        moved ? PatternColour(x - s.dx, y - s.dy) : PatternColour(x, y);
                    if (GetClientPixel(w, x, y) != expected && ++wrong <= 3) {
                        ADD_FAILURE() << "pixel " << x << "," << y;
                    }
                }
            }
        }
    }
    DestroyWindow(w);
}

// The text drawn from the glyph cache is pixel for pixel the text Qt draws character by
// character, for every face the program uses, clipped or not.
TEST(PlatformShow, TextIsDrawnAsQtDrawsItCharacterByCharacter) {
    constexpr int kWidth = 640;
    constexpr int kHeight = 60;
    std::string text;
    for (int c = 0x21; c <= 0xFF; ++c) {
        if (c != 0x7F) {
            text.push_back(static_cast<char>(c));
        }
    }
    const struct { int height, weight; } fonts[] = {{15, 400}, {20, 400}, {25, 700}, {40, 700}};
    WindowHandle w = CreateMainWindow("text", kWidth, kHeight, Rgb(255, 255, 255), Procedure);
    ASSERT_NE(w, nullptr);
    for (const auto& f : fonts) {
        FontHandle font = CreateFont(f.height, f.weight);
        const QFont face = ResolvedFont(font);
        const QFontMetrics metrics(face);
        for (size_t start = 0; start < text.size(); start += 24) {
            const std::string part = text.substr(start, 24) + " %-9";
            // Clipped through the middle of the text and across its cell's top rows.
            for (const Rect clip : {Rect{0, 0, kWidth, kHeight}, Rect{37, 8, 211, kHeight}}) {
                SCOPED_TRACE(testing::Message() << "font " << f.height << " chars from " << start);
                Paint(w, nullptr, [](DeviceContext dc) {
                    FillBox(dc, Rect{0, 0, kWidth, kHeight}, Rgb(255, 255, 255));
                });
                Paint(w, &clip, [&](DeviceContext dc) {
                    FontHandle old = SelectFont(dc, font);
                    SetBkColor(dc, Rgb(255, 255, 255));
                    TextOut(dc, 5, 4, part.data(), static_cast<int>(part.size()));
                    SelectFont(dc, old);
                });
                QImage expected(kWidth, kHeight, QImage::Format_RGB32);
                expected.fill(Qt::white);
                {
                    QPainter painter(&expected);
                    painter.setRenderHint(QPainter::TextAntialiasing, false);
                    painter.setFont(face);
                    painter.setPen(QColor(Qt::black));
                    const QString s = FromWindows1252(part);
                    int width = 0;
                    for (QChar c : s) {
                        width += metrics.horizontalAdvance(c);
                    }
                    painter.setClipRegion(QRegion(5, 4, width, f.height) &
                                          QRegion(clip.left, clip.top, clip.right - clip.left,
                                                  clip.bottom - clip.top));
                    int penX = 5;
                    for (QChar c : s) {
                        if (!c.isSpace()) {
                            painter.drawText(QPoint(penX, 4 + f.height - metrics.descent()),
                                             QString(c));
                        }
                        penX += metrics.horizontalAdvance(c);
                    }
                }
                int wrong = 0;
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        if (GetClientPixel(w, x, y) != FromQRgb(expected.pixel(x, y)) &&
                            ++wrong <= 3) {
                            ADD_FAILURE() << "pixel " << x << "," << y;
                        }
                    }
                }
            }
        }
        DeleteFont(font);
    }
    DestroyWindow(w);
}

}  // namespace
