#include "output/report.h"

#include <cstdio>
#include <cstring>

#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "output/trend_graph.h"
#include "params/parameter_set.h"
#include "platform/date_time.h"
#include "platform/printer.h"
#include "records/language.h"
#include "records/settings.h"
#include "records/window_state.h"

namespace {

struct PageLayout {
    int width, height;  // the logical page
    int x0, y0;         // left end of the graph's time axis
    int x1, y1;         // the listing
};
constexpr PageLayout kPortrait{600, 860, 45, 430, 150, 500};
constexpr PageLayout kLandscape{860, 600, 310, 510, 20, 200};

// The mode words' texts: limits from cell 0, dP/dt from cell 2, the filter from cell 4. Value 0
// is printed from the text table instead.
constexpr char kModeCells[8][10] = {"",
                                    "Min.",
                                    "Max.",
                                    "+dP/dt",
                                    "\xB1"
                                    "dP/dt",
                                    "3s",
                                    "6s",
                                    "10s"};

// A mode word the device reports beyond its list would index past the cells; it prints "?",
// which the user can tell from every real mode.
const char* ModeText(uint16_t value, int firstCell, int highestValue) {
    return value <= highestValue ? kModeCells[firstCell + value] : "?";
}

uint16_t Word(int index) {
    return parameterSet.deviceWords[index].load(std::memory_order_relaxed);
}

bool IdentityKnown() {
    return liveValues.identity[0].load(std::memory_order_relaxed) != 0;
}

void Text(platform::DeviceContext dc, int x, int y, const char* text) {
    platform::TextOut(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

void Line(platform::DeviceContext dc, int x0, int y0, int x1, int y1) {
    platform::MoveTo(dc, x0, y0);
    platform::LineTo(dc, x1, y1);
}

// The report's face: fixed pitch, so the listing's values start in one column.
platform::FontHandle ReportFont(int height, bool bold) {
    return platform::CreateFixedPitchFont(height, bold ? 700 : 400);
}

// A slot text followed by a value text.
void LabelledLine(platform::DeviceContext dc, int x, int y, int labelSlot, const char* value) {
    char label[kSlotSize];
    CopySlotText(label, labelSlot);
    char line[2 * kSlotSize];
    std::snprintf(line, sizeof line, "%s%s", label, value);
    Text(dc, x, y, line);
}

void OffOn(uint16_t value, char out[kSlotSize]) {
    CopySlotText(out, value == 0 ? 3 : 4);
}

void Percent(uint16_t value, char out[kSlotSize]) {
    std::snprintf(out, kSlotSize, "%d%%", static_cast<int>(value));
}

void PercentOrNone(bool shown, uint16_t value, char out[kSlotSize]) {
    if (shown) {
        Percent(value, out);
    } else {
        std::snprintf(out, kSlotSize, "--");
    }
}

void ModeOrOff(uint16_t value, int firstCell, int highestValue, char out[kSlotSize]) {
    if (value == 0) {
        CopySlotText(out, 3);
    } else {
        std::snprintf(out, kSlotSize, "%s", ModeText(value, firstCell, highestValue));
    }
}

}  // namespace

void FormatPrintTime(uint16_t value, uint16_t timerRangeWord, char out[16]) {
    if (timerRangeWord == 0) {
        std::snprintf(out, 16, "%d.%02ds", value / 100, value % 100);
    } else {
        std::snprintf(out, 16, "%d.%ds", value / 10, value % 10);
    }
}

uint32_t SelectPrinter(platform::WindowHandle owner, platform::DeviceContext* printer) {
    return platform::ChoosePrinter(owner, printer);
}

void PrintHeader(platform::DeviceContext dc) {
    char identity[kIdentitySize];
    ReadIdentity(identity);
    char line[512];
    platform::FontHandle font = ReportFont(15, true);
    platform::FontHandle oldFont = platform::SelectFont(dc, font);
    std::snprintf(line, sizeof line, "%s %s", "Tessaron: ", identity);
    Text(dc, 40, 35, line);
    platform::SelectFont(dc, oldFont);
    platform::DeleteFont(font);

    font = ReportFont(10, false);
    platform::SelectFont(dc, font);
    // Each text is cut to 63 bytes at a whole character, so a long regional format shortens the
    // line but never garbles it.
    char label[kSlotSize], date[64], time[64];
    CopySlotText(label, 30);
    platform::FormatCurrentLongDate(date, sizeof date);
    platform::FormatCurrentTime(time, sizeof time);
    std::snprintf(line, sizeof line, "%s: %s, %s", label, date, time);
    Text(dc, 40, 65, line);

    char peaks[kSlotSize], maxLabel[kSlotSize], minLabel[kSlotSize], dpdtLabel[kSlotSize];
    CopySlotText(peaks, 31);
    CopySlotText(maxLabel, 25);
    CopySlotText(minLabel, 26);
    CopySlotText(dpdtLabel, 29);
    const int maxPeak = liveValues.maxPeak.load(std::memory_order_relaxed);
    const int minPeak = liveValues.minPeak.load(std::memory_order_relaxed);
    if (Word(dpdtMode) != 0) {
        std::snprintf(line, sizeof line, "%s:  %s %d,   %s %d,   %s %d", peaks, maxLabel, maxPeak,
                      minLabel, minPeak, dpdtLabel,
                      static_cast<int>(liveValues.dPdtPeak.load(std::memory_order_relaxed)));
    } else {
        std::snprintf(line, sizeof line, "%s:  %s %d,   %s %d", peaks, maxLabel, maxPeak, minLabel,
                      minPeak);
    }
    Text(dc, 40, 85, line);
    platform::SelectFont(dc, oldFont);
    platform::DeleteFont(font);
}

void DrawPrintAxes(platform::DeviceContext dc, int x0, int y0) {
    platform::PenHandle oldPen = platform::SelectPen(dc, displayObjects.axisPen);
    Line(dc, x0, y0, x0 + 511, y0);
    Line(dc, x0 + 511, y0, x0 + 506, y0 - 5);
    Line(dc, x0 + 511, y0, x0 + 506, y0 + 5);
    Line(dc, x0 + 501, y0 + 5, x0 + 501, y0 - 310);
    Line(dc, x0 + 501, y0 - 310, x0 + 506, y0 - 305);
    Line(dc, x0 + 501, y0 - 310, x0 + 496, y0 - 305);
    for (int percent : {25, 50, 75, 100}) {
        Line(dc, x0 + 501, y0 - 3 * percent, x0 + 504, y0 - 3 * percent);
    }
    for (int x : {x0 + 335, x0 + 168, x0}) {
        Line(dc, x, y0, x, y0 + 3);
    }
    // Like the screen: without an identity the limit words may be another device's.
    if (IdentityKnown()) {
        platform::SelectPen(dc, displayObjects.limitPen);
        if (Word(limit1Mode) != 0) {
            const int y = y0 - 3 * Word(limit1Setpoint);
            Line(dc, x0, y, x0 + 501, y);
        }
        if (Word(limit2Mode) != 0) {
            const int y = y0 - 3 * Word(limit2Setpoint);
            Line(dc, x0, y, x0 + 501, y);
        }
    }

    platform::FontHandle oldFont = platform::SelectFont(dc, displayObjects.scaleFont);
    const int oldAlign =
        platform::SetTextAlign(dc, platform::kAlignCenter | platform::kAlignBottom);
    Text(dc, x0 + 501, y0 - 315, "P[%]");
    platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignBottom);
    Text(dc, x0 + 509, y0 - 68, "25");
    Text(dc, x0 + 509, y0 - 143, "50");
    Text(dc, x0 + 509, y0 - 218, "75");
    Text(dc, x0 + 509, y0 - 293, "100");
    platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignTop);
    Text(dc, x0 + 501, y0 + 5, "t[s]");
    platform::SetTextAlign(dc, platform::kAlignCenter | platform::kAlignTop);
    const char(*labels)[6] = kRollLabels[CurrentRollIndex()];
    Text(dc, x0 + 335, y0 + 8, labels[0]);
    Text(dc, x0 + 168, y0 + 8, labels[1]);
    Text(dc, x0, y0 + 8, labels[2]);
    platform::SetTextAlign(dc, oldAlign);
    platform::SelectPen(dc, oldPen);
    platform::SelectFont(dc, oldFont);
}

