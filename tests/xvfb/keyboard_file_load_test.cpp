// End to end through a real X server: kvxmon runs under Xvfb on a fake device (a pty) and is
// driven by the keyboard alone through xdotool; what counts is what reaches the device's wire.
// A parameter file loaded by Alt+F, L, a full path typed into the file name field and Return must
// send its 22 words in the transfer order, followed by the poll that confirms them. In the
// parameter sheet, the page keys must switch pages from a list without ever changing it.
#include <gtest/gtest.h>

#include <cstdio>

#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "support/process_test.h"
#include "window/fake_device.h"

namespace {

class KeyboardUnderXvfb : public ::testing::Test {
  protected:
    XServer server;
    TempFolder folder;
    Process program;
    std::string display;

    void SetUp() override {
        if (!OnPath("Xvfb") || !OnPath("xdotool")) {
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
        }
        ASSERT_TRUE(server.Start("1280x1024x24")) << "Xvfb did not report a display";
        display = server.display;
    }
    std::string Run(const std::string& xdotoolArgs) {
        std::string out = Shell("DISPLAY=" + display + " xdotool " + xdotoolArgs + " 2>&1");
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }
    // Starts kvxmon on COM1 = the device in the scratch folder and gives its window the focus, as
    // a click would (there is no window manager); "" when no window came.
    std::string StartProgram(FakeDevice& device) {
        program.pid = StartKvxmonOnX(display, device.path(), folder);
        const std::string window = WaitForWindow(display, "Korvex Configuration tool");
        SleepMs(500);  // its start-up
        if (!window.empty()) {
            Run("windowfocus --sync " + window);
        }
        return window;
    }
};

TEST_F(KeyboardUnderXvfb, AltFLTypedPathAndReturnSendThe22WordsAndConfirm) {
    FakeDevice device(false);  // silent: the confirming poll is the last thing awaited

    const std::filesystem::path dir = folder.path;
    std::filesystem::create_directories(dir / "sub folder");
    const std::vector<uint8_t> record = DistinctRecord("E2E-UNIT");
    std::vector<uint16_t> expected = LoadWords(record);
    expected.push_back(CMD_POLL);  // the confirmation
    const std::string file = (dir / "sub folder" / "typed.kvx").string();
    WriteBytes(file, record);

    ASSERT_FALSE(StartProgram(device).empty()) << "kvxmon showed no window";
    const size_t before = device.Received().size();

    Run("key alt+f");
    SleepMs(400);
    Run("key l");
    ASSERT_FALSE(WaitForWindow(display, "Open", 10000).empty()) << "Alt+F, L opened no file dialog";
    SleepMs(300);
    Run("type --delay 15 '" + file + "'");
    SleepMs(300);
    Run("key Return");

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

// Each row opens the sheet with Alt+P on the same device, whose words start at 0 (every limit
// off, so Tab from the first list skips the disabled fields to the next list) and keep what the
// rows before sent. Only the words a row's keys really chose may reach the wire.
struct PageKeysCase {
    const char* what;
    const char* keys;
    std::vector<uint16_t> sent;  // besides polls
};
const PageKeysCase kPageKeysCases[] = {
    {"Ctrl+PageDown on a list leaves it as it was", "Tab ctrl+Page_Down Return", {}},
    {"Ctrl+Tab from a list reaches the next page's first control",
     "Tab ctrl+Tab Down Return",
     {3011}},
    {"the first key belongs to the first control", "Down Return", {3001}},
    {"Ctrl+PageUp and Ctrl+PageDown go round; Ctrl+Shift+Tab goes back",
     "ctrl+Page_Up ctrl+Page_Down ctrl+Page_Down ctrl+shift+Tab Down Return",
     {3002}},
};

TEST_F(KeyboardUnderXvfb, SheetPageKeysSwitchPagesAndNeverChangeAList) {
    FakeDevice device(true);
    const std::string window = StartProgram(device);
    ASSERT_FALSE(window.empty()) << "kvxmon showed no window";
    for (const PageKeysCase& c : kPageKeysCases) {
        SCOPED_TRACE(c.what);
        const size_t before = device.Received().size();
        Run("windowfocus --sync " + window);  // no window manager hands it back
        Run("key alt+p");
        ASSERT_FALSE(WaitForWindow(display, "Korvex Parameters", 5000).empty())
            << "Alt+P opened no sheet";
        SleepMs(300);
        Run(std::string("key --delay 100 ") + c.keys);
        EXPECT_TRUE(WaitUntil(
            [&] { return Run("search --onlyvisible --name '^Korvex Parameters$'").empty(); }, 3000))
            << "Return did not close the sheet";
        auto sent = [&] {
            std::vector<uint16_t> words = device.Received();
            words.erase(words.begin(), words.begin() + static_cast<long>(before));
            std::erase(words, CMD_POLL);
            return words;
        };
        WaitUntil([&] { return sent() == c.sent; }, 2000);  // a word per 47 ms tick
        SleepMs(250);                                       // and no word after them
        EXPECT_EQ(sent(), c.sent);
    }
}

}  // namespace
