// The platform core as every back end must behave, so the same tests run on Linux and, built by
// the cross compiler, under Wine: events, files that refuse what is not a plain file, replacing a
// file whole or not at all, port names.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/console.h"
#include "platform/event.h"
#include "platform/file.h"
#include "platform/serial_port.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Events {
    platform::EventHandle manual = platform::CreateEvent(true, false);
    platform::EventHandle automatic = platform::CreateEvent(false, false);
    ~Events() {
        platform::CloseEvent(manual);
        platform::CloseEvent(automatic);
    }
};

TEST(PlatformEvent, AutoResetWakesOneWaitManualStaysSetUntilReset) {
    Events e;
    platform::SetEvent(e.automatic);
    EXPECT_TRUE(platform::WaitForEvent(e.automatic, 0));
    EXPECT_FALSE(platform::WaitForEvent(e.automatic, 0));
    platform::SetEvent(e.manual);
    EXPECT_TRUE(platform::WaitForEvent(e.manual, 0));
    EXPECT_TRUE(platform::WaitForEvent(e.manual, 0));
    platform::ResetEvent(e.manual);
    EXPECT_FALSE(platform::WaitForEvent(e.manual, 0));
}

TEST(PlatformEvent, WaitForManyGivesTheSetOneTimesOutAndRefusesNull) {
    Events e;
    const platform::EventHandle both[2] = {e.manual, e.automatic};
    const auto start = Clock::now();
    EXPECT_EQ(platform::WaitForEvents(both, 2, 120), platform::kWaitTimeout);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
    // Set from another thread while the wait is on.
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        platform::SetEvent(e.automatic);
    });
    EXPECT_EQ(platform::WaitForEvents(both, 2, 5000), 1);
    setter.join();
    EXPECT_EQ(platform::WaitForEvents(both, 2, 0), platform::kWaitTimeout);
    const platform::EventHandle withNull[2] = {e.manual, nullptr};
    EXPECT_EQ(platform::WaitForEvents(withNull, 2, platform::kInfinite), platform::kWaitFailed);
}

class PlatformFile : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("kvx-platform-") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    static platform::FileOpenResult Open(const std::string& path, platform::FileCreation creation,
                                         bool exclusive) {
        return platform::OpenFile(path.c_str(), platform::FileAccess::ReadWrite, creation,
                                  exclusive);
    }
    fs::path dir_;
};

TEST_F(PlatformFile, ExclusiveHoldRefusesAnotherHolderAndIsNeverEmptiedByIt) {
    const std::string path = PathOf("held.par");
    platform::FileOpenResult first = Open(path, platform::FileCreation::OpenAlways, true);
    ASSERT_NE(first.file, nullptr);
    EXPECT_FALSE(first.existed);
    EXPECT_EQ(platform::WriteFile(first.file, "abcdef", 6), 6);
    platform::FileOpenResult second = Open(path, platform::FileCreation::CreateAlways, true);
    EXPECT_EQ(second.file, nullptr);
    EXPECT_EQ(second.error, platform::kErrorWouldBlock);
    EXPECT_EQ(platform::CloseFile(first.file), 0);
    EXPECT_EQ(fs::file_size(path), 6u);

    platform::FileOpenResult again = Open(path, platform::FileCreation::CreateAlways, true);
    ASSERT_NE(again.file, nullptr);
    EXPECT_TRUE(again.existed);
    char buffer[8];
    int32_t error = -1;
    EXPECT_EQ(platform::ReadFile(again.file, buffer, sizeof buffer, &error), 0);
    EXPECT_EQ(error, 0);
    platform::CloseFile(again.file);
}

TEST_F(PlatformFile, MissingFileAndFolderAreRefused) {
    platform::FileOpenResult missing =
        Open(PathOf("missing.par"), platform::FileCreation::OpenExisting, false);
    EXPECT_EQ(missing.file, nullptr);
    EXPECT_EQ(missing.error, platform::kErrorNoEntry);
    EXPECT_FALSE(fs::exists(PathOf("missing.par")));
    fs::create_directory(PathOf("folder"));
    platform::FileOpenResult folder =
        Open(PathOf("folder"), platform::FileCreation::OpenAlways, false);
    EXPECT_EQ(folder.file, nullptr);
    EXPECT_NE(folder.error, 0);
}

