// The window's paint paths as the message loop runs them: one 20 ms graph tick with 0, 1 and 10
// samples pending, one panel repaint (the 300 ms rule after a value changed) and one full client
// repaint (erased and redrawn), each from the message to the painted client image. Qt shows a
// changed region on its next frame; what that costs for the graph area is measured apart
// (BM_ShowGraphArea). Headless by default; with QT_QPA_PLATFORM=xcb and a DISPLAY the showing
// includes the flush to the X server.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "platform/window_widgets.h"
#include "records/settings.h"
#include "records/window_state.h"

namespace {

platform::WindowHandle BenchWindow() {
    static platform::WindowHandle window = [] {
        static int argc = 1;
        static char name[] = "kvx_bench";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // A scratch folder for the settings file, and no port: the window runs without a link.
        const auto folder = std::filesystem::temp_directory_path() / "kvx_bench";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        setenv("KVXMON_COM1", (folder / "absent").c_str(), 1);
        platform::InitApplication(argc, argv);
        platform::SetMessageBoxHook(
            [](const char*, const char*, auto, auto) { return platform::MessageResult::Ok; });
        SetSettingsDefaults(settings);
        platform::WindowHandle created = StartMainWindow();
        // Ticks come from the benchmark alone.
        for (int id : {kGraphTimer, kLinkTimer, kPanelTimer, kIdentityTimer}) {
            platform::KillTimer(created, id);
        }
        // A device's picture: identity, values, a curve.
        char identity[kIdentitySize] = "KVX-SIM 1.0";
        StoreIdentity(identity);
        liveValues.maxPeak.store(120);
        liveValues.minPeak.store(30);
        liveValues.dPdtPeak.store(15);
        for (int i = 0; i < 400; ++i) {
            liveValues.measurement.store(50 + (i * 7) % 100);
            AppendTrendSample();
        }
        platform::InvalidateRect(created, nullptr, true);
        platform::UpdateWindow(created);
        QCoreApplication::processEvents();
        return created;
    }();
    return window;
}

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
