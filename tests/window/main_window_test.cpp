#include "app/main_window.h"

#include <sys/stat.h>

#include "fake_device.h"
#include "link/serial_link.h"
#include "window_fixture.h"

using MainWindow = KvxWindowTest;

TEST_F(MainWindow, FirstStartCreatesSettingsFileWithDefaults) {
    ASSERT_NE(Start(), nullptr);
    std::vector<uint8_t> expected(kSettingsFileSize, 0);
    expected[0] = 1;    // COM1
    expected[260] = 1;  // 30 s
    EXPECT_EQ(ReadBytes("KVXMon.cnf"), expected);
    EXPECT_TRUE(platform::IsMenuItemChecked(window, 2017));
}

TEST_F(MainWindow, PortThatCannotOpenIsReportedOnceAndStaysChecked) {
    settings.comPort.store(13);  // stored by a run whose COM3 did not open
    settings.rollIndex.store(2);
    settings.stopAtAlarm.store(1);
    ASSERT_EQ(SaveSettings(settings), 0);
    SetSettingsDefaults(settings);
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(boxes, std::vector<std::string>{"Comm Port occupied or non-existing|Communication"});
    EXPECT_EQ(settings.comPort.load(), 13);
    for (int id : {2003, 2018, 2021, 2027}) {
        EXPECT_TRUE(platform::IsMenuItemChecked(window, id)) << id;
    }
}

TEST_F(MainWindow, MenuClicksMoveOnlyTheMarksTheProgramSetsAndSave) {
    ASSERT_NE(Start(), nullptr);
    // The client keeps its exact size below the menu bar.
    EXPECT_EQ(platform::ClientWidget(window)->size(), QSize(kClientWidth, kClientHeight));
    EXPECT_GT(platform::ClientWidget(window)->y(), 0);
    // The last clicks, on marks already set, move none.
    for (int id : {2016, 2021, 2127, 2227, 2127, 2001, 2016}) {
        platform::FindMenuAction(window, id)->trigger();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(platform::AttachedMenuCount(window), 1);
    for (int id : {2001, 2002, 2016, 2017, 2021, 2027, 2127}) {
        EXPECT_EQ(platform::IsMenuItemChecked(window, id), id != 2002 && id != 2017 && id != 2027)
            << id;
    }
    const auto file = ReadBytes("KVXMon.cnf");
    EXPECT_EQ(file[260] + 1000 * file[262] + file[264], 0 + 1000 + 100);
}

TEST_F(MainWindow, CloseSavesAndReleasesTheLinkExitDoesNotSave) {
    FakeDevice device(false, false);
    setenv("KVXMON_COM1", device.path().c_str(), 1);
    for (bool close : {true, false}) {
        ASSERT_NE(Start(), nullptr);
        EXPECT_TRUE(boxes.empty());
        settings.stopAtAlarm.store(settings.stopAtAlarm.load() ^ 1);
        if (close) {
            platform::WindowWidget(window)->close();  // as the title bar's close button does
        } else {
            Send(platform::MessageType::Command, kCmdExit);
        }
        window = nullptr;
        EXPECT_EQ(platform::RunMessageLoop(), 0);
        EXPECT_EQ(mainWindow.load(), nullptr);
        EXPECT_EQ(replyEvent.load(), nullptr);
        EXPECT_EQ(ReadBytes("KVXMon.cnf")[262], 1);  // saved on closing, not again on Exit
        // Both link threads are gone and the port is free again.
        ASSERT_EQ(OpenLink(1, 9600), 1);
        CloseLink();
    }
}

TEST_F(MainWindow, SettingsFileThatIsAFifoIsReportedNotWaitedFor) {
    ASSERT_EQ(mkfifo("KVXMon.cnf", 0600), 0);
    ASSERT_NE(Start(), nullptr);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].substr(0, boxes[0].find('|')), "Error opening configuration file: 22");
    EXPECT_EQ(boxes.size(), 2u);  // and the port's slot 85
}
