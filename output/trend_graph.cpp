#include "output/trend_graph.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "records/settings.h"
#include "records/window_state.h"

const char kRollLabels[3][3][6] = {
    {"-3.3", "-6.6", "-10"},
    {"-10", "-20", "-30"},
    {"-20", "-40", "-60"},
};

namespace {

// 0 % lies on y 295 and every sample is a height in pixels above it (2 pixels per percent).
constexpr int kZeroY = 295;
constexpr int kLeftX = 365;
constexpr int kNewestX = 866;
constexpr int kScrollTop = 95;
constexpr int kScrollWidth = 502;
constexpr int kScrollHeight = 201;

bool IdentityKnown() {
    return liveValues.identity[0].load(std::memory_order_relaxed) != 0;
}

// What a graph paint draws besides new samples: the limit lines of the newest column and the
// frozen picture. Two graph paints with the same of these and no sample between leave the same
// pixels. Window thread only.
using GraphInputs = std::array<uint16_t, 6>;

GraphInputs ReadGraphInputs() {
    auto word = [](int index) {
        return parameterSet.deviceWords[index].load(std::memory_order_relaxed);
    };
    return {word(limit1Mode),
            word(limit2Mode),
            word(limit1Setpoint),
            word(limit2Setpoint),
            uint16_t{IdentityKnown()},
            uint16_t(windowFlags.frozen.load(std::memory_order_relaxed) != 0)};
}

// None before the first tick.
std::optional<GraphInputs> inputsAtLastTick;

void Line(platform::DeviceContext dc, int x0, int y0, int x1, int y1) {
    platform::MoveTo(dc, x0, y0);
    platform::LineTo(dc, x1, y1);
}

// The rows of the setpoints of every active limit, while the device is identified: without an
// identity the words may be stale. Returns how many.
int LimitRows(int rows[2]) {
    if (!IdentityKnown()) {
        return 0;
    }
    const int modes[2] = {limit1Mode, limit2Mode};
    const int setpoints[2] = {limit1Setpoint, limit2Setpoint};
    int count = 0;
    for (int i = 0; i < 2; ++i) {
        if (parameterSet.deviceWords[modes[i]].load(std::memory_order_relaxed) != 0) {
            rows[count++] =
                kZeroY - 2 * parameterSet.deviceWords[setpoints[i]].load(std::memory_order_relaxed);
        }
    }
    return count;
}

// Horizontal red lines from x0 up to (not including) x1 at the setpoint of every active limit.
void DrawLimitLines(platform::DeviceContext dc, int x0, int x1) {
    int rows[2];
    const int count = LimitRows(rows);
    if (count == 0) {
        return;
    }
    platform::SelectPen(dc, displayObjects.limitPen);
    for (int i = 0; i < count; ++i) {
        Line(dc, x0, rows[i], x1, rows[i]);
    }
}

// Clears column x from kScrollTop down to kZeroY except the limit rows, which the limit lines
// draw next: a limit pixel cleared and drawn again would count as changed, and every graph tick
// would put a frame on screen that shows nothing new.
void ClearColumnAroundLimits(platform::DeviceContext dc, int x) {
    int rows[2];
    const int count = LimitRows(rows);
    if (count == 2 && rows[1] < rows[0]) {
        std::swap(rows[0], rows[1]);
    }
    int top = kScrollTop;
    for (int i = 0; i < count; ++i) {
        if (rows[i] >= top && rows[i] < kZeroY) {
            if (rows[i] > top) {
                Line(dc, x, top, x, rows[i]);
            }
            top = rows[i] + 1;
        }
    }
    if (top < kZeroY) {
        Line(dc, x, top, x, kZeroY);
    }
}

void Text(platform::DeviceContext dc, int x, int y, const char* text) {
    platform::TextOut(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

void DrawTrendAxes(platform::DeviceContext dc) {
    platform::PenHandle oldPen = platform::SelectPen(dc, displayObjects.axisPen);
    Line(dc, kLeftX, kZeroY, 878, kZeroY);
    Line(dc, 878, kZeroY, 873, 290);
    Line(dc, 878, kZeroY, 873, 300);
    Line(dc, 868, 300, 868, 85);
    Line(dc, 868, 85, 873, 90);
    Line(dc, 868, 85, 863, 90);
    for (int y : {245, 195, 145, 95}) {
        Line(dc, 868, y, 871, y);
    }
    for (int x : {702, 535, 365}) {
        Line(dc, x, kZeroY, x, 298);
    }
    DrawLimitLines(dc, kLeftX, 868);
    platform::SelectPen(dc, oldPen);

    platform::FontHandle oldFont = platform::SelectFont(dc, displayObjects.scaleFont);
    int oldAlign = platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignBottom);
    uint32_t oldBk = platform::SetBkColor(dc, kPanelColour);
    Text(dc, 873, 85, "P[%]");
    Text(dc, 876, 252, "25");
    Text(dc, 876, 202, "50");
    Text(dc, 876, 152, "75");
    Text(dc, 876, 102, "100");
    platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignTop);
    Text(dc, 868, 300, "t[s]");
    platform::SetTextAlign(dc, platform::kAlignCenter | platform::kAlignTop);
    const char(*labels)[6] = kRollLabels[CurrentRollIndex()];
    Text(dc, 702, 303, labels[0]);
    Text(dc, 535, 303, labels[1]);
    Text(dc, 365, 303, labels[2]);
    platform::SetBkColor(dc, oldBk);
    platform::SetTextAlign(dc, oldAlign);
    platform::SelectFont(dc, oldFont);
}

void DrawTrendHistory(platform::DeviceContext dc) {
    if (trendBuffer.awaitingFirstSample) {
        return;
    }
    platform::PenHandle oldPen = platform::SelectPen(dc, displayObjects.curvePen);
    const int32_t* history = trendBuffer.historyRing;
    int pos = trendBuffer.historyPos;
    // Until 500 samples have been plotted, the left part of the history was never measured:
    // drawing it would show a flat 0 % that the device never reported, so the curve starts at
    // the oldest real sample, in the column it has in the full picture.
    const int skip = kTrendSize - trendBuffer.historyCount;
    platform::MoveTo(dc, kLeftX + skip, kZeroY - history[(pos + skip) % kTrendSize]);
    for (int i = skip + 1; i < kTrendSize; ++i) {
        platform::LineTo(dc, kLeftX + i, kZeroY - history[(pos + i) % kTrendSize]);
    }
    // The newest sample is the one before the oldest; its stub sits where the running picture
    // draws its newest segment.
    int newest = kZeroY - history[(pos + kTrendSize - 1) % kTrendSize];
    Line(dc, kNewestX - 1, newest, kNewestX, newest);
    platform::SelectPen(dc, oldPen);
}

void DrawTrendIncrement(platform::DeviceContext dc) {
    // The right-most column is cleared and given its limit pixels first; every scroll copies it
    // one pixel left, so limit lines grow in from the right while the picture moves.
    platform::PenHandle oldPen = platform::SelectPen(dc, displayObjects.erasePen);
    ClearColumnAroundLimits(dc, kNewestX + 1);
    DrawLimitLines(dc, kNewestX + 1, kNewestX + 2);
    platform::SelectPen(dc, displayObjects.curvePen);
    TrendStep step;
    while (TakeTrendSample(&step)) {
        platform::BitBlt(dc, kLeftX, kScrollTop, kScrollWidth, kScrollHeight, kLeftX + 1,
                         kScrollTop);
        platform::MoveTo(dc, kNewestX - 1, kZeroY - step.from);
        if (step.connect) {
            platform::LineTo(dc, kNewestX, kZeroY - step.to);
        }
    }
    platform::SelectPen(dc, oldPen);
}

void TrendTick(platform::WindowHandle window) {
    std::atomic<uint8_t>& countdown = windowFlags.alarmCountdown;
    if (countdown.load(std::memory_order_relaxed) != 0) {
        uint8_t count = static_cast<uint8_t>(countdown.fetch_add(1, std::memory_order_relaxed) + 1);
        // An alarm code that restarts the count between the increment and here wins: the freeze
        // then waits for the new count to run out.
        if (count >= kRollStopTicks[CurrentRollIndex()] &&
            countdown.compare_exchange_strong(count, 0, std::memory_order_relaxed)) {
            windowFlags.frozen.store(1, std::memory_order_relaxed);
            windowFlags.fullRepaint.store(1, std::memory_order_relaxed);
        }
    }
    inputsAtLastTick = ReadGraphInputs();
    platform::InvalidateRect(window, &graphRect, false);
}

bool TrendTickIdle() {
    return windowFlags.alarmCountdown.load(std::memory_order_relaxed) == 0 &&
           trendBuffer.sampleWrite.load(std::memory_order_acquire) ==
               trendBuffer.sampleRead.load(std::memory_order_relaxed) &&
           windowFlags.fullRepaint.load(std::memory_order_relaxed) == 0 &&
           windowFlags.panelRepaint.load(std::memory_order_relaxed) == 0 &&
           inputsAtLastTick == ReadGraphInputs();
}
