// The headless main window every window benchmark works on: created once per process in a
// scratch folder, without a link, its timers stopped so that ticks come from the benchmark alone,
// showing a device's identity, values and curve.
#pragma once

#include <stdlib.h>

#include <QCoreApplication>
#include <filesystem>

#include "app/main_window.h"
#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "records/settings.h"
#include "records/window_state.h"

// The scratch folder, the working directory once the window exists.
inline std::filesystem::path BenchFolder() {
    return std::filesystem::temp_directory_path() / "kvx_bench";
}

inline platform::WindowHandle BenchWindow() {
    static platform::WindowHandle window = [] {
        static int argc = 1;
        static char name[] = "kvx_bench";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // A scratch folder for the settings file, and no port: the window runs without a link.
        const auto folder = BenchFolder();
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
