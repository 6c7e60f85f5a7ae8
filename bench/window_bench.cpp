// The window's paint paths as the message loop runs them: one 20 ms graph tick with 0, 1 and 10
// samples pending, one panel repaint (the 300 ms rule after a value changed) and one full client
// repaint (erased and redrawn), each from the message to the painted client image. Qt shows a
// changed region on its next frame; what that costs for the graph area is measured apart
// (BM_ShowGraphArea). Headless by default; with QT_QPA_PLATFORM=xcb and a DISPLAY the showing
// includes the flush to the X server.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "app/main_window.h"
#include "bench/bench_window.h"
#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "platform/window.h"
#include "platform/qt/window_widgets.h"
#include "records/window_state.h"

namespace {

// What the event loop does after a message: run the paint; then let Qt take what is queued.
void PaintAndShow(platform::WindowHandle window) {
    platform::UpdateWindow(window);
    QCoreApplication::processEvents();
}

void BM_GraphTick(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    const int pending = static_cast<int>(state.range(0));
    int value = 0;
    for (auto _ : state) {
        for (int i = 0; i < pending; ++i) {
            value = (value + 3) % 200;
            liveValues.measurement.store(value);
            AppendTrendSample();
        }
        platform::SendWindowMessage(window, {platform::MessageType::Timer, kGraphTimer});
        PaintAndShow(window);
    }
}
BENCHMARK(BM_GraphTick)->Arg(0)->Arg(1)->Arg(10);

void BM_PanelRepaint(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    int value = 0;
    for (auto _ : state) {
        value = (value + 37) % 200;
        liveValues.measurement.store(value);
        windowFlags.valuesChanged.store(1);
        platform::SendWindowMessage(window, {platform::MessageType::Timer, kPanelTimer});
        PaintAndShow(window);
    }
}
BENCHMARK(BM_PanelRepaint);

void BM_FullClientRepaint(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    for (auto _ : state) {
        platform::InvalidateRect(window, nullptr, true);
        PaintAndShow(window);
    }
}
BENCHMARK(BM_FullClientRepaint);

// Qt showing the graph area once: the client widget's paint from the client image into the
// backing store, and its flush.
void BM_ShowGraphArea(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    QWidget* client = platform::ClientWidget(window);
    for (auto _ : state) {
        client->repaint(345, 60, 590, 265);
    }
}
BENCHMARK(BM_ShowGraphArea);

}  // namespace
