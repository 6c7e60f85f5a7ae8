// The serial link against a fake device on a pseudo-terminal: what reaches the parser, what
// reaches the wire, how promptly the link stops, what it leaves behind, and how it survives
// the device going away and coming back.
#include "link/serial_link.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/window_state.h"
#include "link/protocol.h"
#include "link/transfer.h"
#include "link/tx_ring.h"
#include "link_test_support.h"
#include "params/parameter_set.h"

using namespace linktest;

namespace {

// Every chunk the reader hands over, in order; written on the reader thread.
constexpr int kRecordSize = 4096;
std::atomic<uint8_t> recorded[kRecordSize];
std::atomic<int> recordedCount{0};
std::atomic<bool> oddChunk{false};

void Record(const uint8_t* bytes, int count) {
    if (count != 4) {
        oddChunk.store(true);
    }
    const int at = recordedCount.load(std::memory_order_relaxed);
    for (int i = 0; i < count && at + i < kRecordSize; ++i) {
        recorded[at + i].store(bytes[i], std::memory_order_relaxed);
    }
    recordedCount.store(at + count, std::memory_order_release);
}

std::vector<uint8_t> Recorded() {
    const int count = recordedCount.load(std::memory_order_acquire);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count && i < kRecordSize; ++i) {
        bytes.push_back(recorded[i].load(std::memory_order_relaxed));
    }
    return bytes;
}

std::vector<uint8_t> Short(uint8_t v) {
    const uint8_t high = static_cast<uint8_t>((v & 0xF0) | 1);
    const uint8_t low = static_cast<uint8_t>(((v & 0x0F) << 4) | 1);
    return {high, low, static_cast<uint8_t>(high + low), 13};
}

std::vector<uint8_t> Long(uint16_t v) {
    uint8_t bytes[kLongMessageSize];
    EncodeLongMessage(v, bytes);
    return {bytes, bytes + kLongMessageSize};
}

int CpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<int>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CloseLink();
        ResetProtocolState();
        ResetCommandQueue();
        uint8_t stale[kTxRingSize];
        TakeTxBytes(stale);  // bytes an earlier test left for a link that closed
        recordedCount.store(0);
        oddChunk.store(false);
        SetReceiveHook(Record);
        ASSERT_TRUE(device.Open());
        setenv("KVXMON_COM1", device.path.c_str(), 1);
    }
    void TearDown() override {
        CloseLink();
        SetReceiveHook(nullptr);
    }
    PtyDevice device;
};

TEST_F(LinkTest, BytesReachTheParserInWholeChunksWhateverTheSplit) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    std::vector<uint8_t> stream;
    for (uint8_t v = 10; v < 30; ++v) {
        const auto message = Short(v);
        stream.insert(stream.end(), message.begin(), message.end());
    }
    const auto word0 = Long(3000 + 1);  // a long message, so later chunks straddle messages
    const auto last = Short(115);
    stream.insert(stream.end(), word0.begin(), word0.end());
    stream.insert(stream.end(), last.begin(), last.end());
    const size_t pieces[] = {1, 3, 2, 7, 5, 4};
    for (size_t at = 0, i = 0; at < stream.size(); ++i) {
        const size_t n = std::min(pieces[i % 6], stream.size() - at);
        device.Write(
            {stream.begin() + static_cast<long>(at), stream.begin() + static_cast<long>(at + n)});
        at += n;
        SleepMs(3);
    }
    // 90 bytes: 22 whole chunks; the last two bytes wait for a chunk of their own.
    ASSERT_TRUE(WaitUntil([] { return recordedCount.load() >= 88; }, 2000));
    SleepMs(100);
    EXPECT_FALSE(oddChunk.load());
    EXPECT_EQ(Recorded(), std::vector<uint8_t>(stream.begin(), stream.begin() + 88));
    EXPECT_EQ(liveValues.measurement.load(), 29);  // 115 is still two bytes short
    EXPECT_EQ(parameterSet.deviceWords[0].load(), 1);
}

