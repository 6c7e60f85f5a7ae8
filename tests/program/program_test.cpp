// The built kvxmon as a user starts it on a real X server (Xvfb) with key auto-repeat on, driven
// from outside by xdotool, with a fake device on a pty that counts the commands on the wire and
// streams measurements for the trend graph. (Without a display: tests/CMakeLists.txt.)
#include <gtest/gtest.h>

#include <QImage>

#include "support/process_test.h"
#include "window/fake_device.h"

namespace {

// Nothing that names a display, a platform or a port reaches the program unless a test gives it.
void ForgetDisplayAndPorts() {
    std::vector<std::string> names = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind("KVXMON_", 0) == 0) {
            names.push_back(text.substr(0, text.find('=')));
        }
    }
    for (const std::string& name : names) {
        unsetenv(name.c_str());
    }
}

}  // namespace

TEST(Program, HeldKeysActOnceOnARealXServer) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("xset")) {
        GTEST_SKIP() << "Xvfb, xdotool and xset are needed (scripts/install-deps.sh installs them)";
    }
    ForgetDisplayAndPorts();
    XServer server;
    ASSERT_TRUE(server.Start("1280x800x24")) << "Xvfb did not start";
    const std::vector<std::string> x = {"DISPLAY=" + server.display};
    ASSERT_EQ(RunToEnd({"xset", "r", "on"}, x), 0);
    ASSERT_EQ(RunToEnd({"xset", "r", "rate", "250", "30"}, x), 0);  // a desktop's usual repeat

    FakeDevice device(false);
    device.measurement.store(20);
    TempFolder dir;
    const std::string shot = dir / "shot.png";
    Process kvxmon;
    kvxmon.pid =
        Spawn({KVXMON_BUILT}, dir.path,
              {"DISPLAY=" + server.display, "QT_QPA_PLATFORM=xcb", "KVXMON_COM1=" + device.path(),
               "KVXMON_SCREENSHOT=" + shot, "KVXMON_SCREENSHOT_AFTER=6"});
    ASSERT_GT(kvxmon.pid, 0);
    ASSERT_EQ(RunToEnd({"timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                        "Korvex Configuration tool", "windowfocus", "--sync"},
                       x),
              0)
        << "the window did not appear";
    SleepMs(300);

    auto hold = [&x](const char* key) {
        ASSERT_EQ(RunToEnd({"xdotool", "keydown", key}, x), 0);
        SleepMs(800);  // some 15 repeats
        ASSERT_EQ(RunToEnd({"xdotool", "keyup", key}, x), 0);
        SleepMs(200);
    };
    // One hold of Pause freezes the graph: the higher values that follow are never drawn.
    hold("Pause");
    device.measurement.store(80);
    hold("space");
    hold("space");
    SleepMs(300);
    const auto sent = device.Received();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), CMD_SPACE), 2);

    // The screenshot comes 6 s after the start, after the holds; it is read once it is whole.
    QImage image;
    for (int i = 0; i < 200 && image.isNull(); ++i) {
        SleepMs(100);
        image.load(QString::fromStdString(shot));
    }
    ASSERT_FALSE(image.isNull()) << "no screenshot";
    // The curve at 20 % lies on y 255, at 80 % on y 135 (0 % on y 295, two pixels per percent).
    auto curvePixels = [&image](int y) {
        int n = 0;
        for (int px = 365; px < 867; ++px) {
            n += image.pixel(px, y) == qRgb(0, 0, 255);
        }
        return n;
    };
    EXPECT_GT(curvePixels(255), 0);
    EXPECT_EQ(curvePixels(135), 0) << "the graph ran on: Pause toggled an even number of times";
}