void DrawPrintTrend(platform::DeviceContext dc, int x0, int y0) {
    // The same samples as the screen's full redraw: only those measured, each in the column it
    // has in the full picture, and no curve at all before the first one.
    const int count = trendBuffer.historyCount;
    if (trendBuffer.awaitingFirstSample || count == 0) {
        return;
    }
    platform::PenHandle oldPen = platform::SelectPen(dc, displayObjects.curvePen);
    const int32_t* history = trendBuffer.historyRing;
    const int pos = trendBuffer.historyPos;
    const int skip = kTrendSize - count;
    auto height = [](int32_t s) { return s + s / 2; };
    platform::MoveTo(dc, x0 + skip, y0 - height(history[(pos + skip) % kTrendSize]));
    for (int i = skip + 1; i < kTrendSize; ++i) {
        platform::LineTo(dc, x0 + i, y0 - height(history[(pos + i) % kTrendSize]));
    }
    platform::SelectPen(dc, oldPen);
}

void PrintParameterList(platform::DeviceContext dc, int x1, int y1) {
    const int oldAlign = platform::SetTextAlign(dc, platform::kAlignLeft | platform::kAlignBottom);
    const int c1 = x1 + 20;
    const int c2 = x1 + 160;
    char text[kSlotSize];

    platform::FontHandle font = ReportFont(15, true);
    platform::FontHandle oldFont = platform::SelectFont(dc, font);
    CopySlotText(text, 32);
    Text(dc, c1, y1 + 15, text);
    platform::SelectFont(dc, oldFont);
    platform::DeleteFont(font);

    font = ReportFont(10, true);
    platform::SelectFont(dc, font);
    const struct {
        int x, y, slot;
    } kTitles[] = {{c1, 35, 20}, {c1, 140, 21}, {c1, 245, 22}, {c2, 35, 23},
                   {c2, 80, 12}, {c2, 155, 15}, {c2, 215, 16}};
    for (const auto& title : kTitles) {
        CopySlotText(text, title.slot);
        Text(dc, title.x, y1 + title.y, text);
    }
    platform::SelectFont(dc, oldFont);
    platform::DeleteFont(font);

    font = ReportFont(10, false);
    platform::SelectFont(dc, font);
    char value[kSlotSize];
    const uint16_t range = Word(timerRange);
    auto time = [&value, range](uint16_t word) {
        char t[16];
        FormatPrintTime(word, range, t);
        std::snprintf(value, sizeof value, "%s", t);
    };
    // The two limits share one layout, 105 units apart.
    const int limits[2][5] = {
        {limit1Mode, limit1Setpoint, limit1Tr, limit1AutoReset, limit1Hysteresis},
        {limit2Mode, limit2Setpoint, limit2Tr, limit2AutoReset, limit2Hysteresis}};
    for (int i = 0; i < 2; ++i) {
        const int y = y1 + 50 + 105 * i;
        ModeOrOff(Word(limits[i][0]), 0, 2, value);
        LabelledLine(dc, c1, y, 55, value);
        Percent(Word(limits[i][1]), value);
        LabelledLine(dc, c1, y + 15, 59, value);
        time(Word(limits[i][2]));
        LabelledLine(dc, c1, y + 30, 61, value);
        OffOn(Word(limits[i][3]), value);
        LabelledLine(dc, c1, y + 45, 51, value);
        PercentOrNone(Word(limits[i][3]) != 0, Word(limits[i][4]), value);
        LabelledLine(dc, c1, y + 60, 53, value);
    }
    const bool dpdtOn = Word(dpdtMode) != 0;
    ModeOrOff(Word(dpdtMode), 2, 2, value);
    LabelledLine(dc, c1, y1 + 260, 55, value);
    PercentOrNone(dpdtOn, Word(dpdtSetpoint), value);
    LabelledLine(dc, c1, y1 + 275, 59, value);
    PercentOrNone(dpdtOn, Word(dudt), value);
    LabelledLine(dc, c1, y1 + 290, 60, value);

    time(Word(ts));
    LabelledLine(dc, c2, y1 + 50, 62, value);
    LabelledLine(dc, c2, y1 + 95, 54, Word(iout) == 0 ? "0-20mA" : "4-20mA");
    LabelledLine(dc, c2, y1 + 110, 58, Word(analogPolarity) == 0 ? "Norm." : "Inv.");
    if (Word(filter) == 0) {
        CopySlotText(value, 19);
    } else {
        std::snprintf(value, sizeof value, "%s", ModeText(Word(filter), 4, 3));
    }
    LabelledLine(dc, c2, y1 + 125, 52, value);
    Percent(Word(p1Max), value);
    LabelledLine(dc, c2, y1 + 170, 56, value);
    Percent(Word(p1Min), value);
    LabelledLine(dc, c2, y1 + 185, 57, value);
    LabelledLine(dc, c2, y1 + 230, 58, Word(outputPolarity) == 0 ? "n.inv" : "inv");
    OffOn(Word(autoShutDown), value);
    LabelledLine(dc, c2, y1 + 260, 50, value);
    platform::SelectFont(dc, oldFont);
    platform::DeleteFont(font);
    platform::SetTextAlign(dc, oldAlign);
}