TEST_F(LinkTest, ThreeBytesAloneAreNeverDelivered) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    device.Write({0x71, 0x31, 0xA2});
    SleepMs(150);
    EXPECT_EQ(recordedCount.load(), 0);
    device.Write({0x0D});
    ASSERT_TRUE(WaitUntil([] { return recordedCount.load() == 4; }, 1000));
    EXPECT_EQ(Recorded(), (std::vector<uint8_t>{0x71, 0x31, 0xA2, 0x0D}));
    EXPECT_EQ(liveValues.measurement.load(), 115);
    EXPECT_EQ(liveValues.linkTimeout.load(), 15);
}

TEST_F(LinkTest, SixBytesPutWakeTheWriterOnceAndArriveInOrder) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const auto poll = Long(CMD_POLL);
    ASSERT_TRUE(PutTxBytes(poll.data(), 6));
    EXPECT_EQ(device.Read(6, 1000), poll);
    EXPECT_TRUE(device.Read(1, 100).empty());
    EXPECT_EQ(WriterDrainCount(), 1);
}

TEST_F(LinkTest, TwentyTwoWordsLeaveInTransferOrder) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i].store(static_cast<uint16_t>(i % 2));
    }
    QueueAllParameters();
    for (int tick = 0; tick < kParameterCount; ++tick) {
        LinkTick();
        SleepMs(5);
    }
    const auto wire = device.Read(6 * kParameterCount, 2000);
    ASSERT_EQ(wire.size(), 6u * kParameterCount);
    const int order[kParameterCount] = {0, 5, 10, 13, 15, 16, 17, 3,  8,  21, 18,
                                        1, 6, 11, 12, 4,  9,  20, 19, 14, 2,  7};
    for (int step = 0; step < kParameterCount; ++step) {
        const int word = order[step];
        const auto expected =
            Long(static_cast<uint16_t>(kParameterTable[word].transferCode + word % 2));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wire.begin() + 6 * step))
            << "step " << step + 1 << " should carry word " << word;
    }
    EXPECT_TRUE(CommandQueueEmpty());
}

TEST_F(LinkTest, CloseLinkReturnsPromptlyWhileReadingTwiceAndNeverOpened) {
    auto start = Clock::now();
    CloseLink();  // never opened
    EXPECT_LT(ElapsedMs(start), 100);

    ASSERT_EQ(OpenLink(1, 9600), 1);
    SleepMs(50);  // the reader is now waiting for data
    start = Clock::now();
    CloseLink();
    EXPECT_LT(ElapsedMs(start), 100);
    start = Clock::now();
    CloseLink();
    EXPECT_LT(ElapsedMs(start), 100);
    EXPECT_EQ(writeRequestEvent.load(), nullptr);
}

TEST_F(LinkTest, CloseLinkAbortsAPendingWrite) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    // The device never reads: once the line's buffers are full the writer blocks in its write
    // and the ring stays full.
    const uint8_t bytes[24] = {0x11, 0x21, 0x31};
    int refusedInARow = 0;
    const auto start = Clock::now();
    while (refusedInARow < 50 && ElapsedMs(start) < 20000) {
        if (PutTxBytes(bytes, sizeof bytes)) {
            refusedInARow = 0;
        } else {
            ++refusedInARow;
            SleepMs(1);
        }
    }
    ASSERT_EQ(refusedInARow, 50) << "the writer never blocked";
    const auto closing = Clock::now();
    CloseLink();
    EXPECT_LT(ElapsedMs(closing), 100);
}

TEST_F(LinkTest, OpenCloseCyclesLeaveNoThreadOrDescriptor) {
    // One cycle first: a sanitizer runtime starts a helper thread of its own at the first one.
    ASSERT_EQ(OpenLink(1, 9600), 1);
    CloseLink();
    const int threads = ThreadCount();
    const int descriptors = DescriptorCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(OpenLink(1, 9600), 1) << "cycle " << cycle;
        CloseLink();
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(DescriptorCount(), descriptors);
}

