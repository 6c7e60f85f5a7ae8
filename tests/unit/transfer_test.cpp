#include "link/transfer.h"

#include <string>

#include "unit/link_helpers.h"

namespace {

std::vector<std::string> boxes;  // "caption|text" of every box shown

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        settings.languageBase = 0;
        boxes.clear();
        platform::SetMessageBoxHook([](const char* text, const char* caption, auto, auto) {
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
    for (int i = 0; i < kParameterCount; ++i)
        parameterSet.deviceWords[i] = uint16_t(i % 5);
    QueueAllParameters();
    std::vector<uint16_t> sent;
    while (!CommandQueueEmpty()) {
        LinkTick();
        sent.push_back(SentWords().at(0));
    }
    EXPECT_EQ(sent, (std::vector<uint16_t>{3000, 3010, 3020, 3033,  3040,  3051, 3062, 3073,
                                           3078, 3066, 3083, 3101,  3201,  3301, 3402, 3504,
                                           3604, 3700, 3804, 10004, 20002, 30002}));
}

TEST_F(Transfer, PollAndWaitSeesOnlyAReplyToItsOwnPoll) {
    std::thread device = AnswerPoll({3101, 3000});
    EXPECT_TRUE(PollAndWait(5000));
    device.join();
    EXPECT_FALSE(PollAndWait(30));  // silence
    FeedWords({3000});              // a late reply
    EXPECT_FALSE(PollAndWait(30));
    platform::CloseEvent(replyEvent.exchange(nullptr));
    EXPECT_FALSE(PollAndWait(5000));  // no event: fails at once
}

TEST_F(Transfer, ConfirmationStepOutcomes) {
    const std::string timeout =
        "Korvex Configuration tool|Timeout on confirmation of parameters.\nPlease check!";
    const std::string mismatch = "Korvex Configuration tool|Parameters not transferred correctly!";
    const struct {
        bool answer;
        uint16_t reported;
        std::vector<std::string> boxes;
    } cases[] = {{true, 40, {}}, {true, 41, {mismatch}}, {false, 40, {timeout}}};
    for (const auto& c : cases) {
        ResetLinkState();
        boxes.clear();
        parameterSet.editWords[limit1Setpoint] = 40;
        QueueWord(3100, 40);
        windowFlags.confirmPending = 1;
        LinkTick();  // sends the word
        EXPECT_EQ(SentWords(), std::vector<uint16_t>{3140});
        std::thread device =
            c.answer ? AnswerPoll({uint16_t(3100 + c.reported), 3000}) : std::thread([] {});
        LinkTick();  // confirms
        device.join();
        LinkTick();  // only counts down
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(windowFlags.confirmPending.load(), 0);
    }
}

}  // namespace
