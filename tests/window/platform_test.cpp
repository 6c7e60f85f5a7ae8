// The platform's window and painting primitives where the program's own window tests cannot see
// a fault: exact pixels of rectangles and text cells, the paint region and its erase, real timers
// that keep running while a message box is open; what is put on screen after a paint (a paint
// that changed no pixel is not shown again, one that did is shown where it changed), the block
// transfer that moves pixels in place, and text drawn from the glyph cache.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <functional>
#include <map>
#include <tuple>

#include "platform/device_context.h"
#include "platform/qt/image_context.h"
#include "platform/message_box.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "platform/qt/window_widgets.h"

using namespace platform;

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kGrey = Rgb(210, 210, 210);
constexpr uint32_t kBlue = Rgb(0, 0, 255);

// The test window's procedure records every message and paints with what the test gives it.
struct Recorder {
    std::vector<WindowMessage> messages;
    std::function<void(DeviceContext)> paint;  // empty: Paint is not handled
    bool handleErase = false;
} recorder;

bool RecordingProcedure(WindowHandle window, const WindowMessage& m) {
    recorder.messages.push_back(m);
    if (m.type == MessageType::Paint && recorder.paint) {
        DeviceContext dc = BeginPaint(window);
        recorder.paint(dc);
        EndPaint(window, dc);
        return true;
    }
    return m.type == MessageType::EraseBackground && recorder.handleErase;
}

int CountMessages(MessageType type, int id = -1) {
    int n = 0;
    for (const auto& m : recorder.messages) {
        n += m.type == type && (id < 0 || m.id == id);
    }
    return n;
}

struct TestWindow {
    WindowHandle handle;
    explicit TestWindow(int width = 120, int height = 80, uint32_t background = kWhite) {
        recorder = Recorder{};
        handle = CreateMainWindow("test", width, height, background, RecordingProcedure);
    }
    ~TestWindow() { DestroyWindow(handle); }

    // Paints the given part (nullptr: all) at once with body.
    void Paint(const Rect* rect, std::function<void(DeviceContext)> body, bool erase = false) {
        recorder.paint = std::move(body);
        InvalidateRect(handle, rect, erase);
        UpdateWindow(handle);
        recorder.paint = nullptr;
    }
    uint32_t Pixel(int x, int y) const { return GetClientPixel(handle, x, y); }
};

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

auto Edges(const Rect& r) {
    return std::tuple(r.left, r.top, r.right, r.bottom);
}

// Compares every pixel with expected(x, y) and reports the first difference.
template <typename Expected>
void ExpectPixels(const TestWindow& w, Expected expected) {
    for (int y = 0; y < ClientHeight(w.handle); ++y) {
        for (int x = 0; x < ClientWidth(w.handle); ++x) {
            if (w.Pixel(x, y) != expected(x, y)) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << w.Pixel(x, y)
                              << ", expected " << expected(x, y);
                return;
            }
        }
    }
}

// The bounding box of the pixels that are no longer white.
Rect ChangedBox(const TestWindow& w) {
    Rect box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < ClientHeight(w.handle); ++y) {
        for (int x = 0; x < ClientWidth(w.handle); ++x) {
            if (w.Pixel(x, y) != kWhite) {
                box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
            }
        }
    }
    return box;
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

// A pattern in which every shift by a few pixels shows: colour by (5x + 7y) mod 11.
uint32_t PatternColour(int x, int y) {
    const int k = (5 * x + 7 * y) % 11;
    return Rgb(20 * k, 255 - 20 * k, (k * 97) % 256);
}

}  // namespace

TEST(PlatformPaint, TextCellIsTheFontHeightAndCentresOnItsPoint) {
    auto draw = [](TestWindow& w, int x, int y, int align) {
        w.Paint(nullptr, [&](DeviceContext dc) {
            FontHandle font = CreateFont(20, 400);
            FontHandle old = SelectFont(dc, font);
            SetTextAlign(dc, align);
            SetBkColor(dc, kGrey);
            TextOut(dc, x, y, "42%", 3);
            DeleteFont(SelectFont(dc, old));
        });
    };
    TestWindow left(200, 80), centred(200, 80);
    draw(left, 20, 10, kAlignLeft | kAlignTop);
    draw(centred, 150, 60, kAlignCenter | kAlignTop);
    const Rect cell = ChangedBox(left);
    const int width = cell.right - cell.left;
    ASSERT_GT(width, 0);
    EXPECT_EQ(Edges(cell), Edges(Rect{20, 10, 20 + width, 30}));
    EXPECT_EQ(Edges(ChangedBox(centred)),
              Edges(Rect{150 - width / 2, 60, 150 - width / 2 + width, 80}));
}

