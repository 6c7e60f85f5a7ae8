// Saves failing on a full disc or half-way leave the old file whole and nothing new beside it;
// saves that succeed keep the old file's mode, its link and the settings file's bytes beyond.
#include <sys/stat.h>

#include <cerrno>

#include "params/parameter_file.h"
#include "unit/test_support.h"

namespace {

class FailedSave : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        StartRecordingBoxes();
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i] = static_cast<uint16_t>(i + 1);
        }
        settings.languageBase = 200;  // differs from any old file below
    }
    void TearDown() override { platform::SetMessageBoxHook(nullptr); }

    // Runs both writers against folder, each onto an old file and onto no file; fail() makes
    // the disc give out. Expects the settings result, one slot 88 box per parameter save, and
    // every folder as it was.
    template <typename Fail>
    void ExpectNothingChanges(const std::string& folder, Fail fail, int32_t settingsResult) {
        const std::vector<uint8_t> oldBytes(300, 0x5A);  // a settings file with a tail
        WriteBytes(folder + "/old.cnf", oldBytes);
        WriteBytes(folder + "/old.KVX",
                   std::vector<uint8_t>(oldBytes.begin(), oldBytes.end() - 212));
        std::vector<std::string> before;
        int32_t results[4] = {};
        {
            [[maybe_unused]] auto failing = fail();
            before = FolderNames(folder);
            results[0] = SaveSettings(settings, (folder + "/old.cnf").c_str());
            results[1] = SaveSettings(settings, (folder + "/new.cnf").c_str());
            results[2] = WriteParameterFile((folder + "/old.KVX").c_str());
            results[3] = WriteParameterFile((folder + "/new.KVX").c_str());
        }
        EXPECT_EQ(results[0], settingsResult);
        EXPECT_EQ(results[1], settingsResult);
        EXPECT_EQ(results[2], 0);
        EXPECT_EQ(results[3], 0);
        EXPECT_EQ(ReadBytes(folder + "/old.cnf"), oldBytes);
        EXPECT_EQ(ReadBytes(folder + "/old.KVX").size(), 88u);
        EXPECT_EQ(FolderNames(folder), before);
        ASSERT_EQ(recordedBoxes.size(), 2u);
        for (const RecordedBox& box : recordedBoxes) {
            EXPECT_EQ(box.text, "Parametre kunne ikke gemmes");
            EXPECT_EQ(box.caption, "Korvex Konfigurationsv\xE6rkt\xF8j");
        }
    }
};

TEST_F(FailedSave, OnAFullDiscEverythingStaysAsItWas) {
    FullDisk disk;
    if (!disk.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): full-disc saves not checked";
    }
    ExpectNothingChanges(
        disk.folder.path, [&disk] { return (disk.Fill(), 0); }, ENOSPC);
}

TEST_F(FailedSave, AWriteThatFailsHalfWayLeavesTheOldFile) {
    TempFolder folder;
    // 40 bytes: a parameter record or a settings image stops in its middle.
    ExpectNothingChanges(
        folder.path, [] { return FileSizeLimit(40); }, EFBIG);
}

TEST_F(FailedSave, ASaveKeepsTheModeTheLinkAndTheBytesBeyondTheRecord) {
    TempFolder folder;
    const std::string real = folder / "real.cnf";
    const std::string link = folder / "KVXMon.cnf";
    WriteBytes(real, std::vector<uint8_t>(290, 0x33));
    ASSERT_EQ(chmod(real.c_str(), 0604), 0);
    ASSERT_EQ(symlink("real.cnf", link.c_str()), 0);
    ASSERT_EQ(SaveSettings(settings, link.c_str()), 0);
    std::vector<uint8_t> expected(290, 0x33);
    SettingsToBytes(settings, expected.data());
    EXPECT_EQ(ReadBytes(real), expected);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    // A new file gets the mode the umask gives any new file.
    const mode_t mask = umask(027);
    ASSERT_EQ(WriteParameterFile((folder / "new.KVX").c_str()), 0);
    umask(mask);
    ASSERT_EQ(stat((folder / "new.KVX").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderNames(folder.path),
              (std::vector<std::string>{"KVXMon.cnf", "new.KVX", "real.cnf"}));
}

}  // namespace
