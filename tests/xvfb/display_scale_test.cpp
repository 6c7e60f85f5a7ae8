// KVXMon under Xvfb at 100 %, 150 % and 200 % display scaling (QT_SCALE_FACTOR), looked at from
// outside: the window lies on the screen, and a screenshot (xwd) shows texts and curve drawn at
// the display's resolution, not the 1:1 picture enlarged with every pixel doubled.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "app/main_window.h"
#include "support/process_test.h"

namespace {

// A screenshot in X's window dump format: big-endian header, colour map, then rows of pixels.
struct Dump {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

bool ReadDump(const std::string& path, Dump* out) {
    const std::vector<uint8_t> b = ReadBytes(path);
    auto be32 = [&b](size_t i) {
        return static_cast<uint32_t>(b[4 * i] << 24 | b[4 * i + 1] << 16 | b[4 * i + 2] << 8 |
                                     b[4 * i + 3]);
    };
    if (b.size() < 100 || be32(2) != 2) {  // ZPixmap
        return false;
    }
    const uint32_t bytesPerPixel = be32(11) / 8, stride = be32(12);
    const bool lsbFirst = be32(7) == 0;
    const uint32_t masks[3] = {be32(14), be32(15), be32(16)};
    const size_t start = be32(0) + 12 * static_cast<size_t>(be32(19));
    out->width = static_cast<int>(be32(4));
    out->height = static_cast<int>(be32(5));
    if (bytesPerPixel < 3 || b.size() < start + stride * static_cast<size_t>(out->height)) {
        return false;
    }
    out->rgb.resize(static_cast<size_t>(out->width) * out->height);
    for (int y = 0; y < out->height; ++y) {
        for (int x = 0; x < out->width; ++x) {
            const uint8_t* p = &b[start + stride * y + bytesPerPixel * x];
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytesPerPixel; ++i) {
                v |= static_cast<uint32_t>(p[i]) << 8 * (lsbFirst ? i : bytesPerPixel - 1 - i);
            }
            uint32_t c = 0;
            for (uint32_t mask : masks) {
                c = c << 8 | (v & mask) >> __builtin_ctz(mask);
            }
            out->rgb[static_cast<size_t>(y) * out->width + x] = c;
        }
    }
    return true;
}

// "KEY=value" lines of xdotool's --shell output.
std::map<std::string, int> ShellValues(const std::string& text) {
    std::map<std::string, int> values;
    for (const std::string& line : Lines(text)) {
        if (const size_t eq = line.find('='); eq != std::string::npos) {
            values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
        }
    }
    return values;
}

struct Case {
    const char* scale;
    const char* screen;
    bool fits;  // the screen has room for the whole window
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.scale << " on " << c.screen;
}

class DisplayScale : public ::testing::TestWithParam<Case> {};

TEST_P(DisplayScale, WindowOnTheScreenTextAndCurveAtTheDisplaysResolution) {
    if (!OnPath("Xvfb") || !OnPath("xdotool") || !OnPath("xwd")) {
        GTEST_SKIP() << "Xvfb, xdotool and xwd are needed (scripts/install-deps.sh installs them)";
    }
    const Case c = GetParam();
    const double ratio = std::atof(c.scale);
    auto device = [ratio](int logical) {
        return static_cast<int>(std::floor(logical * ratio + 0.5));
    };
    XServer server;
    ASSERT_TRUE(server.Start(c.screen)) << "Xvfb did not report a display";
    Kvxsim sim;
    ASSERT_TRUE(sim.Start({"--identity", "KVX-SCALE 1", "--wave", "sine", "--period", "2", "--min",
                           "15", "--max", "85"}));
    TempFolder folder;
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    const std::string log = folder / "kvxmon.log";
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Process program;
    program.pid =
        Spawn({KVXMON_BUILT}, folder.path,
              {"DISPLAY=" + server.display, "KVXMON_COM1=" + sim.link, "QT_QPA_PLATFORM=xcb",
               std::string("QT_SCALE_FACTOR=") + c.scale, "HOME=" + folder.path,
               "XDG_RUNTIME_DIR=" + (folder / "runtime"), "LANG=C.UTF-8"},
              logFd, logFd);
    close(logFd);
    ASSERT_GT(program.pid, 0);
    const std::string xdotool = "DISPLAY=" + server.display + " xdotool ";
    std::string window;
    bool ended = false;  // then at once, not after the limit
    ASSERT_TRUE(WaitUntil(
                    [&] {
                        if (waitpid(program.pid, nullptr, WNOHANG) == program.pid) {
                            program.pid = -1;  // reaped
                            return ended = true;
                        }
                        window = Shell(xdotool +
                                       "search --onlyvisible --name '^Korvex Configuration tool$'");
                        return !window.empty();
                    },
                    30000) &&
                !ended)
        << "kvxmon showed no window: " << ReadText(log)
        << Shell("DISPLAY=" + server.display + " xwininfo -root -tree");
    window = window.substr(0, window.find('\n'));
    SleepMs(3000);  // a few periods of the curve

    auto at = ShellValues(Shell(xdotool + "getwindowgeometry --shell " + window));
    int screenWidth = 0, screenHeight = 0;
    std::istringstream(Shell(xdotool + "getdisplaygeometry")) >> screenWidth >> screenHeight;
    const int x = at["X"], y = at["Y"], width = at["WIDTH"], height = at["HEIGHT"];
    EXPECT_EQ(width, device(kClientWidth));
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    if (c.fits) {
        EXPECT_LE(x + width, screenWidth);
        EXPECT_LE(y + height, screenHeight);
    }
    if (!c.fits || ratio != 2) {
        return;
    }
    const std::string shot = folder / "screen.xwd";
    ASSERT_EQ(std::system(("DISPLAY=" + server.display + " xwd -root -silent > " + shot).c_str()),
              0);
    Dump dump;
    ASSERT_TRUE(ReadDump(shot, &dump));
    const int left = x, top = y + height - device(kClientHeight);  // the client lies below the menu
    // The 1:1 picture enlarged would be made of uniform 2 x 2 blocks, at one of the four ways of
    // laying them; drawn at the display's resolution, edges step by single pixels in every way.
    // Texts: the panel's labels; curve: the graph's newest part. Texts are monochrome glyphs in
    // black on the panel's grey, never blurred by scaling.
    struct Area {
        int l, t, r, b;
    };
    for (const Area& area : {Area{30, 80, 180, 280}, Area{700, 96, 866, 295}}) {
        int fewest = INT_MAX;
        for (int phase = 0; phase < 4; ++phase) {
            int uneven = 0;
            for (int py = device(area.t) + phase / 2; py < device(area.b); py += 2) {
                for (int px = device(area.l) + phase % 2; px < device(area.r); px += 2) {
                    const uint32_t p = dump.At(left + px, top + py);
                    uneven += dump.At(left + px + 1, top + py) != p ||
                              dump.At(left + px, top + py + 1) != p ||
                              dump.At(left + px + 1, top + py + 1) != p;
                }
            }
            fewest = std::min(fewest, uneven);
        }
        EXPECT_GT(fewest, 100) << area.l << "," << area.t;
    }
    for (int py = device(80); py < device(280); ++py) {
        for (int px = device(30); px < device(180); ++px) {
            const uint32_t p = dump.At(left + px, top + py);
            ASSERT_TRUE(p == 0x000000 || p == 0xD2D2D2) << px << "," << py << ": " << std::hex << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, DisplayScale,
                         ::testing::Values(Case{"1", "1280x1024x24", true},
                                           Case{"1.5", "1600x1200x24", true},
                                           Case{"2", "2048x1536x24", true},
                                           Case{"2", "1280x1024x24", false}));

}  // namespace