TEST(PlatformPaint, DrawingIsClippedToTheUpdateRegionWhichThePaintValidates) {
    TestWindow w(60, 40);
    const Rect first{10, 10, 30, 20};
    const Rect second{25, 25, 35, 30};
    recorder.paint = [](DeviceContext dc) {
        EXPECT_EQ(Edges(GetUpdateRect(dc)), Edges(Rect{10, 10, 35, 30}));
        BrushHandle black = CreateSolidBrush(kBlack);
        BrushHandle old = SelectBrush(dc, black);
        Rectangle(dc, 0, 0, 60, 40);
        DeleteBrush(SelectBrush(dc, old));
        MoveTo(dc, 0, 22);
        LineTo(dc, 60, 22);
        SetBkColor(dc, kBlack);
        TextOut(dc, 0, 0, "WWWWWWWWWWWW", 12);
        BitBlt(dc, 0, 0, 60, 40, 0, 0);
    };
    InvalidateRect(w.handle, &first, false);
    InvalidateRect(w.handle, &second, false);
    UpdateWindow(w.handle);
    ExpectPixels(w, [&](int x, int y) {
        return Inside(first, x, y) || Inside(second, x, y) ? kBlack : kWhite;
    });
    recorder.messages.clear();
    UpdateWindow(w.handle);
    EXPECT_EQ(CountMessages(MessageType::Paint), 0);
}

TEST(PlatformPaint, RectangleUsesPenAndBrushEraseFillsOnlyTheRegionWhenAsked) {
    const struct {
        bool erase, procedureErases;
        int eraseMessages;
        bool filled;
    } cases[] = {{true, false, 1, true}, {false, false, 0, false}, {true, true, 1, false}};
    const Rect part{5, 5, 15, 10};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.erase << c.procedureErases);
        TestWindow w(30, 20, kGrey);
        w.Paint(nullptr, [](DeviceContext dc) {
            BrushHandle blue = CreateSolidBrush(kBlue);
            BrushHandle old = SelectBrush(dc, blue);  // the fresh context's pen is black
            Rectangle(dc, 0, 0, 30, 20);
            DeleteBrush(SelectBrush(dc, old));
        });
        recorder.messages.clear();
        recorder.handleErase = c.procedureErases;
        w.Paint(
            &part, [](DeviceContext) {}, c.erase);
        EXPECT_EQ(CountMessages(MessageType::EraseBackground), c.eraseMessages);
        ExpectPixels(w, [&](int x, int y) {
            const bool border = x == 0 || y == 0 || x == 29 || y == 19;
            return Inside(part, x, y) && c.filled ? kGrey : border ? kBlack : kBlue;
        });
    }
}

TEST(PlatformWindow, TimersKeepTheirIdsAndRunWhileAMessageBoxIsOpen) {
    TestWindow w;
    SetMessageBoxHook(nullptr);
    SetTimer(w.handle, 20, 5);
    SetTimer(w.handle, 50, 10);
    KillTimer(w.handle, 20);
    QWidget* boxParent = nullptr;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxParent] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && CountMessages(MessageType::Timer, 50) >= 3) {
            boxParent = box->parentWidget();
            box->close();
        }
    });
    closer.start(10);
    EXPECT_EQ(ShowMessageBox(w.handle, "Busy", "Caption", MessageIcon::Error, MessageButtons::Ok),
              MessageResult::Ok);
    EXPECT_GE(CountMessages(MessageType::Timer, 50), 3);
    EXPECT_EQ(CountMessages(MessageType::Timer), CountMessages(MessageType::Timer, 50));
    EXPECT_EQ(boxParent, WindowWidget(w.handle));
}

