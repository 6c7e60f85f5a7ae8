// The serial link against a fake device on a pseudo-terminal: what reaches the parser and the
// wire, how promptly the link stops, what it leaves behind, and a device that goes and returns.
#include "link/serial_link.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdio>

#include "link/protocol.h"
#include "link/transfer.h"
#include "link/tx_ring.h"
#include "link_test_support.h"
#include "params/parameter_set.h"

using namespace linktest;

namespace {

// Every chunk the reader hands over, in order; written on the reader thread.
constexpr int kRecordSize = 1024;
std::atomic<uint8_t> recorded[kRecordSize];
std::atomic<int> recordedCount{0};
std::atomic<bool> oddChunk{false};

void Record(const uint8_t* bytes, int count) {
    oddChunk.store(oddChunk.load() || count != 4);
    const int at = recordedCount.load(std::memory_order_relaxed);
    for (int i = 0; i < count && at + i < kRecordSize; ++i) {
        recorded[at + i].store(bytes[i], std::memory_order_relaxed);
    }
    recordedCount.store(at + count, std::memory_order_release);
}

std::vector<uint8_t> Recorded() {
    std::vector<uint8_t> bytes(static_cast<size_t>(recordedCount.load()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = recorded[i].load(std::memory_order_relaxed);
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
    for (const auto& message : {Short(10), Long(3000 + 1), Long(3100 + 1), Short(115), Short(57)}) {
        stream.insert(stream.end(), message.begin(), message.end());
    }
    stream.pop_back();  // 23 bytes: five whole chunks, then three bytes alone
    const size_t pieces[] = {1, 3, 2, 7, 5};
    for (size_t at = 0, i = 0; at < stream.size(); at += pieces[i++ % 5]) {
        const size_t end = std::min(at + pieces[i % 5], stream.size());
        device.Write(
            {stream.begin() + static_cast<long>(at), stream.begin() + static_cast<long>(end)});
        SleepMs(3);
    }
    ASSERT_TRUE(WaitUntil([] { return recordedCount.load() >= 20; }, 2000));
    SleepMs(150);
    EXPECT_EQ(Recorded(), std::vector<uint8_t>(stream.begin(), stream.begin() + 20));
    EXPECT_EQ(liveValues.measurement.load(), 115);  // the long messages straddled chunks
    EXPECT_EQ(parameterSet.deviceWords[0].load(), 1);
    EXPECT_EQ(parameterSet.deviceWords[1].load(), 1);

    device.Write({0x0D});  // the fourth byte completes the held chunk
    ASSERT_TRUE(WaitUntil([] { return recordedCount.load() == 24; }, 1000));
    EXPECT_FALSE(oddChunk.load());
    EXPECT_EQ(liveValues.measurement.load(), 57);
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
    for (int tick = 0; tick < kParameterCount; ++tick, SleepMs(5)) {
        LinkTick();
    }
    const auto wire = device.Read(6 * kParameterCount, 2000);
    ASSERT_EQ(wire.size(), 6u * kParameterCount);
    const int order[kParameterCount] = {0, 5, 10, 13, 15, 16, 17, 3,  8,  21, 18,
                                        1, 6, 11, 12, 4,  9,  20, 19, 14, 2,  7};
    for (int step = 0; step < kParameterCount; ++step) {
        const auto expected = Long(
            static_cast<uint16_t>(kParameterTable[order[step]].transferCode + order[step] % 2));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wire.begin() + 6 * step))
            << "step " << step + 1 << " should carry word " << order[step];
    }
}

TEST_F(LinkTest, CloseLinkIsPromptNeverOpenedWhileReadingTwiceAndDuringABlockedWrite) {
    auto timedClose = [] {
        const auto start = Clock::now();
        CloseLink();
        return ElapsedMs(start);
    };
    EXPECT_LT(timedClose(), 100) << "never opened";
    ASSERT_EQ(OpenLink(1, 9600), 1);
    SleepMs(50);
    EXPECT_LT(timedClose(), 100) << "reader waiting";
    EXPECT_LT(timedClose(), 100) << "second close";
    EXPECT_EQ(writeRequestEvent.load(), nullptr);

    // The device never reads: once the line's buffers are full the writer blocks in a write
    // and the ring stays full.
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const uint8_t bytes[24] = {0x11, 0x21, 0x31};
    int refusedInARow = 0;
    for (const auto start = Clock::now(); refusedInARow < 50 && ElapsedMs(start) < 20000;) {
        refusedInARow = PutTxBytes(bytes, sizeof bytes) ? 0 : refusedInARow + 1;
        SleepMs(refusedInARow > 0 ? 1 : 0);
    }
    ASSERT_EQ(refusedInARow, 50) << "the writer never blocked";
    EXPECT_LT(timedClose(), 100) << "pending write";
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

TEST_F(LinkTest, RefusedOpensLeaveNothingBehind) {
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

    // A port in use refuses a second open, which changes nothing for the holder.
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const int held = DescriptorCount();
    EXPECT_EQ(platform::OpenSerialPort("COM1", 9600), nullptr);
    EXPECT_EQ(DescriptorCount(), held);
    device.Write(Short(57));
    EXPECT_TRUE(WaitUntil([] { return liveValues.measurement.load() == 57; }, 1000));
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
    EXPECT_TRUE(WaitUntil(
        [&] {
            returned.Write(Short(57));  // lost until the link has found the device again
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
    const char* const cases[][2] = {
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
        EXPECT_EQ(platform::ResolveSerialPortName(c[0]), c[1]) << c[0];
    }
    const std::string usb = platform::ResolveSerialPortName("COM5");
    EXPECT_TRUE(usb.empty() || usb.rfind("/dev/", 0) == 0) << usb;
}

}  // namespace
