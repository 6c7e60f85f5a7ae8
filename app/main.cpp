// Program entry: the window system, the main window, the message loop.
#include <cstdlib>

#include "app/main_window.h"
#include "platform/signals.h"
#include "platform/window.h"
#include "records/settings.h"

int main(int argc, char** argv) {
    platform::InitApplication(argc, argv);
    platform::CloseWindowsOnTerminationSignals();
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
