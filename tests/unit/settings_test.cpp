#include "app/settings.h"

#include <cerrno>

#include "file_test_support.h"
#include "platform/file.h"

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

void ExpectDefaults(const SettingsRecord& r) {
    EXPECT_EQ(r.comPort.load(), 1);
    EXPECT_EQ(r.rollIndex.load(), 1);
    EXPECT_EQ(r.stopAtAlarm.load(), 0);
    EXPECT_EQ(r.languageBase.load(), 0);
}

TEST_F(SettingsFile, MissingFileIsCreatedWithDefaults) {
    EXPECT_EQ(LoadSettings(record_, path_.c_str()), 0);
    ExpectDefaults(record_);
    std::vector<uint8_t> expected(kSettingsFileSize, 0);
    expected[0] = 1;
    expected[260] = 1;
    EXPECT_EQ(ReadAll(path_), expected);
}

TEST_F(SettingsFile, ShortFileReplacesOnlyTheStart) {
    WriteAll(path_, {3, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA});
    EXPECT_EQ(LoadSettings(record_, path_.c_str()), kResultShortFile);
    EXPECT_EQ(record_.comPort.load(), 3);
    EXPECT_EQ(record_.reservedA[7], 0xAA);
    EXPECT_EQ(record_.reservedA[8], 0);
    EXPECT_EQ(record_.rollIndex.load(), 1);
    EXPECT_EQ(record_.stopAtAlarm.load(), 0);
    EXPECT_EQ(record_.languageBase.load(), 0);
}

TEST_F(SettingsFile, LongFileReadsFirst280AndSaveKeepsTheTail) {
    std::vector<uint8_t> file(300, 0);
    file[0] = 14;
    file[100] = 0x77;  // reserved
    file[260] = 2;
    file[262] = 1;
    file[270] = 0x55;  // reserved
    for (int i = 280; i < 300; ++i) {
        file[i] = 0x5A;
    }
    WriteAll(path_, file);
    ASSERT_EQ(LoadSettings(record_, path_.c_str()), 0);
    EXPECT_EQ(record_.comPort.load(), 14);
    EXPECT_EQ(record_.rollIndex.load(), 2);
    EXPECT_EQ(record_.stopAtAlarm.load(), 1);

    record_.languageBase = 100;
    ASSERT_EQ(SaveSettings(record_, path_.c_str()), 0);
    std::vector<uint8_t> expected = file;
    expected[264] = 100;
    expected[265] = 0;
    EXPECT_EQ(ReadAll(path_), expected);
}

TEST_F(SettingsFile, SavedRecordLoadsBackIntoAFreshRecord) {
    record_.comPort = 7;
    record_.rollIndex = 0;
    record_.stopAtAlarm = 1;
    record_.languageBase = 200;
    ASSERT_EQ(SaveSettings(record_, path_.c_str()), 0);
    SettingsRecord loaded;
    ASSERT_EQ(LoadSettings(loaded, path_.c_str()), 0);
    EXPECT_EQ(loaded.comPort.load(), 7);
    EXPECT_EQ(loaded.rollIndex.load(), 0);
    EXPECT_EQ(loaded.stopAtAlarm.load(), 1);
    EXPECT_EQ(loaded.languageBase.load(), 200);
}

TEST(SettingsBytes, OutOfRangeValuesFallBackToTheirDefaults) {
    struct Case {
        int offset;
        uint16_t stored;
        uint16_t comPort, rollIndex, stopAtAlarm, languageBase;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 0, 0},     {0, 9, 1, 1, 0, 0},        {0, 10, 1, 1, 0, 0},
        {0, 19, 1, 1, 0, 0},    {0, 8, 8, 1, 0, 0},        {0, 11, 11, 1, 0, 0},
        {0, 18, 18, 1, 0, 0},   {260, 3, 1, 1, 0, 0},      {260, 2, 1, 2, 0, 0},
        {262, 2, 1, 1, 0, 0},   {262, 0xFFFF, 1, 1, 0, 0}, {264, 50, 1, 1, 0, 0},
        {264, 300, 1, 1, 0, 0}, {264, 200, 1, 1, 0, 200},
    };
    for (const Case& c : cases) {
        SettingsRecord record;
        SetSettingsDefaults(record);
        uint8_t image[kSettingsFileSize];
        SettingsToBytes(record, image);
        image[c.offset] = static_cast<uint8_t>(c.stored & 0xFF);
        image[c.offset + 1] = static_cast<uint8_t>(c.stored >> 8);
        SettingsFromBytes(record, image, kSettingsFileSize);
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << " value " << c.stored);
        EXPECT_EQ(record.comPort.load(), c.comPort);
        EXPECT_EQ(record.rollIndex.load(), c.rollIndex);
        EXPECT_EQ(record.stopAtAlarm.load(), c.stopAtAlarm);
        EXPECT_EQ(record.languageBase.load(), c.languageBase);
    }
}

TEST_F(SettingsFile, FileHeldByAnotherOpenerGivesTheSystemCode) {
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
    EXPECT_EQ(ReadAll(path_)[264], 0);  // the refused save changed nothing
}

TEST_F(SettingsFile, UnusablePathsGiveTheSystemCode) {
    const std::string missingDir = PathOf("no-such-dir/KVXMon.cnf");
    EXPECT_EQ(LoadSettings(record_, missingDir.c_str()), ENOENT);
    ExpectDefaults(record_);
    EXPECT_EQ(SaveSettings(record_, missingDir.c_str()), ENOENT);
    EXPECT_EQ(LoadSettings(record_, dir_.c_str()), EISDIR);
}

}  // namespace
