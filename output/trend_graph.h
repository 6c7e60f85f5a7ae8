// The rolling trend graph in the right part of the main window: axes and scale texts, the
// per-sample scroll of the running picture, the full redraw from the plotted history, and the
// 20 ms graph tick with its stop-at-alarm countdown.
#pragma once

#include "platform/device_context.h"
#include "platform/window.h"

// Scale texts under the time axis, by rollIndex, at x 702, 535 and 365.
extern const char kRollLabels[3][3][6];

// Axes, ticks, limit lines (while a device is identified) and the scale texts.
void DrawTrendAxes(platform::DeviceContext dc);
// The whole curve from the plotted history; nothing before the first sample was plotted.
void DrawTrendHistory(platform::DeviceContext dc);
// Scrolls the picture one pixel per pending sample and draws each new segment.
void DrawTrendIncrement(platform::DeviceContext dc);
// Timer 20: advances the stop-at-alarm countdown, then has the graph area repainted.
void TrendTick(platform::WindowHandle window);
// True when a graph tick now would change nothing: no countdown, no sample to plot, no refill
// asked for, and everything else its paint draws as it was at the last tick.
bool TrendTickIdle();
