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

}  // namespace
