// Program entry: the window system, the main window, the message loop.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "link/serial_link.h"
#include "platform/signals.h"
#include "platform/window.h"
#include "records/settings.h"
#include "records/window_state.h"

namespace {

const char kHelp[] =
    "Usage: kvxmon [Qt options]\n"
    "Shows the live values of a Korvex power monitor on a serial line and edits its parameters.\n"
    "\n"
    "  -h, --help  this text\n"
    "  --version   the program's version\n"
    "Any other option goes to Qt, e.g. -platform xcb or -style Fusion.\n"
    "\n"
    "The settings file KVXMon.cnf is kept in the working directory. KVXMON_COM<n> names the\n"
    "device for port COM<n>, e.g. KVXMON_COM1=/dev/ttyUSB0. Opening a port needs membership\n"
    "of the device's group (on Debian: dialout). See kvxmon(1).\n";

// --help and --version answer on stdout before the window system starts, so they work without
// a display. -1 when neither was given; anything else goes to Qt as before.
int AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kvxmon %s\n", KVX_VERSION);
            return 0;
        }
    }
    return -1;
}

// The window system ends the process by itself when its connection breaks (the X server or the
// Wayland compositor went away): Qt then calls exit(1) from inside its event processing, and no
// close reaches the window. exit() still runs this handler, on the window thread, before the
// program's own objects are torn down, so what the close would do is done here: the settings
// saved and the link closed, its threads joined and the line's own settings restored. While the
// main window lives nothing of ours calls exit(), so an exit then is the display's loss; after an
// orderly close the window is gone and there is nothing left to do. No window-system call here:
// the connection is dead and Qt's own objects may already be gone.
void EndAsByCloseOnDisplayLoss() {
    if (mainWindow.load(std::memory_order_acquire) == nullptr) {
        return;
    }
    const int32_t saved = SaveSettings(settings);
    CloseLink();
    if (saved == 0) {
        std::fputs("kvxmon: the connection to the display was lost; settings saved, port closed\n",
                   stderr);
    } else {
        std::fprintf(stderr,
                     "kvxmon: the connection to the display was lost; port closed, settings not "
                     "saved (%ld)\n",
                     static_cast<long>(saved));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (int code = AnswerInfoOption(argc, argv); code >= 0) {
        return code;
    }
    if (!platform::InitApplication(argc, argv)) {
        // Before anything is opened: no port is held and no settings file is written.
        std::fputs("kvxmon: no display; set DISPLAY, or run it under xvfb-run\n", stderr);
        return 1;
    }
    platform::CloseWindowsOnTerminationSignals();
    std::atexit(EndAsByCloseOnDisplayLoss);
    // The window shows at most 25 frames a second and reads the values every 20 ms or slower:
    // bytes that wait up to 40 ms in the kernel change nothing a person sees, and spare the
    // process a wake-up for every message.
    SetReadGather(40);
    SetSettingsDefaults(settings);
    platform::WindowHandle window = StartMainWindow();
    if (window == nullptr) {
        // A window destroyed while it was being created may have opened the link after its
        // destruction had closed it; no thread outlives main.
        CloseLink();
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
    const int code = platform::RunMessageLoop();
    // Whatever ended the loop, the link is closed before main returns: its threads must not run
    // into the program's teardown.
    CloseLink();
    return code;
}
