#include "unit/link_helpers.h"

namespace {

TEST(TxRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    TakeAllTx();
    std::vector<uint8_t> first(20), second(11);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<uint8_t>(100 + i);
    ASSERT_TRUE(PutTxBytes(first.data(), 20));
    EXPECT_EQ(TakeAllTx(), first);  // the indexes now sit mid-ring
    ASSERT_TRUE(PutTxBytes(first.data(), 20));
    ASSERT_TRUE(PutTxBytes(second.data(), 11));  // 31 pending: full
    EXPECT_FALSE(PutTxBytes(second.data(), 1));
    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(TakeAllTx(), expected);
    ASSERT_TRUE(PutTxBytes(first.data(), 20));
    EXPECT_FALSE(PutTxBytes(second.data(), 6) && PutTxBytes(second.data(), 6));  // 2nd: no room
    first.insert(first.end(), second.begin(), second.begin() + 6);
    EXPECT_EQ(TakeAllTx(), first);  // the refused message left nothing behind
}

TEST(TxRing, PutWakesTheWriter) {
    TakeAllTx();
    platform::EventHandle event = platform::CreateEvent(true, false);
    writeRequestEvent = event;
    SendPoll();
    EXPECT_TRUE(platform::WaitForEvent(event, 0));
    writeRequestEvent = nullptr;
    platform::CloseEvent(event);
    EXPECT_EQ(SentWords(), std::vector<uint16_t>{CMD_POLL});
}

TEST(TxRing, ConsumerThreadSeesEveryByteInOrder) {
    TakeAllTx();
    constexpr int kBytes = 20000;
    bool inOrder = true;
    std::thread consumer([&inOrder] {
        uint8_t buffer[kTxRingSize];
        int expected = 0;
        while (expected < kBytes) {
            int n = TakeTxBytes(buffer);
            for (int i = 0; i < n; ++i, ++expected) {
                inOrder = inOrder && buffer[i] == static_cast<uint8_t>(expected);
            }
            if (n == 0)
                std::this_thread::yield();
        }
    });
    for (int sent = 0; sent < kBytes;) {
        uint8_t chunk[3];
        int n = std::min(3, kBytes - sent);
        for (int i = 0; i < n; ++i)
            chunk[i] = static_cast<uint8_t>(sent + i);
        if (PutTxBytes(chunk, n)) {
            sent += n;
        } else {
            std::this_thread::yield();
        }
    }
    consumer.join();
    EXPECT_TRUE(inOrder);
}

}  // namespace