TEST_F(PlatformFile, ReplacementStoresAllOrLeavesTheOldFileAndNoTemporary) {
    const std::string path = PathOf("kept.par");
    platform::FileOpenResult old = Open(path, platform::FileCreation::CreateAlways, false);
    ASSERT_NE(old.file, nullptr);
    ASSERT_EQ(platform::WriteFile(old.file, "old\0bytes", 9), 9);
    ASSERT_EQ(platform::CloseFile(old.file), 0);
    const auto contents = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto entries = [&] {
        return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
    };
    // Written, then given up either way: the old bytes stay and nothing else is in the folder.
    for (bool abandon : {true, false}) {
        platform::FileOpenResult replace = platform::BeginReplaceFile(path.c_str());
        ASSERT_NE(replace.file, nullptr) << abandon;
        EXPECT_TRUE(replace.existed);
        EXPECT_EQ(platform::WriteFile(replace.file, "new", 3), 3);
        if (abandon) {
            platform::AbandonReplaceFile(replace.file);
        } else {
            platform::CloseFile(replace.file);
        }
        EXPECT_EQ(contents(), std::string("old\0bytes", 9)) << abandon;
        EXPECT_EQ(entries(), 1) << abandon;
    }
    platform::FileOpenResult holder = Open(path, platform::FileCreation::OpenExisting, true);
    ASSERT_NE(holder.file, nullptr);
    platform::FileOpenResult refused = platform::BeginReplaceFile(path.c_str());
    EXPECT_EQ(refused.file, nullptr);
    EXPECT_EQ(refused.error, platform::kErrorWouldBlock);
    platform::CloseFile(holder.file);
    EXPECT_EQ(platform::BeginReplaceFile(dir_.string().c_str()).error, platform::kErrorIsDirectory);
    EXPECT_EQ(contents(), std::string("old\0bytes", 9));
    EXPECT_EQ(entries(), 1);

    platform::FileOpenResult replace = platform::BeginReplaceFile(path.c_str());
    ASSERT_NE(replace.file, nullptr);
    // The old file can still be read meanwhile (a save copies what follows its own bytes).
    platform::FileOpenResult reader = platform::OpenFile(
        path.c_str(), platform::FileAccess::Read, platform::FileCreation::OpenExisting, false);
    ASSERT_NE(reader.file, nullptr);
    platform::CloseFile(reader.file);
    EXPECT_EQ(platform::WriteFile(replace.file, "new bytes", 9), 9);
    EXPECT_EQ(platform::CommitReplaceFile(replace.file), 0);
    EXPECT_EQ(contents(), "new bytes");
    EXPECT_EQ(entries(), 1);
}

TEST(PlatformSerialPort, UserPortNamesAndAMissingPort) {
    const struct {
        const char* given;
        const char* name;
    } cases[] = {
        {"3", "COM3"},
        {"com3", "COM3"},
        {"COM12", "COM12"},
        {"007", "COM7"},
#ifdef _WIN32
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"CNCA0", "CNCA0"},
#else
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"ttyUSB0", "./ttyUSB0"},
#endif
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::SerialPortNameOf(c.given), c.name) << c.given;
    }
    int32_t error = 0;
    EXPECT_EQ(platform::OpenSerialPort("COM99", 9600, &error), nullptr);
    EXPECT_EQ(error, platform::kErrorNoEntry);
}

TEST(PlatformConsole, TextsConvertFromWindows1252) {
    EXPECT_EQ(platform::Windows1252ToUtf8("\xB1 \x80 Gr\xF6\xDF"
                                          "e"),
              "\xC2\xB1 \xE2\x82\xAC Gr\xC3\xB6\xC3\x9F"
              "e");
}

}  // namespace
