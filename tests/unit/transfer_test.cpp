#include "link/transfer.h"

#include <string>

#include "app/language.h"
#include "unit/link_helpers.h"

namespace {

std::vector<std::string> boxes;  // "caption|text" of every box shown

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        settings.languageBase = 0;
        boxes.clear();
        platform::SetMessageBoxHook([](const char* text, const char* caption, platform::MessageIcon,
                                       platform::MessageButtons) {
            boxes.push_back(std::string(caption) + "|" + text);
            return platform::MessageResult::Ok;
        });
        replyEvent = platform::CreateEvent(true, false);
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        platform::CloseEvent(replyEvent.exchange(nullptr));
    }
};

TEST_F(Transfer, AllParametersLeaveInTransferOrder) {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = static_cast<uint16_t>(i % 5);
    }
    QueueAllParameters();
    std::vector<uint16_t> sent;
    while (!CommandQueueEmpty()) {
        LinkTick();
        for (uint16_t w : SentWords()) {
            sent.push_back(w);
        }
    }
    EXPECT_EQ(sent, (std::vector<uint16_t>{3000, 3010, 3020, 3033,  3040,  3051, 3062, 3073,
                                           3078, 3066, 3083, 3101,  3201,  3301, 3402, 3504,
                                           3604, 3700, 3804, 10004, 20002, 30002}));
}

TEST_F(Transfer, PollAndWaitSeesAReplyFromTheReaderThread) {
    std::thread device = AnswerPoll({3101, 3000});
    EXPECT_TRUE(PollAndWait(5000));
    device.join();
    EXPECT_EQ(parameterSet.deviceWords[limit1Setpoint].load(), 1);
    // Silence, and a late reply, satisfy no later wait.
    EXPECT_FALSE(PollAndWait(30));
    FeedWords({3000});
    EXPECT_FALSE(PollAndWait(30));
    platform::CloseEvent(replyEvent.exchange(nullptr));
    EXPECT_FALSE(PollAndWait(5000));  // no event: fails at once
}

TEST_F(Transfer, ConfirmationOutcomes) {
    const std::string timeout =
        "Korvex Configuration tool|Timeout on confirmation of parameters.\nPlease check!";
    const std::string mismatch = "Korvex Configuration tool|Parameters not transferred correctly!";
    const struct {
        bool answer;
        uint16_t reportedSetpoint;
        std::vector<std::string> boxes;
    } cases[] = {{true, 40, {}}, {true, 41, {mismatch}}, {false, 40, {timeout}}};
    for (const auto& c : cases) {
        ResetLinkState();
        boxes.clear();
        parameterSet.editWords[limit1Setpoint] = 40;
        QueueWord(3100, 40);
        windowFlags.confirmPending = 1;
        LinkTick();  // sends the queued word
        EXPECT_EQ(SentWords(), std::vector<uint16_t>{3140});
        std::thread device;
        if (c.answer) {
            device = AnswerPoll({static_cast<uint16_t>(3100 + c.reportedSetpoint), 3000});
        }
        LinkTick();  // confirms
        if (device.joinable()) {
            device.join();
        }
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(windowFlags.confirmPending.load(), 0);
        LinkTick();  // counts down, confirms nothing more
        EXPECT_EQ(boxes.size(), c.boxes.size());
    }
}

TEST_F(Transfer, IdentityPollOnlyWhileATalkingDeviceIsUnnamed) {
    IdentityPoll();  // start-up: linkTimeout 20, no identity
    EXPECT_EQ(SentWords(), std::vector<uint16_t>{CMD_POLL});
    FeedWords({3000, 65265, 65213});
    IdentityPoll();
    liveValues.linkTimeout = 0;
    liveValues.identity[0] = 0;
    IdentityPoll();
    EXPECT_TRUE(SentWords().empty());
}

}  // namespace
