// Menu commands through the window procedure: ports and Auto connect against fake devices, the
// question before the sheet, the language switch, parameter files and failed settings saves.
#include "app/commands.h"

#include <gmock/gmock.h>
#include <grp.h>
#include <sys/stat.h>

#include "fake_device.h"
#include "link/serial_link.h"
#include "params/parameter_file.h"
#include "platform/dialog.h"
#include "platform/file_dialog.h"
#include "window_fixture.h"

namespace {

// The file dialog's answer: a path, or "" for Cancel.
std::string dialogAnswer;
platform::FileDialogSpec dialogSeen{};
platform::FileDialogKind kindSeen{};

uint32_t AnswerDialog(platform::FileDialogKind kind, const platform::FileDialogSpec& spec,
                      char* path, int pathSize) {
    kindSeen = kind;
    dialogSeen = spec;
    snprintf(path, static_cast<size_t>(pathSize), "%s", dialogAnswer.c_str());
    return 0;
}

class Commands : public KvxWindowTest {
  protected:
    void SetUp() override {
        KvxWindowTest::SetUp();
        platform::SetFileDialogHook(AnswerDialog);
    }
    void TearDown() override {
        platform::SetSerialOpenHook(nullptr);
        platform::SetFileDialogHook(nullptr);
        KvxWindowTest::TearDown();
    }
    void Command(int id) { Send(platform::MessageType::Command, id); }
    void SetPort(int port, const std::string& path) {
        setenv(("KVXMON_COM" + std::to_string(port)).c_str(), path.c_str(), 1);
    }
    std::vector<int> CheckedPorts() {
        std::vector<int> ports;
        for (int port = 1; port <= 8; ++port) {
            if (platform::IsMenuItemChecked(window, kCmdPortBase + port)) {
                ports.push_back(port);
            }
        }
        return ports;
    }
    // The device's copy as a load of DistinctRecord would leave it.
    static void FillDeviceCopy() {
        const std::vector<uint8_t> record = DistinctRecord("UNIT 42");
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i].store(
                static_cast<uint16_t>(record[2 * i] | record[2 * i + 1] << 8));
        }
        StoreIdentity(reinterpret_cast<const char*>(&record[2 * kParameterCount]));
    }
};

TEST_F(Commands, AMissingPortIsReportedKeepsItsMarkAndIsTriedAgain) {
    ASSERT_NE(Start(), nullptr);  // COM1 is missing too
    ASSERT_EQ(settings.comPort.load(), 11);
    boxes.clear();
    const std::string port85 = "Comm Port occupied or non-existing|Communication";
    for (int attempt = 0; attempt < 2; ++attempt) {
        Command(2005);
        EXPECT_EQ(settings.comPort.load(), 15);
        EXPECT_EQ(CheckedPorts(), std::vector<int>{5});
    }
    EXPECT_EQ(boxes, std::vector<std::string>(2, port85));
    EXPECT_EQ(ReadBytes("KVXMon.cnf")[0], 1) << "a failed change is not saved";

    // The port appears: chosen again it opens, is saved and is probed once the command is over.
    FakeDevice device(true);
    SetPort(5, device.path());
    Command(2005);
    EXPECT_EQ(settings.comPort.load(), 5);
    EXPECT_EQ(ReadBytes("KVXMon.cnf")[0], 5);
    EXPECT_TRUE(device.Received().empty());
    QCoreApplication::processEvents();  // command 500
    EXPECT_EQ(device.WaitForCount(1), std::vector<uint16_t>{CMD_POLL});
    EXPECT_EQ(parameterSet.deviceWords[0].load(std::memory_order_acquire), 0);
    Command(2005);  // the open port again: nothing
    QCoreApplication::processEvents();
    EXPECT_EQ(device.Received().size(), 1u);
    EXPECT_EQ(boxes.size(), 2u);
}

// Tests run as root, whom no device refuses: the platform's open is told to refuse instead. The
// message and stderr both name the device's group and what to do.
int32_t RefuseForLackOfPermission(const char*) {
    return EACCES;
}

