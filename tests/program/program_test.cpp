// The built kvxmon as a user starts it on a real X server (Xvfb) with key auto-repeat on, driven
// from outside by xdotool, with a fake device on a pty that counts the commands on the wire and
// streams measurements for the trend graph. (Without a display: tests/CMakeLists.txt.)
#include <gtest/gtest.h>
#include <sys/file.h>

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
    // An X client on this server; its exit status.
    auto x = [&server](const std::string& command) {
        return std::system(("DISPLAY=" + server.display + " " + command).c_str());
    };
    ASSERT_EQ(x("xset r on"), 0);
    ASSERT_EQ(x("xset r rate 250 30"), 0);  // a desktop's usual repeat

    FakeDevice device(false);
    device.measurement.store(20);
    TempFolder dir;
    const std::string shot = dir / "shot.png";
    Process kvxmon;
    kvxmon.pid = StartKvxmonOnX(server.display, device.path(), dir,
                                {"KVXMON_SCREENSHOT=" + shot, "KVXMON_SCREENSHOT_AFTER=6"});
    const std::string window = WaitForWindow(server.display, "Korvex Configuration tool");
    ASSERT_FALSE(window.empty()) << "the window did not appear: " << ReadText(dir / "log");
    ASSERT_EQ(x("xdotool windowfocus --sync " + window), 0);
    SleepMs(300);

    auto hold = [&x](const std::string& key) {
        ASSERT_EQ(x("xdotool keydown " + key), 0);
        SleepMs(800);  // some 15 repeats
        ASSERT_EQ(x("xdotool keyup " + key), 0);
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

namespace {

// A settings record (English) unlike the defaults in every field, reserved bytes included, so a
// file written from anything but the record read shows.
std::vector<uint8_t> StoredSettings() {
    std::vector<uint8_t> record(280);
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    // COM1, roll 60 s, stop at alarm on, English.
    for (auto [at, value] : {std::pair{0, 1}, {260, 2}, {262, 1}, {264, 0}}) {
        record[at] = static_cast<uint8_t>(value);
        record[at + 1] = 0;
    }
    return record;
}

}  // namespace

// A termination signal ends it as its close does, running and at a start-up box (settings file
// unreadable; port held by another program, whose line settings must stay). So does the X server
// going away (signal 0 below), with status 1 and one line that says why.
TEST(Program, TerminationSignalsAndALostDisplayEndItAsAClose) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
    }
    ForgetDisplayAndPorts();
    XServer server;
    ASSERT_TRUE(server.Start("1024x768x24")) << "Xvfb did not start";
    struct Case {
        const char* window;  // its title
        int signal;
        int times;  // a closing terminal sends SIGHUP twice at once
    };
    const Case cases[] = {{"Korvex Configuration tool", SIGTERM, 1},
                          {"Error!", SIGINT, 1},
                          {"Error!", SIGHUP, 2},
                          {"Communication", SIGTERM, 1},
                          {"Communication", SIGHUP, 2},
                          {"Korvex Configuration tool", 0, 1}};  // the last: the server goes
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.window) + ", signal " + std::to_string(c.signal));
        const bool unreadable = std::string(c.window) == "Error!";
        const bool portHeld = std::string(c.window) == "Communication";
        FakeDevice device(false);
        device.measurement.store(40);
        TempFolder dir;
        // An empty settings file cannot be read: its box comes before the port is opened, and
        // the close writes the defaults. A held port keeps the stored record, marked not open.
        std::vector<uint8_t> expected = StoredSettings();
        WriteBytes(dir / "KVXMon.cnf", unreadable ? std::vector<uint8_t>{} : expected);
        if (portHeld) {
            expected[0] = 11;
        } else if (unreadable) {
            expected.assign(280, 0);
            expected[0] = 1;
            expected[260] = 1;
        }
        const int line = open(device.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(line, 0);
        const termios original = SetForeignLineSettings(line);
        ASSERT_TRUE(!portHeld || flock(line, LOCK_EX | LOCK_NB) == 0);

        Process kvxmon;
        kvxmon.pid = StartKvxmonOnX(server.display, device.path(), dir);
        ASSERT_GT(kvxmon.pid, 0);
        ASSERT_FALSE(WaitForWindow(server.display, c.window).empty())
            << "it did not appear: " << ReadText(dir / "log");
        if (!unreadable && !portHeld) {
            termios running{};
            ASSERT_EQ(tcgetattr(line, &running), 0);
            ASSERT_EQ(cfgetospeed(&running), B9600) << "the port is not open";
            SleepMs(300);  // streaming, painting, ticking: only the close writes the file again
            ASSERT_TRUE(std::filesystem::remove(dir / "KVXMon.cnf"));
        }
        for (int i = 0; i < c.times; ++i) {
            ASSERT_EQ(c.signal == 0 ? (server.Stop(), 0) : kill(kvxmon.pid, c.signal), 0);
            SleepMs(2);
        }
        int status = 0;
        ASSERT_TRUE(Reap(kvxmon.pid, 5000, &status)) << "still running 5 s later";
        kvxmon.pid = -1;
        const std::string said = ReadText(dir / "log");
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.signal == 0 ? 1 : 0) << said;
        if (c.signal == 0) {
            const auto lines = Lines(said);
            EXPECT_EQ(std::count(lines.begin(), lines.end(),
                                 "kvxmon: the connection to the display was lost; settings saved, "
                                 "port closed"),
                      1)
                << said;
        }
        termios after{};
        ASSERT_EQ(tcgetattr(line, &after), 0);
        EXPECT_TRUE(SameLineSettings(original, after)) << "the line's settings were not restored";
        EXPECT_FALSE(LineExclusive(line));
        EXPECT_EQ(ReadBytes(dir / "KVXMon.cnf"), expected);
        close(line);
    }
}
