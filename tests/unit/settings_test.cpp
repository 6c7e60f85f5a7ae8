#include "records/settings.h"

#include <cerrno>

#include "platform/file.h"
#include "unit/test_support.h"

namespace {

class SettingsFile : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        SetSettingsDefaults(record_);
        path_ = PathOf("KVXMon.cnf");
    }
    SettingsRecord record_;
    std::string path_;
};

TEST_F(SettingsFile, ShortFileReplacesOnlyTheStart) {
    WriteBytes(path_, {3, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA});
    EXPECT_EQ(LoadSettings(record_, path_.c_str()), kResultShortFile);
    EXPECT_EQ(record_.comPort.load(), 3);
    EXPECT_EQ(record_.reservedA[7], 0xAA);
    EXPECT_EQ(record_.reservedA[8], 0);
    EXPECT_EQ(record_.rollIndex.load(), 1);
    EXPECT_EQ(record_.languageBase.load(), 0);
}

TEST_F(SettingsFile, LongFileReadsFirst280AndSaveKeepsTheRest) {
    std::vector<uint8_t> file(300, 0x5A);
    std::fill(file.begin() + 2, file.begin() + 280, 0x33);  // reserved bytes, kept as read
    file[0] = 14, file[1] = 0;                              // COM4, not open last time
    file[260] = 2, file[261] = 0, file[262] = 1, file[263] = 0, file[264] = 0, file[265] = 0;
    WriteBytes(path_, file);
    ASSERT_EQ(LoadSettings(record_, path_.c_str()), 0);
    EXPECT_EQ(record_.comPort.load(), 14);
    EXPECT_EQ(record_.rollIndex.load(), 2);
    EXPECT_EQ(record_.stopAtAlarm.load(), 1);

    record_.languageBase = 100;
    ASSERT_EQ(SaveSettings(record_, path_.c_str()), 0);
    file[264] = 100;
    EXPECT_EQ(ReadBytes(path_), file);
}

TEST(SettingsBytes, OutOfRangeValuesFallBackToTheirDefaults) {
    const struct {
        int offset;
        uint16_t stored, taken;
    } cases[] = {{0, 0, 1},   {0, 8, 8},       {0, 9, 1},    {0, 10, 1},   {0, 11, 11},
                 {0, 18, 18}, {0, 19, 1},      {260, 2, 2},  {260, 3, 1},  {262, 1, 1},
                 {262, 2, 0}, {264, 200, 200}, {264, 50, 0}, {264, 300, 0}};
    for (const auto& c : cases) {
        SettingsRecord record;
        uint8_t image[kSettingsFileSize] = {};
        image[c.offset] = static_cast<uint8_t>(c.stored & 0xFF);
        image[c.offset + 1] = static_cast<uint8_t>(c.stored >> 8);
        SettingsFromBytes(record, image, kSettingsFileSize);
        SettingsToBytes(record, image);
        EXPECT_EQ(image[c.offset] | image[c.offset + 1] << 8, c.taken)
            << "offset " << c.offset << " value " << c.stored;
    }
}

TEST_F(SettingsFile, FailuresGiveTheSystemCodeAndChangeNothing) {
    ASSERT_EQ(SaveSettings(record_, path_.c_str()), 0);
    platform::FileOpenResult held = platform::OpenFile(path_.c_str(), platform::FileAccess::Read,
                                                       platform::FileCreation::OpenExisting, true);
    ASSERT_NE(held.file, nullptr);
    record_.languageBase = 100;
    EXPECT_EQ(SaveSettings(record_, path_.c_str()), EWOULDBLOCK);
    SettingsRecord other;
    other.comPort = 5;
    EXPECT_EQ(LoadSettings(other, path_.c_str()), EWOULDBLOCK);
    EXPECT_EQ(other.comPort.load(), 5);
    platform::CloseFile(held.file);
    EXPECT_EQ(ReadBytes(path_)[264], 0);
    EXPECT_EQ(LoadSettings(record_, PathOf("gone/KVXMon.cnf").c_str()), ENOENT);
    EXPECT_EQ(SaveSettings(record_, PathOf("gone/KVXMon.cnf").c_str()), ENOENT);
    EXPECT_EQ(LoadSettings(record_, dir_.c_str()), EISDIR);
}

}  // namespace
