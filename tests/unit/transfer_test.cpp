#include "link/transfer.h"

#include "records/language.h"
#include "unit/test_support.h"

namespace {

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
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

// The device's report is compared word by word with the edit copy, the last word too; a wrong
// word and a silent device each say so once, and the confirmation is over either way.
TEST_F(Transfer, AConfirmationNamesAWrongWordOrASilentDeviceOnce) {
    char wrong[80], silent[80];
    BuildSlotMessage(wrong, 81, 0);
    BuildSlotMessage(silent, 82, 0);
    parameterSet.editWords[autoShutDown] = 1;
    for (uint16_t reported : {1, 0}) {
        windowFlags.confirmPending = 1;
        std::thread device = AnswerPoll({uint16_t(3065 + reported), 3000});
        ConfirmationStep();
        device.join();
        EXPECT_EQ(windowFlags.confirmPending.load(), 0);
    }
    const auto start = Clock::now();
    ConfirmationStep();
    EXPECT_GE(ElapsedMs(start), 1900);
    ASSERT_EQ(recordedBoxes.size(), 2u);
    EXPECT_EQ(recordedBoxes[0].text, wrong);
    EXPECT_EQ(recordedBoxes[1].text, silent);
    EXPECT_EQ(recordedBoxes[1].caption, "Korvex Configuration tool");
}

}  // namespace
