#include "app/main_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/settings.h"
#include "app/window_state.h"
#include "link/serial_link.h"
#include "window_fixture.h"

namespace {

std::vector<uint8_t> ReadSettingsFile() {
    std::ifstream in("KVXMon.cnf", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Checked(platform::WindowHandle window, int id) {
    return platform::IsMenuItemChecked(window, id);
}

}  // namespace

using MainWindow = KvxWindowTest;

TEST_F(MainWindow, FirstStartCreatesSettingsFileWithDefaults) {
    ASSERT_NE(Start(), nullptr);
    std::vector<uint8_t> expected(kSettingsFileSize, 0);
    expected[0] = 1;    // COM1
    expected[260] = 1;  // 30 s
    EXPECT_EQ(ReadSettingsFile(), expected);
}

TEST_F(MainWindow, PortThatCannotOpenIsReportedOnceAndStaysChecked) {
    settings.comPort.store(13);  // stored by a run whose COM3 did not open
    settings.rollIndex.store(2);
    settings.stopAtAlarm.store(1);
    ASSERT_EQ(SaveSettings(settings), 0);
    SetSettingsDefaults(settings);
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Comm Port occupied or non-existing");
    EXPECT_EQ(boxes[0].caption, "Communication");
    EXPECT_EQ(settings.comPort.load(), 13);
    for (int id : {2003, 2018, 2021, 2027}) {
        EXPECT_TRUE(Checked(window, id)) << id;
    }
    EXPECT_FALSE(Checked(window, 2001));
}

TEST_F(MainWindow, MenuCommandsMoveMarksAndSave) {
    ASSERT_NE(Start(), nullptr);
    Command(2016);
    EXPECT_TRUE(Checked(window, 2016));
    EXPECT_FALSE(Checked(window, 2017));
    EXPECT_EQ(ReadSettingsFile()[260], 0);
    Command(2021);
    EXPECT_TRUE(Checked(window, 2021));
    EXPECT_EQ(ReadSettingsFile()[262], 1);
    for (int id : {2127, 2227, 2127}) {
        Command(id);
    }
    EXPECT_EQ(platform::AttachedMenuCount(window), 1);
    for (int id : {2001, 2016, 2021, 2127}) {
        EXPECT_TRUE(Checked(window, id)) << id;
    }
    EXPECT_FALSE(Checked(window, 2227));
    EXPECT_EQ(ReadSettingsFile()[264], 100);
}

TEST_F(MainWindow, CloseSavesAndReleasesTheLink) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    setenv("KVXMON_COM1", ptsname(master), 1);
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(boxes.empty());
    settings.stopAtAlarm.store(1);
    platform::SendWindowMessage(window, {platform::MessageType::Close});
    window = nullptr;
    EXPECT_EQ(platform::RunMessageLoop(), 0);
    EXPECT_EQ(mainWindow.load(), nullptr);
    EXPECT_EQ(replyEvent.load(), nullptr);
    EXPECT_EQ(ReadSettingsFile()[262], 1);
    // Both threads are gone and the port is free: it opens again.
    EXPECT_EQ(OpenLink(1, 9600), 1);
    CloseLink();
    close(master);
}

TEST_F(MainWindow, ExitDoesNotSaveAgain) {
    ASSERT_NE(Start(), nullptr);
    settings.stopAtAlarm.store(1);
    Command(kCmdExit);
    window = nullptr;
    EXPECT_EQ(platform::RunMessageLoop(), 0);
    EXPECT_EQ(mainWindow.load(), nullptr);
    EXPECT_EQ(ReadSettingsFile()[262], 0);
}
