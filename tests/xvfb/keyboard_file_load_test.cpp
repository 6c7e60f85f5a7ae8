// End to end through a real X server: kvxmon runs under Xvfb on a fake device (a pty), and the
// keyboard alone (Alt+F, L, a full path typed into the file name field, Return) loads a parameter
// file whose 22 words must then reach the wire in the transfer order, followed by the poll that
// confirms them.
#include <gtest/gtest.h>

#include <cstdio>

#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "support/process_test.h"
#include "window/fake_device.h"

namespace {

TEST(KeyboardFileLoad, AltFLTypedPathAndReturnSendThe22WordsAndConfirm) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
    }
    XServer server;
    ASSERT_TRUE(server.Start("1280x1024x24")) << "Xvfb did not report a display";
    const std::vector<std::string> x = {"DISPLAY=" + server.display};
    auto xdotool = [&x](std::vector<std::string> args) {
        args.insert(args.begin(), {"timeout", "10", "xdotool"});
        return RunToEnd(args, x);
    };
    FakeDevice device(false);  // silent: the confirming poll is the last thing awaited

    TempFolder folder;
    const std::filesystem::path dir = folder.path;
    std::filesystem::create_directories(dir / "sub folder");
    std::filesystem::create_directories(dir / "runtime");
    std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
    // Valid words, each different from its neighbours, and an identity.
    uint8_t record[kParameterFileSize] = {};
    std::vector<uint16_t> expected;
    for (int i = 0; i < kParameterCount; ++i) {
        const auto value = static_cast<uint16_t>(kParameterTable[i].maxValue - i % 2);
        record[2 * i] = static_cast<uint8_t>(value & 0xFF);
        record[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    for (int word : kTransferOrder) {
        expected.push_back(static_cast<uint16_t>(kParameterTable[word].transferCode +
                                                 (record[2 * word] | record[2 * word + 1] << 8)));
    }
    expected.push_back(CMD_POLL);  // the confirmation
    std::snprintf(reinterpret_cast<char*>(record + 44), 44, "E2E-UNIT");
    const std::string file = (dir / "sub folder" / "typed.kvx").string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<char*>(record), sizeof record);

    Process program;
    program.pid = Spawn(
        {KVXMON_BUILT}, folder.path,
        {"DISPLAY=" + server.display, "KVXMON_COM1=" + device.path(), "QT_QPA_PLATFORM=xcb",
         "HOME=" + dir.string(), "XDG_RUNTIME_DIR=" + (dir / "runtime").string(), "LANG=C.UTF-8"});
    ASSERT_GT(program.pid, 0);
    // No window manager gives the focus: the test does, as a click would.
    ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Korvex Configuration tool$",
                       "windowfocus", "--sync"}),
              0)
        << "kvxmon showed no window";
    SleepMs(1000);  // start-up polls
    const size_t before = device.Received().size();
    xdotool({"key", "alt+f"});
    SleepMs(300);
    xdotool({"key", "l"});
    ASSERT_EQ(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Open$"}), 0)
        << "Alt+F, L opened no file dialog";
    SleepMs(300);
    xdotool({"type", "--delay", "15", file});
    SleepMs(200);
    xdotool({"key", "Return"});

    // 22 ticks of 47 ms, then the poll.
    std::vector<uint16_t> words = device.WaitForCount(before + expected.size(), 8000);
    words.erase(words.begin(), words.begin() + static_cast<long>(before));
    // Identity polls may come before the load; everything after the first word is the load.
    while (!words.empty() && words.front() == CMD_POLL) {
        words.erase(words.begin());
    }
    words.resize(std::min(words.size(), expected.size()));
    EXPECT_EQ(words, expected);
}

}  // namespace