int32_t PrintReport(platform::DeviceContext printer) {
    if (platform::StartDoc(printer, titleBuffer) <= 0) {
        return kResultPrintDocument;
    }
    if (platform::StartPage(printer) <= 0) {
        return kResultPrintPage;
    }
    const int width = platform::GetDeviceWidth(printer);
    const int height = platform::GetDeviceHeight(printer);
    // A square printable area counts as landscape.
    const PageLayout& page = width < height ? kPortrait : kLandscape;
    platform::SetAnisotropicMapping(printer, page.width, page.height, width, height);
    PrintHeader(printer);
    DrawPrintAxes(printer, page.x0, page.y0);
    DrawPrintTrend(printer, page.x0, page.y0);
    PrintParameterList(printer, page.x1, page.y1);
    if (platform::EndPage(printer) <= 0) {
        return kResultPrintEndPage;
    }
    if (platform::EndDoc(printer) <= 0) {
        return kResultPrintEndPage;
    }
    return 0;
}

void RunPrintCommand(platform::WindowHandle owner) {
    platform::DeviceContext printer = nullptr;
    if (SelectPrinter(owner, &printer) != 0) {
        ShowSlotMessage(owner, 86, 33, 0);
        return;
    }
    if (printer == nullptr) {
        return;  // cancelled
    }
    const int32_t result = PrintReport(printer);
    platform::DeletePrinterContext(printer);
    if (result != 0) {
        ShowSlotMessage(owner, 89, 33, result);
    }
}
