#include "app/panel.h"

#include <cstdio>
#include <cstring>

#include "link/protocol.h"
#include "output/trend_graph.h"
#include "params/parameter_set.h"
#include "platform/device_context.h"
#include "records/language.h"
#include "records/window_state.h"

namespace {

constexpr int kValueRight = 250;
constexpr int kMeasurementBottom = 153;
constexpr int kMeasurementCellTop = kMeasurementBottom - 40;
constexpr int kDudtX = 260;
constexpr int kDpdtBottom = 273;
constexpr int kDpdtCellTop = kDpdtBottom - 25;
constexpr char kNoValue[] = "--";

// Whether the last measurement the panel really drew had three digits. The repaint rule alone
// cannot know: the measurement may change between its tick and the paint that follows, and a
// two-digit value drawn over three digits would leave the hundreds digit standing.
bool drawnMeasurementWide = false;
// The same for the dP/dt row: "  --" (function off) and "--" (no value) are narrower than a
// three-digit peak, so either drawn over one needs the panel refilled first.
bool drawnDpdtWide = false;

bool DpdtWide(int32_t peak, uint16_t dpdtModeWord) {
    return dpdtModeWord != 0 && peak >= 100;
}

void Text(platform::DeviceContext dc, int x, int y, const char* text) {
    platform::TextOut(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

void Frame(platform::DeviceContext dc, const platform::Rect& r) {
    platform::Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

bool Overlaps(const platform::Rect& a, int left, int top, int right, int bottom) {
    return a.left < right && left < a.right && a.top < bottom && top < a.bottom;
}

void DrawLabel(platform::DeviceContext dc, int x, int y, int slot) {
    char text[kSlotSize];
    CopySlotText(text, slot);
    Text(dc, x, y, text);
}

}  // namespace

void FormatMeasurement(int32_t value, char out[16]) {
    if (value == -1) {
        std::snprintf(out, 16, "%s", kNoValue);
    } else if (value >= 100) {
        std::snprintf(out, 16, "%3d", static_cast<int>(value));
    } else {
        std::snprintf(out, 16, "%02d", static_cast<int>(value));
    }
}

void FormatPeak(int32_t value, char out[16]) {
    if (value == -1) {
        std::snprintf(out, 16, "%s", kNoValue);
    } else {
        std::snprintf(out, 16, "  %02d", static_cast<int>(value));
    }
}

void FormatDpdtPeak(int32_t value, uint16_t dpdtModeWord, char out[16]) {
    if (dpdtModeWord == 0) {
        std::snprintf(out, 16, "  %s", kNoValue);
    } else {
        // The dP/dt peak reaches 399 and its Reset button drops it to 0 without a panel refill,
        // so it gets the same two leading blanks as the other peaks: "00" drawn over "150" must
        // not read "100".
        FormatPeak(value, out);
    }
}

void ResetPanelState() {
    drawnMeasurementWide = false;
    drawnDpdtWide = false;
}

void PaintMainWindow(platform::WindowHandle window) {
    platform::DeviceContext dc = platform::BeginPaint(window);
    if (dc == nullptr) {
        return;
    }
    // A message box shown while the window is being created runs its own loop before the
    // drawing objects exist; such a paint only validates the region.
    if (displayObjects.panelBrush == nullptr) {
        platform::EndPaint(window, dc);
        return;
    }
    const platform::Rect update = platform::GetUpdateRect(dc);
    // One reading for the whole paint, so the identity line and the digits agree.
    const int32_t measurement = liveValues.measurement.load(std::memory_order_relaxed);
    const bool cellInUpdate =
        Overlaps(update, 0, kMeasurementCellTop, kValueRight, kMeasurementBottom);
    // Likewise one reading of the dP/dt row's two inputs, for the refill and the text.
    const int32_t dpdtPeak = liveValues.dPdtPeak.load(std::memory_order_relaxed);
    const uint16_t dpdtModeWord =
        parameterSet.deviceWords[dpdtMode].load(std::memory_order_relaxed);
    const bool dpdtCellInUpdate = Overlaps(update, 0, kDpdtCellTop, kValueRight, kDpdtBottom);

    bool refillPanel = windowFlags.panelRepaint.exchange(0, std::memory_order_relaxed) != 0;
    if (cellInUpdate && measurement < 100 && drawnMeasurementWide) {
        refillPanel = true;
    }
    if (dpdtCellInUpdate && drawnDpdtWide && !DpdtWide(dpdtPeak, dpdtModeWord)) {
        refillPanel = true;
    }
    if (refillPanel) {
        platform::BrushHandle oldBrush = platform::SelectBrush(dc, displayObjects.panelBrush);
        Frame(dc, kValuesPanel);
        Frame(dc, kIdentityBar);
        platform::SelectBrush(dc, oldBrush);
    }
    if (windowFlags.fullRepaint.exchange(0, std::memory_order_relaxed) != 0) {
        platform::BrushHandle oldBrush = platform::SelectBrush(dc, displayObjects.panelBrush);
        Frame(dc, kValuesPanel);
        Frame(dc, kGraphArea);
        Frame(dc, kIdentityBar);
        platform::SelectBrush(dc, oldBrush);
        DrawTrendAxes(dc);
        DrawTrendHistory(dc);
    }
    if (windowFlags.frozen.load(std::memory_order_relaxed) != 0) {
        DrawTrendHistory(dc);
    } else {
        DrawTrendIncrement(dc);
    }

    platform::FontHandle oldFont = platform::SelectFont(dc, displayObjects.labelFont);
    int oldAlign = platform::SetTextAlign(dc, platform::kAlignRight | platform::kAlignBottom);
    uint32_t oldBk = platform::SetBkColor(dc, kPanelColour);
    DrawLabel(dc, 180, 100, 25);
    DrawLabel(dc, 180, 145, 27);
    DrawLabel(dc, 180, 190, 26);
    DrawLabel(dc, 180, 270, 29);

    // The indicator is consumed only by a paint that can show it; the graph's own paints, whose
    // region lies right of it, leave it pending.
    if (update.left < kDudtX) {
        if (liveValues.dUdtEvent.exchange(0, std::memory_order_relaxed) != 0) {
            DrawLabel(dc, kDudtX, 300, 28);
            windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
        } else {
            Text(dc, kDudtX, 300, "           ");
        }
    }

    // The graph's own paints (50 a second) lie below the identity bar: no line to build then.
    if (Overlaps(update, kIdentityBar.left, kIdentityBar.top, kIdentityBar.right,
                 kIdentityBar.bottom)) {
        char line[kIdentityLineSize];
        BuildIdentityLine(measurement, line);
        platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignBottom);
        platform::SelectFont(dc, displayObjects.valueFont);
        Text(dc, 35, 45, line);
    }

    char value[16];
    platform::SetTextAlign(dc, platform::kAlignRight | platform::kAlignBottom);
    platform::SelectFont(dc, displayObjects.bigValueFont);
    FormatMeasurement(measurement, value);
    Text(dc, kValueRight, kMeasurementBottom, value);
    if (cellInUpdate) {
        drawnMeasurementWide = measurement >= 100;
    }

    platform::SelectFont(dc, displayObjects.valueFont);
    FormatDpdtPeak(dpdtPeak, dpdtModeWord, value);
    Text(dc, kValueRight, kDpdtBottom, value);
    if (dpdtCellInUpdate) {
        drawnDpdtWide = DpdtWide(dpdtPeak, dpdtModeWord);
    }
    FormatPeak(liveValues.maxPeak.load(std::memory_order_relaxed), value);
    Text(dc, kValueRight, 103, value);
    FormatPeak(liveValues.minPeak.load(std::memory_order_relaxed), value);
    Text(dc, kValueRight, 193, value);

    platform::SetTextAlign(dc, oldAlign);
    platform::SetBkColor(dc, oldBk);
    platform::SelectFont(dc, oldFont);
    platform::EndPaint(window, dc);
}

bool PanelRepaintRuleIdle() {
    return liveValues.measurement.load(std::memory_order_relaxed) ==
               windowFlags.lastPaintedMeasurement.load(std::memory_order_relaxed) &&
           windowFlags.valuesChanged.load(std::memory_order_relaxed) == 0 &&
           liveValues.dUdtEvent.load(std::memory_order_relaxed) == 0;
}

void PanelRepaintRule(platform::WindowHandle window) {
    const int32_t measurement = liveValues.measurement.load(std::memory_order_relaxed);
    const int32_t last = windowFlags.lastPaintedMeasurement.load(std::memory_order_relaxed);
    if (PanelRepaintRuleIdle()) {
        return;
    }
    if (measurement < 100 && last >= 100) {
        windowFlags.panelRepaint.store(1, std::memory_order_relaxed);
    }
    platform::InvalidateRect(window, nullptr, false);
    windowFlags.valuesChanged.store(0, std::memory_order_relaxed);
    windowFlags.lastPaintedMeasurement.store(measurement, std::memory_order_relaxed);
}

void PanelResetButton(platform::WindowHandle window, int controlId) {
    switch (controlId) {
        case kResetMaxButton:
            SendCommand(CMD_RESET_MAX_PEAK);
            break;
        case kResetMinButton:
            SendCommand(CMD_RESET_MIN_PEAK);
            break;
        case kResetDpdtButton:
            SendCommand(CMD_RESET_DPDT_PEAK);
            // Shown at once; the device confirms with its next peak report.
            liveValues.dPdtPeak.store(0, std::memory_order_relaxed);
            windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
            break;
        default:
            return;
    }
    platform::SetFocus(window);
}

void PanelKeyDown(int key) {
    if (windowFlags.keyLatch.exchange(1, std::memory_order_relaxed) != 0) {
        return;
    }
    if (key == platform::kKeySpace) {
        SendCommand(CMD_SPACE);
    } else if (key == platform::kKeyPause) {
        windowFlags.frozen.fetch_xor(1, std::memory_order_relaxed);
        windowFlags.fullRepaint.store(1, std::memory_order_relaxed);
    }
}

void PanelKeyUp() {
    windowFlags.keyLatch.store(0, std::memory_order_relaxed);
}
