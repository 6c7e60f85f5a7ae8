// kvxmon under Xvfb driven by the keyboard alone through xdotool: a file loaded by Alt+F, L, a
// typed path and Return sends its 22 words in order and the confirming poll; the sheet's page keys
// switch pages from a list without changing it; Print and Screen dump from the Tools menu write a
// report and a bitmap a later reader accepts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>

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
    std::string StartProgram(const std::string& port) {
        program.pid = StartKvxmonOnX(display, port, folder);
        const std::string window = WaitForWindow(display, "Korvex Configuration tool");
        SleepMs(500);  // its start-up
        if (!window.empty()) {
            Run("windowfocus --sync " + window);
        }
        return window;
    }
    // Hands a newly shown dialog the focus and waits until the server has it there: without a
    // window manager a dialog's first keys may otherwise still reach the window beneath it.
    bool Focus(const std::string& window) {
        Run("windowfocus --sync " + window);
        const bool focused = WaitUntil([&] { return Run("getwindowfocus") == window; }, 3000);
        SleepMs(300);  // Qt activates the window on the focus event
        return focused;
    }
    size_t WindowsShown() { return Lines(Run("search --onlyvisible --class kvxmon")).size(); }
    // Types a path into a file field. The field's completer may pop up a list while the folder is
    // read in the background; a Return while that list shows goes to the list, not the dialog, so
    // the list must be gone first.
    void TypePath(const std::string& path) {
        const size_t before = WindowsShown();
        Run("type --delay 10 '" + path + "'");
        SleepMs(300);  // the completer's last look at the folder
        WaitUntil([&] { return WindowsShown() <= before; }, 5000);
    }
    // The Tools menu by its mnemonic, then, once the menu shows, the item's key.
    bool Tools(const std::string& window, const char* key) {
        Run("windowfocus --sync " + window);
        const size_t before = WindowsShown();
        Run("key --clearmodifiers alt+t");
        const bool opened = WaitUntil([&] { return WindowsShown() > before; }, 5000);
        Run(std::string("key ") + key);
        return opened;
    }
    // "pages orientation" of a PDF once it is whole, "" when none came.
    static std::string Pdf(const std::string& file) {
        std::string info;
        WaitUntil(
            [&] {
                info = Shell("pdfinfo '" + file + "' 2>/dev/null | awk '/^Pages:/ { p = $2 } " +
                             "/^Page size:/ { o = $3 > $5 ? \"landscape\" : \"portrait\" } " +
                             "END { if (p) print p, o }'");
                return !info.empty();
            },
            10000);
        return info;
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

    ASSERT_FALSE(StartProgram(device.path()).empty()) << "kvxmon showed no window";
    const size_t before = device.Received().size();

    Run("key alt+f");
    SleepMs(400);
    Run("key l");
    const std::string open = WaitForWindow(display, "Open", 10000);
    ASSERT_FALSE(open.empty()) << "Alt+F, L opened no file dialog";
    ASSERT_TRUE(Focus(open));
    TypePath(file);
    Run("key Return");

    // 22 ticks of 47 ms, then the poll. A start-up poll may still come before the load;
    // everything from the first word on is the load.
    std::vector<uint16_t> words;
    WaitUntil(
        [&] {
            words = device.Received();
            words.erase(words.begin(), words.begin() + static_cast<long>(before));
            while (!words.empty() && words.front() == CMD_POLL) {
                words.erase(words.begin());
            }
            return words.size() >= expected.size();
        },
        8000);
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
    const std::string window = StartProgram(device.path());
    ASSERT_FALSE(window.empty()) << "kvxmon showed no window";
    for (const PageKeysCase& c : kPageKeysCases) {
        SCOPED_TRACE(c.what);
        const size_t before = device.Received().size();
        Run("windowfocus --sync " + window);  // no window manager hands it back
        Run("key alt+p");
        const std::string sheet = WaitForWindow(display, "Korvex Parameters", 5000);
        ASSERT_FALSE(sheet.empty()) << "Alt+P opened no sheet";
        ASSERT_TRUE(Focus(sheet));
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

TEST_F(KeyboardUnderXvfb, PrintAndScreenDumpFromTheToolsMenu) {
    if (!OnPath("pdfinfo") || !OnPath("pdftotext")) {
        GTEST_SKIP() << "pdfinfo and pdftotext are needed";
    }
    Kvxsim device;
    ASSERT_TRUE(device.Start(
        {"--identity", "KVX-XVFB 7", "--wave", "steady", "--min", "60", "--max", "60"}));
    const std::string window = StartProgram(device.link);
    ASSERT_FALSE(window.empty()) << "kvxmon showed no window";
    SleepMs(200);  // measurements and the identity poll

    // With no printer the dialog proposes KVXMon.pdf in the working folder, in portrait.
    ASSERT_TRUE(Tools(window, "p")) << "Alt+T opened no menu";
    const std::string dialog = WaitForWindow(display, "Print");
    ASSERT_FALSE(dialog.empty()) << "the print dialog did not appear";
    ASSERT_TRUE(Focus(dialog));
    Run("key Return");
    EXPECT_EQ(Pdf(folder / "KVXMon.pdf"), "1 portrait\n");
    const std::string text = Shell("pdftotext -layout '" + (folder / "KVXMon.pdf") + "' -");
    EXPECT_TRUE(std::regex_search(text, std::regex("Tessaron: *KVX-XVFB 7"))) << text;
    EXPECT_NE(text.find("Parameters"), std::string::npos) << text;

    // Landscape from the keyboard alone (Properties, Tab to the orientation, Down) and another
    // file; the next Print offers both again, so Return alone prints there in landscape.
    const std::string turned = folder / "turned.pdf";
    for (const bool choose : {true, false}) {
        ASSERT_TRUE(Tools(window, "p")) << "Alt+T opened no menu";
        const std::string dialog = WaitForWindow(display, "Print");
        ASSERT_FALSE(dialog.empty()) << "the print dialog did not appear again";
        ASSERT_TRUE(Focus(dialog));
        if (choose) {
            Run("key alt+r");
            const std::string properties = WaitForWindow(display, "Printer Properties", 10000);
            ASSERT_FALSE(properties.empty()) << "Alt+R opened no printer properties";
            ASSERT_TRUE(Focus(properties));
            Run("key --delay 50 Tab Tab Tab Down Return");
            ASSERT_TRUE(WaitUntil(
                [&] { return Run("search --name '^Printer Properties$'").empty(); }, 5000))
                << "Return did not close the printer properties";
            ASSERT_TRUE(Focus(dialog));  // no window manager hands the focus back
            Run("key alt+f ctrl+a");
            TypePath(turned);
        }
        Run("key Return");
        EXPECT_EQ(Pdf(turned), "1 landscape\n") << (choose ? "chosen" : "offered again");
        std::filesystem::remove(turned);
    }

    // Screen dump: a full path typed into the save dialog's name field, then Return.
    ASSERT_TRUE(Tools(window, "s")) << "Alt+T opened no menu";
    const std::string save = WaitForWindow(display, "Save.*");
    ASSERT_FALSE(save.empty()) << "the save dialog did not appear";
    ASSERT_TRUE(Focus(save));
    TypePath(folder / "shot");
    Run("key Return");
    std::vector<uint8_t> bmp;  // named with the default extension, its size field the file's
    uint32_t size = 0;
    WaitUntil(
        [&] {
            bmp = ReadBytes(folder / "shot.bmp");
            return bmp.size() > 6 && (std::memcpy(&size, &bmp[2], 4), size == bmp.size());
        },
        10000);
    ASSERT_GT(bmp.size(), 6u) << "no bitmap was written";
    EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + 2), "BM");
    EXPECT_EQ(size, bmp.size());
}

}  // namespace