TEST_F(Commands, APortRefusedForLackOfPermissionNamesTheGroupAndTheCure) {
    const std::string device = (dir / "ttyDenied").string();
    WriteBytes(device, {});
    if (const group* dialout = getgrnam("dialout"); dialout != nullptr && geteuid() == 0) {
        ASSERT_EQ(chown(device.c_str(), 0, dialout->gr_gid), 0);
    }
    struct stat info {};
    ASSERT_EQ(stat(device.c_str(), &info), 0);
    const std::string name = getgrgid(info.st_gid)->gr_name;  // dialout where root could set it
    SetPort(1, device);
    SetPort(5, device);
    platform::SetSerialOpenHook(RefuseForLackOfPermission);
    const struct {
        int language;
        mode_t mode;
        std::string box, said;
    } cases[] = {
        {2027, 0660,
         "Comm Port occupied or non-existing\nNo permission: add your user to the group " + name +
             ", then log in again.|Communication",
         "add your user to the group " + name + " (sudo adduser $USER " + name + "), then log"},
        // Joining the group would not help: the line must not suggest it.
        {2227, 0600,
         "CommPort optaget eller ikke-eksisterende\nIngen adgang, heller ikke for gruppen " + name +
             ": sp\xF8rg administratoren.|Kommunikation",
         "its group " + name + " may not use it either (mode 0600)"},
    };
    ASSERT_EQ(chmod(device.c_str(), 0660), 0);
    Start();  // COM1 at start-up, in English
    EXPECT_EQ(boxes, std::vector<std::string>{cases[0].box});
    for (const auto& c : cases) {
        ASSERT_EQ(chmod(device.c_str(), c.mode), 0);
        Command(c.language);
        boxes.clear();
        testing::internal::CaptureStderr();
        Command(settings.comPort.load() == 15 ? 2001 : 2005);  // the other of COM1 and COM5
        EXPECT_THAT(testing::internal::GetCapturedStderr(),
                    testing::HasSubstr("(" + device + "): permission denied; " + c.said));
        EXPECT_EQ(boxes, std::vector<std::string>{c.box}) << c.language;
    }
}

TEST_F(Commands, AutoConnectFindsTheDeviceOnCom8AfterSevenMissingPorts) {
    FakeDevice device(true);
    SetPort(8, device.path());
    ASSERT_NE(Start(), nullptr);
    boxes.clear();
    Command(kCmdAutoConnect);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(settings.comPort.load(), 8);
    EXPECT_EQ(CheckedPorts(), std::vector<int>{8});
    EXPECT_EQ(ReadBytes("KVXMon.cnf")[0], 8);
    // The probe, then the poll sent once more at the end; the link stays open on COM8, the last
    // port tried.
    EXPECT_EQ(device.WaitForCount(2), std::vector<uint16_t>(2, CMD_POLL));
    EXPECT_EQ(platform::OpenSerialPort("COM8", 9600), nullptr);
}

TEST_F(Commands, AutoConnectWithNoDeviceReopensThePreviousPortAndSaysSo) {
    FakeDevice silent(false);
    SetPort(2, silent.path());
    settings.comPort.store(2);
    ASSERT_EQ(SaveSettings(settings), 0);
    SetSettingsDefaults(settings);
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(boxes.empty());
    const auto start = Clock::now();
    Command(kCmdAutoConnect);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));  // COM2 opened and waited
    EXPECT_EQ(boxes, std::vector<std::string>{"Korvex not found on any COM-port!|Communication"});
    EXPECT_EQ(settings.comPort.load(), 2);
    EXPECT_EQ(CheckedPorts(), std::vector<int>{2});
    EXPECT_EQ(platform::OpenSerialPort("COM2", 9600), nullptr) << "COM2 is not open again";
}

TEST_F(Commands, ParametersAsksOnlyWhenNoDeviceAnswersAndOpensTheSheetOnYes) {
    static int sheetsShown;
    // The sheet is cancelled at once: the command must then arm nothing.
    platform::SetDialogShownHook([](platform::DialogHandle sheet) {
        ++sheetsShown;
        platform::EndDialog(sheet, 0);
    });
    const struct {
        bool attached;
        platform::MessageResult answer;
        int sheets;
    } cases[] = {
        {true, platform::MessageResult::No, 1},
        {false, platform::MessageResult::No, 0},
        {false, platform::MessageResult::Yes, 1},
    };
    for (const auto& c : cases) {
        FakeDevice device(true);
        SetPort(1, c.attached ? device.path() : (dir / "absent").string());
        ASSERT_NE(Start(), nullptr);
        StartRecordingBoxes(c.answer);
        sheetsShown = 0;
        const auto start = Clock::now();
        Command(kCmdParameters);
        EXPECT_EQ(device.Received(),
                  c.attached ? std::vector<uint16_t>{CMD_POLL} : std::vector<uint16_t>{});
        if (c.attached) {
            EXPECT_TRUE(recordedBoxes.empty());
        } else {
            EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
            ASSERT_EQ(recordedBoxes.size(), 1u);
            EXPECT_EQ(recordedBoxes[0].text + "|" + recordedBoxes[0].caption,
                      "Unit not connected. Parameters can not be send.\nContinue?|Korvex "
                      "Configuration tool");
            EXPECT_EQ(recordedBoxes[0].icon, platform::MessageIcon::Warning);
            EXPECT_EQ(recordedBoxes[0].buttons, platform::MessageButtons::YesNo);
        }
        EXPECT_EQ(sheetsShown, c.sheets);
        EXPECT_EQ(windowFlags.confirmPending.load(), 0);
        Stop();
    }
    platform::SetDialogShownHook(nullptr);
}

