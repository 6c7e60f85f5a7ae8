#include "link/transfer.h"

#include "unit/test_support.h"

namespace {

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        settings.languageBase = 0;
        StartRecordingBoxes();
        replyEvent = platform::CreateEvent(true, false);
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        platform::CloseEvent(replyEvent.exchange(nullptr));
    }
};

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
    const struct {
        bool answer;
        uint16_t reported;
        const char* text;  // nullptr: no box
    } cases[] = {{true, 40, nullptr},
                 {true, 41, "Parameters not transferred correctly!"},
                 {false, 40, "Timeout on confirmation of parameters.\nPlease check!"}};
    for (const auto& c : cases) {
        ResetLinkState();
        recordedBoxes.clear();
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
        ASSERT_EQ(recordedBoxes.size(), c.text ? 1u : 0u);
        if (c.text) {
            EXPECT_EQ(recordedBoxes[0].text, c.text);
            EXPECT_EQ(recordedBoxes[0].caption, "Korvex Configuration tool");
        }
        EXPECT_EQ(windowFlags.confirmPending.load(), 0);
    }
}

}  // namespace
