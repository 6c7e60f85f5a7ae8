// The link, the protocol and the transfer running end to end against kvxsim.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/language.h"
#include "app/settings.h"
#include "app/window_state.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "link/tx_ring.h"
#include "link_test_support.h"
#include "params/parameter_set.h"

extern char** environ;

using namespace linktest;

namespace {

// A running kvxsim and the device path it printed.
struct Sim {
    pid_t pid = -1;
    std::string path;

    bool Start(std::vector<std::string> args) {
        const char* program = std::getenv("KVXSIM_PATH");
        args.insert(args.begin(), program != nullptr && program[0] != 0 ? program : KVXSIM_BUILT);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const bool spawned =
            posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        path.clear();
        pollfd p{out[0], POLLIN, 0};
        for (char c; spawned && poll(&p, 1, 5000) == 1 && read(out[0], &c, 1) == 1 && c != '\n';) {
            path += c;
        }
        close(out[0]);
        return spawned && !path.empty();
    }
    // The exit status, or -1 when it did not end normally.
    int Stop() {
        if (pid < 0) {
            return -1;
        }
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Sim() { Stop(); }
};

// Message boxes come only from the window thread, which here is the test's own thread.
std::vector<std::string> boxes;

platform::MessageResult RecordBox(const char* text, const char*, platform::MessageIcon,
                                  platform::MessageButtons) {
    boxes.emplace_back(text);
    return platform::MessageResult::Ok;
}

std::string Identity() {
    char text[kIdentitySize];
    ReadIdentity(text);
    return text;
}

class SimLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CloseLink();
        ResetProtocolState();
        ResetCommandQueue();
        uint8_t stale[kTxRingSize];
        TakeTxBytes(stale);  // bytes an earlier test left for a link that closed
        windowFlags.confirmPending.store(0);
        windowFlags.alarmCountdown.store(0);
        platform::CloseEvent(replyEvent.exchange(platform::CreateEvent(true, false)));
        boxes.clear();
        platform::SetMessageBoxHook(RecordBox);
    }
    void TearDown() override {
        CloseLink();
        platform::CloseEvent(replyEvent.exchange(nullptr));
        platform::SetMessageBoxHook(nullptr);
    }
    // Starts kvxsim and opens the link on it as COM1.
    void Connect(std::vector<std::string> args) {
        ASSERT_TRUE(sim.Start(std::move(args))) << "kvxsim did not start (KVXSIM_PATH)";
        setenv("KVXMON_COM1", sim.path.c_str(), 1);
        ASSERT_EQ(OpenLink(1, 9600), 1);
        ASSERT_TRUE(WaitUntil([] { return liveValues.measurement.load() >= 0; }, 2000));
    }
    Sim sim;
};

TEST_F(SimLinkTest, PollIsAnsweredWithWordsAndIdentityOrEndsAtItsLimit) {
    Connect({"--identity", "TEST-UNIT 7"});
    EXPECT_TRUE(PollAndWait(2000));
    EXPECT_TRUE(WaitUntil([] { return Identity() == "TEST-UNIT 7"; }, 1000)) << Identity();
    EXPECT_EQ(parameterSet.deviceWords[limit1Setpoint].load(), 90);
    EXPECT_EQ(parameterSet.deviceWords[limit2Mode].load(), 1);

    TearDown();
    sim.Stop();
    SetUp();
    Connect({"--ignore-polls"});
    const auto start = Clock::now();
    EXPECT_FALSE(PollAndWait(300));
    EXPECT_GE(ElapsedMs(start), 290);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(SimLinkTest, TransferIsConfirmedOrReportedAsMismatch) {
    const struct {
        std::vector<std::string> args;
        size_t expectedBoxes;
    } cases[] = {{{}, 0}, {{"--wrong-word", "5"}, 1}};
    char mismatch[80];
    BuildSlotMessage(mismatch, 81, 0);
    for (const auto& c : cases) {
        SetUp();
        Connect(c.args);
        ASSERT_TRUE(PollAndWait(2000));
        // As a parameter file load does: new valid words in both copies, all 22 queued.
        for (int i = 0; i < kParameterCount; ++i) {
            const ParameterInfo& info = kParameterTable[i];
            const uint16_t value = static_cast<uint16_t>((info.minValue + info.maxValue + 1) / 2);
            parameterSet.editWords[i] = value;
            parameterSet.deviceWords[i].store(value);
        }
        QueueAllParameters();
        windowFlags.confirmPending.store(1);
        EXPECT_TRUE(WaitUntil(
            [] {
                LinkTick();  // the confirmation runs inside, waiting for the reply
                return CommandQueueEmpty() && windowFlags.confirmPending.load() == 0;
            },
            5000));
        ASSERT_EQ(boxes.size(), c.expectedBoxes);
        if (c.expectedBoxes == 1) {
            EXPECT_EQ(boxes[0], mismatch);
        }
        TearDown();
        sim.Stop();
    }
}

TEST_F(SimLinkTest, AlarmCodesFollowTheDevicesOwnLimits) {
    settings.stopAtAlarm.store(1);
    const struct {
        const char* level;
        bool alarm;
    } cases[] = {{"50", false}, {"95", true}};  // limit 1 is a maximum at 90 %
    for (const auto& c : cases) {
        SetUp();
        Connect({"--wave", "steady", "--min", c.level, "--max", c.level});
        EXPECT_EQ(WaitUntil([] { return windowFlags.alarmCountdown.load() != 0; }, 1500), c.alarm)
            << "at " << c.level << " %";
        TearDown();
        sim.Stop();
    }
    settings.stopAtAlarm.store(0);
}

TEST_F(SimLinkTest, TheSimulatorEndsCleanlyAndRemovesItsLink) {
    TempFolder folder;
    const std::filesystem::path link = folder.path + "/korvex";
    ASSERT_TRUE(sim.Start({"--link", link}));
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.path);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

}  // namespace
