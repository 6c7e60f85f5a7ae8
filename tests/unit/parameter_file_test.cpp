#include "params/parameter_file.h"

#include <cerrno>
#include <cstring>

#include "app/settings.h"
#include "file_test_support.h"
#include "link/protocol.h"
#include "params/parameter_set.h"
#include "platform/file.h"

namespace {

class ParameterFile : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        SetSettingsDefaults(settings);
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i] = 0;
            parameterSet.editWords[i] = 0;
        }
        SetIdentity("");
        StartRecordingBoxes();
        path_ = PathOf("unit.KVX");
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        TempDirTest::TearDown();
    }
    static void SetIdentity(const char* text) {
        for (int i = 0; i < kIdentitySize; ++i) {
            liveValues.identity[i] = 0;
        }
        for (int i = 0; text[i] != 0 && i < kIdentitySize; ++i) {
            liveValues.identity[i] = text[i];
        }
    }
    static std::vector<uint8_t> DeviceImage() {
        std::vector<uint8_t> image(kParameterFileSize);
        BuildParameterRecord(image.data());
        return image;
    }
    void ExpectNothingReplaced() {
        for (int i = 0; i < kParameterCount; ++i) {
            EXPECT_EQ(parameterSet.deviceWords[i].load(), 0) << i;
        }
        EXPECT_EQ(liveValues.identity[0].load(), 0);
    }
    std::string path_;
};

TEST_F(ParameterFile, SaveThenLoadGivesTheSameBytes) {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = static_cast<uint16_t>(0x0102 * (i + 1) + 0x80);
    }
    SetIdentity("Korvex 2000 V1.7 long identity text");
    liveValues.identity[40] = 'x';  // left over from an earlier, longer text: kept as it is
    parameterSet.editWords[limit1Setpoint] = 55;  // the edit copy is never saved
    const std::vector<uint8_t> before = DeviceImage();

    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    const std::vector<uint8_t> file = ReadAll(path_);
    ASSERT_EQ(file, before);
    EXPECT_EQ(file[0], 0x82);  // word 0 little-endian: 0x0182
    EXPECT_EQ(file[1], 0x01);
    EXPECT_EQ(file[44], 'K');
    EXPECT_EQ(file[84], 'x');

    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = 0;
    }
    SetIdentity("other");
    ASSERT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(DeviceImage(), before);
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(ParameterFile, BeforeAnyReportTheRecordIsAllZero) {
    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    EXPECT_EQ(ReadAll(path_), std::vector<uint8_t>(kParameterFileSize, 0));
}

TEST_F(ParameterFile, SavingOverALongerFileLeavesExactlyTheRecord) {
    WriteAll(path_, std::vector<uint8_t>(500, 0xEE));
    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    EXPECT_EQ(ReadAll(path_).size(), static_cast<size_t>(kParameterFileSize));
}

TEST_F(ParameterFile, UnterminatedIdentityIsSavedLoadable) {
    for (int i = 0; i < kIdentitySize; ++i) {
        liveValues.identity[i] = 'A';
    }
    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    SetIdentity("");
    EXPECT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(liveValues.identity[42].load(), 'A');
    EXPECT_EQ(liveValues.identity[43].load(), 0);
}

TEST_F(ParameterFile, ShortOrMissingFileShowsNotReadAndReplacesNothing) {
    WriteAll(path_, std::vector<uint8_t>(87, 5));
    const std::string missing = PathOf("new.KVX");
    for (const std::string& path : {path_, missing}) {
        recordedBoxes.clear();
        EXPECT_EQ(ReadParameterFile(path.c_str()), kResultNothingMore);
        ASSERT_EQ(recordedBoxes.size(), 1u);
        EXPECT_EQ(recordedBoxes[0].text, "Parameters could not be read.");
        EXPECT_EQ(recordedBoxes[0].caption, "Korvex Configuration tool");
        EXPECT_EQ(recordedBoxes[0].icon, platform::MessageIcon::Error);
        ExpectNothingReplaced();
    }
    EXPECT_TRUE(ReadAll(missing).empty());  // created empty, as the open dialog asked
}

TEST_F(ParameterFile, LongerFileLoadsItsFirst88Bytes) {
    std::vector<uint8_t> file(120, 0xFF);
    for (int i = 0; i < kParameterFileSize; ++i) {
        file[i] = static_cast<uint8_t>(i);
    }
    file[60] = 0;
    WriteAll(path_, file);
    ASSERT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(parameterSet.deviceWords[0].load(), 0x0100);
    EXPECT_EQ(parameterSet.deviceWords[21].load(), 0x2B2A);
    EXPECT_EQ(liveValues.identity[0].load(), 44);
    EXPECT_EQ(liveValues.identity[43].load(), 87);
}

TEST_F(ParameterFile, IdentityWithoutTerminatorIsNotAParameterFile) {
    WriteAll(path_, std::vector<uint8_t>(kParameterFileSize, 'A'));
    EXPECT_EQ(ReadParameterFile(path_.c_str()), kResultNotParameterFile);
    EXPECT_TRUE(recordedBoxes.empty());
    ExpectNothingReplaced();
}

TEST_F(ParameterFile, FailedOpensGiveTheSystemCode) {
    const std::string missingDir = PathOf("gone/unit.KVX");
    EXPECT_EQ(WriteParameterFile(missingDir.c_str()), ENOENT);
    EXPECT_EQ(ReadParameterFile(dir_.c_str()), EISDIR);

    WriteAll(path_, std::vector<uint8_t>(kParameterFileSize, 0));
    platform::FileOpenResult held = platform::OpenFile(path_.c_str(), platform::FileAccess::Read,
                                                       platform::FileCreation::OpenExisting, true);
    ASSERT_NE(held.file, nullptr);
    parameterSet.deviceWords[3] = 1;
    EXPECT_EQ(WriteParameterFile(path_.c_str()), EWOULDBLOCK);
    EXPECT_EQ(ReadParameterFile(path_.c_str()), EWOULDBLOCK);
    platform::CloseFile(held.file);
    EXPECT_EQ(ReadAll(path_), std::vector<uint8_t>(kParameterFileSize, 0));  // not emptied
    EXPECT_TRUE(recordedBoxes.empty());
}

}  // namespace
