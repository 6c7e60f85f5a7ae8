// Program entry: the window system, the main window, the message loop.
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "platform/window.h"
#include "records/settings.h"

int main(int argc, char** argv) {
    if (!platform::InitApplication(argc, argv)) {
        // Before anything is opened: no port is held and no settings file is written.
        std::fputs("kvxmon: no display; set DISPLAY, or run it under xvfb-run\n", stderr);
        return 1;
    }
    SetSettingsDefaults(settings);
    platform::WindowHandle window = StartMainWindow();
    if (window == nullptr) {
        return 0;
    }
    // For demonstrations: KVXMON_SCREENSHOT=file.png saves the client image after
    // KVXMON_SCREENSHOT_AFTER seconds (8 unless given).
    if (const char* path = std::getenv("KVXMON_SCREENSHOT"); path != nullptr && *path != 0) {
        int seconds = 8;
        if (const char* after = std::getenv("KVXMON_SCREENSHOT_AFTER")) {
            seconds = std::atoi(after);
        }
        ScheduleScreenshot(window, path, (seconds > 0 ? seconds : 1) * 1000);
    }
    return platform::RunMessageLoop();
}
