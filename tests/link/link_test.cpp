// The serial link against a fake device whose bytes the test handles itself: line settings, parser
// and wire, prompt stops, nothing left behind, a device that goes and returns.
#include <gtest/gtest.h>

#include <ctime>
#include <mutex>

#include "link/serial_link.h"
#include "link/tx_ring.h"
#include "params/parameter_set.h"
#include "records/window_state.h"
#include "window/fake_device.h"

namespace {

// Entries("/proc/self/task") counts the threads, Entries("/proc/self/fd") the descriptors.
int Entries(const char* folder) {
    auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}
int CpuMs() {
    return static_cast<int>(std::clock() * 1000 / CLOCKS_PER_SEC);
}

// Every chunk the reader hands over, in order.
std::mutex recordMutex;
std::vector<uint8_t> recorded;

void Record(const uint8_t* bytes, int count) {
    std::lock_guard<std::mutex> lock(recordMutex);
    recorded.insert(recorded.end(), bytes, bytes + count);
}
std::vector<uint8_t> Recorded() {
    std::lock_guard<std::mutex> lock(recordMutex);
    return recorded;
}

// Points link at target in one step, as udev or kvxsim --link would.
bool PointLink(const std::string& link, const std::string& target) {
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 &&
           rename(temporary.c_str(), link.c_str()) == 0;
}

class Link : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset();
        SetReceiveHook(Record);
        platform::CloseEvent(replyEvent.exchange(platform::CreateEvent(true, false)));
        platform::SetMessageBoxHook([](const char*, const char*, auto, auto) {
            return platform::MessageResult::Ok;  // no box may wait for a user here
        });
        ASSERT_TRUE(device.opened());
        setenv("KVXMON_COM1", device.path().c_str(), 1);
    }
    void TearDown() override {
        CloseLink();
        SetReceiveHook(nullptr);
        platform::CloseEvent(replyEvent.exchange(nullptr));
        platform::SetMessageBoxHook(nullptr);
    }
    void Reset() {
        CloseLink();
        ResetProtocolState();
        ResetCommandQueue();
        uint8_t stale[kTxRingSize];
        TakeTxBytes(stale);  // bytes an earlier test left for a link that closed
        std::lock_guard<std::mutex> lock(recordMutex);
        recorded.clear();
        windowFlags.confirmPending.store(0);
    }
    FakeDevice device{false, false};  // the test reads and writes its bytes
    TempFolder folder;
};

TEST_F(Link, RawLine9600EightBitsNoParityOneStopNoFlowControl) {
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const termios t = device.Line();
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CREAD), CS8 | CREAD);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

// The window lets the line gather between reads: bytes then come in bursts, still all and in
// order, and a close still ends the reader at once while it waits.
TEST_F(Link, AGatheringReaderLosesNoByteAndStillClosesPromptly) {
    SetReadGather(40);
    ASSERT_EQ(OpenLink(1, 9600), 1);
    std::vector<uint8_t> stream;
    for (int i = 0; i < 30; ++i) {
        const auto message = ShortBytes(static_cast<uint8_t>(i));
        stream.insert(stream.end(), message.begin(), message.end());
        device.Write(message);
        SleepMs(5);
    }
    ASSERT_TRUE(WaitUntil([] { return Recorded().size() >= 120; }, 2000));
    EXPECT_EQ(Recorded(), stream);
    EXPECT_EQ(liveValues.measurement.load(), 29);
    device.Write(ShortBytes(7));
    SleepMs(5);  // the reader is in its gather wait now
    const auto start = Clock::now();
    CloseLink();
    EXPECT_LT(ElapsedMs(start), 100);
    SetReadGather(0);
}

TEST_F(Link, CloseLinkIsPromptNeverOpenedWhileReadingTwiceAndDuringABlockedWrite) {
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

TEST_F(Link, RefusedOpensAndOpenCloseCyclesLeaveNothingBehind) {
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
        {"an unknown rate", device.path(), 12345},
    };
    // One cycle first: a sanitizer runtime starts a helper thread of its own at the first one.
    ASSERT_EQ(OpenLink(1, 9600), 1);
    CloseLink();
    const int threads = Entries("/proc/self/task");
    const int descriptors = Entries("/proc/self/fd");
    for (const auto& c : cases) {
        setenv("KVXMON_COM3", c.path.c_str(), 1);
        EXPECT_EQ(OpenLink(3, c.baud), 0) << c.what;
        EXPECT_EQ(Entries("/proc/self/task"), threads) << c.what;
        EXPECT_EQ(Entries("/proc/self/fd"), descriptors) << c.what;
        EXPECT_EQ(writeRequestEvent.load(), nullptr) << c.what;
    }
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_EQ(OpenLink(1, 9600), 1) << "cycle " << cycle;
        CloseLink();
    }
    EXPECT_EQ(Entries("/proc/self/task"), threads) << "after open and close cycles";
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors) << "after open and close cycles";

    // A port in use refuses a second open, which changes nothing for the holder.
    ASSERT_EQ(OpenLink(1, 9600), 1);
    const int held = Entries("/proc/self/fd");
    EXPECT_EQ(platform::OpenSerialPort("COM1", 9600), nullptr);
    EXPECT_EQ(Entries("/proc/self/fd"), held);
    device.Write(ShortBytes(57));
    EXPECT_TRUE(WaitUntil([] { return liveValues.measurement.load() == 57; }, 1000));
}

TEST_F(Link, HangUpBlanksIdlesAndResumesWhenTheDeviceReturns) {
    const std::string link = folder.path + "/com1";
    ASSERT_TRUE(PointLink(link, device.path()));
    setenv("KVXMON_COM1", link.c_str(), 1);
    ASSERT_EQ(OpenLink(1, 9600), 1);
    device.Write(ShortBytes(115));
    ASSERT_TRUE(WaitUntil([] { return liveValues.measurement.load() == 115; }, 1000));

    device.Close();  // unplugged
    const int cpuBefore = CpuMs();
    SleepMs(1500);
    EXPECT_LT(CpuMs() - cpuBefore, 50) << "the link spins after a hang-up";
    for (int tick = 0; tick < 16; ++tick) {
        LinkTick();
    }
    EXPECT_EQ(liveValues.measurement.load(), -1);

    FakeDevice returned(false, false);
    ASSERT_TRUE(PointLink(link, returned.path()));
    EXPECT_TRUE(WaitUntil(
        [&] {
            returned.Write(ShortBytes(57));  // lost until the link has found the device again
            return liveValues.measurement.load() == 57;
        },
        3000));
    const auto poll = Bytes(CMD_POLL);
    ASSERT_TRUE(PutTxBytes(poll.data(), 6));
    EXPECT_EQ(returned.Read(6, 1000), poll);
}

TEST(SerialPortNames, EnvironmentFirstThenTheDefaultMap) {
    for (int n = 1; n <= 8; ++n) {
        unsetenv(("KVXMON_COM" + std::to_string(n)).c_str());
    }
    setenv("KVXMON_COM2", "/tmp/my-device", 1);
    const char* const cases[][2] = {
        {"COM1", "/dev/ttyS0"}, {"COM2", "/tmp/my-device"},
        {"COM4", "/dev/ttyS3"}, {"COM9", ""},
        {"COM0", ""},           {"COMX", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ResolveSerialPortName(c[0]), c[1]) << c[0];
    }
    const std::string usb = platform::ResolveSerialPortName("COM5");
    EXPECT_TRUE(usb.empty() || usb.rfind("/dev/", 0) == 0) << usb;
}

}  // namespace
