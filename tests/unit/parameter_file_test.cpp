#include "params/parameter_file.h"

#include <cerrno>

#include "params/parameter_check.h"
#include "platform/file.h"
#include "unit/test_support.h"

namespace {

class ParameterFile : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ResetLinkState();
        StartRecordingBoxes();
        path_ = PathOf("unit.KVX");
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        TempDirTest::TearDown();
    }
    std::string path_;
};

TEST_F(ParameterFile, SaveThenLoadGivesTheSameBytes) {
    EXPECT_EQ(ParameterRecord(), std::vector<uint8_t>(kParameterFileSize, 0));  // before any report
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = static_cast<uint16_t>(kParameterTable[i].bandSpan - 1);
    }
    const char text[] = "Korvex 2000\0x";  // bytes after the terminator travel too
    for (int i = 0; i < static_cast<int>(sizeof text); ++i) {
        liveValues.identity[i] = text[i];
    }
    parameterSet.editWords[limit1Setpoint] = 55;  // the edit copy is never saved
    const std::vector<uint8_t> before = ParameterRecord();
    WriteBytes(path_, std::vector<uint8_t>(500, 0xEE));  // an existing longer file is replaced

    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    std::vector<uint8_t> file = ReadBytes(path_);
    ASSERT_EQ(file, before);
    EXPECT_EQ(file[14], 0xB7);  // word 7, 34999 = 0x88B7, little-endian
    EXPECT_EQ(file[15], 0x88);
    EXPECT_EQ(file[44], 'K');
    EXPECT_EQ(file[56], 'x');

    ResetLinkState();
    file.resize(120, 0xFF);  // a longer file loads its first 88 bytes
    WriteBytes(path_, file);
    ASSERT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(ParameterRecord(), before);
    EXPECT_TRUE(recordedBoxes.empty());
}

TEST_F(ParameterFile, UnterminatedIdentityIsSavedLoadable) {
    for (auto& c : liveValues.identity) {
        c = 'A';
    }
    ASSERT_EQ(WriteParameterFile(path_.c_str()), 0);
    EXPECT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(liveValues.identity[42].load(), 'A');
    EXPECT_EQ(liveValues.identity[43].load(), 0);

    // A file from elsewhere whose text fills all 44 bytes: taken as it is, ended in its last byte.
    std::vector<uint8_t> file(kParameterFileSize, 'B');
    std::fill(file.begin(), file.begin() + 2 * kParameterCount, 0);
    WriteBytes(path_, file);
    EXPECT_EQ(ReadParameterFile(path_.c_str()), 0);
    EXPECT_EQ(liveValues.identity[42].load(), 'B');
    EXPECT_EQ(liveValues.identity[43].load(), 0);
}

// Each word one past its band would reach the device as the next word's code.
TEST_F(ParameterFile, AWordOutsideItsBandRejectsTheWholeFile) {
    for (int word = 0; word < kParameterCount; ++word) {
        std::vector<uint8_t> file(kParameterFileSize, 0);
        const uint16_t value = kParameterTable[word].bandSpan;
        file[2 * word] = static_cast<uint8_t>(value & 0xFF);
        file[2 * word + 1] = static_cast<uint8_t>(value >> 8);
        file[44] = 'X';
        WriteBytes(path_, file);
        EXPECT_EQ(ReadParameterFile(path_.c_str()), kResultNotParameterFile) << word;
        EXPECT_EQ(FirstOutOfBandWord(file.data()), word);  // the word kvxctl names
        file[2 * word] = static_cast<uint8_t>((value - 1) & 0xFF);
        file[2 * word + 1] = static_cast<uint8_t>((value - 1) >> 8);
        WriteBytes(path_, file);
        EXPECT_EQ(ReadParameterFile(path_.c_str()), 0) << word;
        EXPECT_EQ(parameterSet.deviceWords[word].load(), value - 1) << word;
        ResetLinkState();
    }
    EXPECT_TRUE(recordedBoxes.empty());
}

}  // namespace
