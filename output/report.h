// The printed one-page report: header with identity, date and peaks, the trend graph and the
// listing of all 22 parameter words, drawn on a logical page of 600 x 860 (portrait) or 860 x 600
// (landscape) units, whichever matches the shape of the printable area.
#pragma once

#include <cstdint>

#include "platform/device_context.h"
#include "platform/handles.h"

// What PrintReport returns when the printer refuses the document, the page, or the end of the
// page or document; the command shows them with "Error printing".
inline constexpr int32_t kResultPrintDocument = 30004;
inline constexpr int32_t kResultPrintPage = 30005;
inline constexpr int32_t kResultPrintEndPage = 30006;

// Menu command Printer: choose the printer, print the report, report failures to owner.
void RunPrintCommand(platform::WindowHandle owner);

// 0 with a printer context, 0 without one when the user cancelled, or the error code.
uint32_t SelectPrinter(platform::WindowHandle owner, platform::DeviceContext* printer);
// One page and the end of the document; 0, or one of the kResultPrint codes. The caller deletes
// the context.
int32_t PrintReport(platform::DeviceContext printer);
void PrintHeader(platform::DeviceContext dc);
void DrawPrintAxes(platform::DeviceContext dc, int x0, int y0);
void DrawPrintTrend(platform::DeviceContext dc, int x0, int y0);
void PrintParameterList(platform::DeviceContext dc, int x1, int y1);

// A time word in the unit of timerRange: hundredths ("12.34s") for 0, else tenths ("123.4s").
void FormatPrintTime(uint16_t value, uint16_t timerRangeWord, char out[16]);