TEST_F(Commands, LanguageSwitchesKeepOneMenuTheMarksTitleAndSavedChoice) {
    ASSERT_NE(Start(), nullptr);
    Command(2006);  // fails: the mark stays on COM6
    Command(2018);
    const struct {
        int id;
        const char* title;  // UTF-8
    } cases[] = {
        {2127, "Korvex Konfiguration"},
        {2227, "Korvex Konfigurationsv\xC3\xA6rkt\xC3\xB8j"},
        {2027, "Korvex Configuration tool"},
    };
    for (const auto& c : cases) {
        Command(c.id);
        EXPECT_EQ(platform::AttachedMenuCount(window), 1);
        for (int id : {2006, 2018, 2027, 2127, 2227, 2001, 2017, 2021}) {
            EXPECT_EQ(platform::IsMenuItemChecked(window, id),
                      id == 2006 || id == 2018 || id == c.id)
                << c.id << " " << id;
        }
        EXPECT_EQ(platform::WindowWidget(window)->windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(ReadBytes("KVXMon.cnf")[264], c.id - 2027);
    }
    EXPECT_EQ(settings.comPort.load(), 16);
}

TEST_F(Commands, FilesThatCannotBeUsedChangeNothingAndSayWhy) {
    ASSERT_NE(Start(), nullptr);
    std::vector<uint8_t> outOfBand(kParameterFileSize, 0);
    outOfBand[2 * limit1Setpoint] = 100;  // would arrive as limit 2's setpoint 0
    WriteBytes("band.KVX", outOfBand);
    WriteBytes("short.KVX", std::vector<uint8_t>(87, 1));
    std::filesystem::create_directory("folder.KVX");
    const struct {
        int command;
        std::string path;
        std::string box;
    } cases[] = {
        {kCmdLoadParameters, "band.KVX",
         "Not an Korvex-file,\nreading of parameters aborted!|Error!"},
        {kCmdLoadParameters, "short.KVX",
         "Parameters could not be read.|Korvex Configuration tool"},
        {kCmdLoadParameters, "folder.KVX", "Parameters could not be read.: 21|Error!"},
        {kCmdLoadParameters, "", ""},  // cancelled
        {kCmdSaveParameters, "gone/x.KVX", "Parameters could not be saved.|Error!"},
        {kCmdSaveParameters, "", ""},
    };
    FillDeviceCopy();
    const std::vector<uint8_t> before = ParameterRecord();
    for (const auto& c : cases) {
        boxes.clear();
        dialogAnswer = c.path.empty() ? "" : (dir / c.path).string();
        Command(c.command);
        EXPECT_EQ(boxes,
                  c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box})
            << c.path;
        EXPECT_EQ(ParameterRecord(), before) << c.path;
        EXPECT_TRUE(CommandQueueEmpty()) << c.path;
        EXPECT_EQ(windowFlags.confirmPending.load(), 0) << c.path;
    }
}

TEST_F(Commands, SaveThenLoadGivesTheSameRecordAndReachesTheDeviceOneWordPerTick) {
    FakeDevice device(true);
    SetPort(1, device.path());
    ASSERT_NE(Start(), nullptr);
    boxes.clear();
    FillDeviceCopy();
    const std::vector<uint8_t> before = ParameterRecord();
    dialogAnswer = (dir / "load.KVX").string();
    Command(kCmdSaveParameters);
    EXPECT_EQ(kindSeen, platform::FileDialogKind::Save);
    EXPECT_TRUE(dialogSeen.overwritePrompt);
    EXPECT_EQ(ReadBytes(dialogAnswer), before);
    ResetProgramState();
    Command(kCmdLoadParameters);
    EXPECT_EQ(kindSeen, platform::FileDialogKind::Open);
    EXPECT_TRUE(dialogSeen.createPrompt);
    EXPECT_EQ(ParameterRecord(), before);
    EXPECT_EQ(windowFlags.confirmPending.load(), 1);
    const std::vector<uint16_t> expected = LoadWords(before);
    for (size_t tick = 0; tick < expected.size(); ++tick) {
        Tick(kLinkTimer);
        const std::vector<uint16_t> got = device.WaitForCount(tick + 1);
        ASSERT_EQ(got.size(), tick + 1) << "tick " << tick;
        EXPECT_EQ(got.back(), expected[tick]) << "tick " << tick;
    }
    Tick(kLinkTimer);  // the queue is empty: poll, wait, compare
    EXPECT_EQ(device.WaitForCount(23).back(), CMD_POLL);
    EXPECT_EQ(windowFlags.confirmPending.load(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Commands, EveryFailedSettingsSaveShowsSlot83WithItsCode) {
    FakeDevice device(true);
    SetPort(4, device.path());
    ASSERT_NE(Start(), nullptr);
    // The settings file becomes a folder: every save fails with EISDIR (21).
    std::filesystem::remove("KVXMon.cnf");
    std::filesystem::create_directory("KVXMon.cnf");
    for (int id : {2016, 2021, 2004, 2027}) {
        boxes.clear();
        Command(id);
        EXPECT_EQ(boxes, std::vector<std::string>{"Error opening configuration file: 21|Error!"})
            << id;
    }
}

}  // namespace