TEST_F(LinkTest, AnOpenPortRefusesASecondOpen) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const int descriptors = DescriptorCount();
    EXPECT_EQ(platform::OpenSerialPort("COM1", 9600), nullptr);
    EXPECT_EQ(DescriptorCount(), descriptors);
    // The refused open changed nothing for the holder.
    device.Write(Short(57));
    EXPECT_TRUE(WaitUntil([] { return liveValues.measurement.load() == 57; }, 1000));
}

TEST_F(LinkTest, OpenFailsCleanlyOnWhatIsNoSerialPort) {
    TempFolder folder;
    const std::string file = folder.path + "/plain";
    std::fclose(std::fopen(file.c_str(), "w"));
    const struct {
        const char* what;
        std::string path;
        int baud;
    } cases[] = {
        {"no such device", "/nonexistent/ttyX", 9600},
        {"a regular file", file, 9600},
        {"not a terminal", "/dev/null", 9600},
        {"an unknown rate", device.path, 12345},
    };
    const int threads = ThreadCount();
    const int descriptors = DescriptorCount();
    for (const auto& c : cases) {
        setenv("KVXMON_COM3", c.path.c_str(), 1);
        EXPECT_EQ(OpenLink(3, c.baud), 0) << c.what;
        EXPECT_EQ(ThreadCount(), threads) << c.what;
        EXPECT_EQ(DescriptorCount(), descriptors) << c.what;
        EXPECT_EQ(writeRequestEvent.load(), nullptr) << c.what;
    }
}

TEST_F(LinkTest, HangUpBlanksIdlesAndResumesWhenTheDeviceReturns) {
    TempFolder folder;
    const std::string link = folder.path + "/com1";
    ASSERT_TRUE(PointLink(link, device.path));
    setenv("KVXMON_COM1", link.c_str(), 1);
    ASSERT_EQ(OpenLink(1, 9600), 1);
    device.Write(Short(115));
    ASSERT_TRUE(WaitUntil([] { return liveValues.measurement.load() == 115; }, 1000));

    device.Close();  // unplugged
    const int cpuBefore = CpuMs();
    SleepMs(1500);
    EXPECT_LT(CpuMs() - cpuBefore, 50) << "the link spins after a hang-up";
    for (int tick = 0; tick < 16; ++tick) {
        LinkTick();
    }
    EXPECT_EQ(liveValues.measurement.load(), -1);

    PtyDevice returned;
    ASSERT_TRUE(returned.Open());
    ASSERT_TRUE(PointLink(link, returned.path));
    // The link finds it within about a second; until then what is sent is not for it.
    EXPECT_TRUE(WaitUntil(
        [&] {
            returned.Write(Short(57));
            return liveValues.measurement.load() == 57;
        },
        3000));
    const auto poll = Long(CMD_POLL);
    ASSERT_TRUE(PutTxBytes(poll.data(), 6));
    EXPECT_EQ(returned.Read(6, 1000), poll);
}

TEST(SerialPortNames, EnvironmentFirstThenTheDefaultMap) {
    for (int n = 1; n <= 8; ++n) {
        unsetenv(("KVXMON_COM" + std::to_string(n)).c_str());
    }
    setenv("KVXMON_COM2", "/tmp/my-device", 1);
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/tmp/my-device"},
        {"COM4", "/dev/ttyS3"},
        {"COM9", ""},
        {"COM0", ""},
        {"COMX", ""},
        {"COM", ""},
        {"LPT1", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ResolveSerialPortName(c.name), c.path) << c.name;
    }
    // COM5..COM8 are USB adapters: a stable by-id name when udev provides them.
    const std::string usb = platform::ResolveSerialPortName("COM5");
    EXPECT_TRUE(usb.empty() || usb.rfind("/dev/", 0) == 0) << usb;
}

}  // namespace