TEST(PlatformShow, APaintThatChangedNoPixelIsNotShownAgain) {
    TestWindow w(100, 60);
    ShowWindow(w.handle);
    auto fillBlue = [](DeviceContext dc) { FillBox(dc, Rect{0, 0, 100, 60}, kBlue); };
    w.Paint(nullptr, fillBlue);
    Show();
    PaintCounter counter;
    ClientWidget(w.handle)->installEventFilter(&counter);
    const Rect part{10, 10, 50, 40};

    // The same picture again and an empty paint: no pixel differs, nothing is shown.
    w.Paint(&part, fillBlue);
    w.Paint(&part, [](DeviceContext) {});
    Show();
    EXPECT_EQ(counter.count, 0) << "region " << counter.region.boundingRect().x() << ","
                                << counter.region.boundingRect().width();

    // A change is shown, within the part that changed.
    w.Paint(&part, [](DeviceContext dc) { FillBox(dc, Rect{20, 20, 30, 30}, Rgb(255, 0, 0)); });
    Show();
    EXPECT_GE(counter.count, 1);
    EXPECT_TRUE(QRegion(20, 20, 10, 10).subtracted(counter.region).isEmpty());
    EXPECT_TRUE(counter.region.subtracted(QRegion(10, 10, 40, 30)).isEmpty());

    // An erase that changed pixels is shown even when the paint draws nothing.
    counter.count = 0;
    counter.region = QRegion();
    w.Paint(
        &part, [](DeviceContext) {}, true);
    Show();
    EXPECT_GE(counter.count, 1);
    EXPECT_EQ(w.Pixel(25, 25), kWhite);
    ClientWidget(w.handle)->removeEventFilter(&counter);
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
    TestWindow w(kWidth, kHeight);
    for (const auto& clip : clips) {
        for (const auto& s : shifts) {
            SCOPED_TRACE(testing::Message()
                         << "clip parts " << clip.size() << " shift " << s.dx << "," << s.dy);
            std::map<uint32_t, PenHandle> pens;
            w.Paint(nullptr, [&](DeviceContext dc) {
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        PenHandle& pen = pens[PatternColour(x, y)];
                        pen = pen != nullptr ? pen : CreatePen(1, PatternColour(x, y));
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
            recorder.paint = [&](DeviceContext dc) {
                BitBlt(dc, source.left + s.dx, source.top + s.dy, source.right - source.left,
                       source.bottom - source.top, source.left, source.top);
            };
            for (const Rect& part : clip) {
                InvalidateRect(w.handle, &part, false);
            }
            UpdateWindow(w.handle);
            recorder.paint = nullptr;
            ExpectPixels(w, [&](int x, int y) {
                bool clipped = false;
                for (const Rect& part : clip) {
                    clipped = clipped || Inside(part, x, y);
                }
                return clipped && Inside(source, x - s.dx, y - s.dy)
                           ? PatternColour(x - s.dx, y - s.dy)
                           : PatternColour(x, y);
            });
        }
    }
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
    TestWindow w(kWidth, kHeight);
    for (const auto& f : fonts) {
        FontHandle font = CreateFont(f.height, f.weight);
        const QFont face = ResolvedFont(font);
        const QFontMetrics metrics(face);
        for (size_t start = 0; start < text.size(); start += 24) {
            const std::string part = text.substr(start, 24) + " %-9";
            // Clipped through the middle of the text and across its cell's top rows.
            for (const Rect clip : {Rect{0, 0, kWidth, kHeight}, Rect{37, 8, 211, kHeight}}) {
                SCOPED_TRACE(testing::Message() << "font " << f.height << " chars from " << start);
                w.Paint(nullptr, [](DeviceContext dc) {
                    FillBox(dc, Rect{0, 0, kWidth, kHeight}, kWhite);
                });
                w.Paint(&clip, [&](DeviceContext dc) {
                    FontHandle old = SelectFont(dc, font);
                    SetBkColor(dc, kWhite);
                    TextOut(dc, 5, 4, part.data(), static_cast<int>(part.size()));
                    SelectFont(dc, old);
                });
                QImage expected(kWidth, kHeight, QImage::Format_RGB32);
                expected.fill(Qt::white);
                QPainter painter(&expected);
                painter.setRenderHint(QPainter::TextAntialiasing, false);
                painter.setFont(face);
                painter.setPen(QColor(Qt::black));
                const QString s = FromWindows1252(part);
                int width = 0;
                for (QChar c : s) {
                    width += metrics.horizontalAdvance(c);
                }
                painter.setClipRegion(
                    QRegion(5, 4, width, f.height) &
                    QRegion(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
                for (int penX = 5; QChar c : s) {
                    if (!c.isSpace()) {
                        painter.drawText(QPoint(penX, 4 + f.height - metrics.descent()),
                                         QString(c));
                    }
                    penX += metrics.horizontalAdvance(c);
                }
                painter.end();
                ExpectPixels(w, [&](int x, int y) { return FromQRgb(expected.pixel(x, y)); });
            }
        }
        DeleteFont(font);
    }
}
