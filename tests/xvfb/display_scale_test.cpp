// KVXMon under Xvfb at 100, 150 and 200 % scaling, seen from outside: the window comes up at the
// scaled size on the screen. Its drawing at the display's resolution: DisplayRatio.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "app/main_window.h"
#include "support/process_test.h"

namespace {

struct Case {
    const char* scale;
    const char* screen;
    bool fits;  // the screen has room for the whole window
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.scale << " on " << c.screen;
}

class DisplayScale : public ::testing::TestWithParam<Case> {};

TEST_P(DisplayScale, WindowAtTheScaledSizeOnTheScreen) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
    }
    const Case c = GetParam();
    const double ratio = std::atof(c.scale);
    auto device = [ratio](int logical) {
        return static_cast<int>(std::floor(logical * ratio + 0.5));
    };
    XServer server;
    ASSERT_TRUE(server.Start(c.screen)) << "Xvfb did not report a display";
    Kvxsim sim;
    ASSERT_TRUE(sim.Start({}));
    TempFolder folder;
    Process program;
    program.pid = StartKvxmonOnX(server.display, sim.link, folder,
                                 {std::string("QT_SCALE_FACTOR=") + c.scale});
    ASSERT_GT(program.pid, 0);
    const std::string xdotool = "DISPLAY=" + server.display + " xdotool ";
    const std::string window = WaitForWindow(server.display, "Korvex Configuration tool");
    ASSERT_FALSE(window.empty()) << "kvxmon showed no window: " << ReadText(folder / "log")
                                 << Shell("DISPLAY=" + server.display + " xwininfo -root -tree");
    SleepMs(300);  // settled on its place

    int x = -1, y = -1, width = 0, height = 0, screenWidth = 0, screenHeight = 0;
    std::sscanf(Shell(xdotool + "getwindowgeometry --shell " + window).c_str(),
                "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &width, &height);
    std::istringstream(Shell(xdotool + "getdisplaygeometry")) >> screenWidth >> screenHeight;
    EXPECT_EQ(width, device(kClientWidth));
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    if (c.fits) {
        EXPECT_LE(x + width, screenWidth);
        EXPECT_LE(y + height, screenHeight);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, DisplayScale,
                         ::testing::Values(Case{"1", "1280x1024x24", true},
                                           Case{"1.5", "1600x1200x24", true},
                                           Case{"2", "2048x1536x24", true},
                                           Case{"2", "1280x1024x24", false}));

}  // namespace
