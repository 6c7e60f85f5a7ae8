#include "unit/test_support.h"

namespace {

TEST(TxRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    TakeAllTx();
    std::vector<uint8_t> a(20, 0xA1), b(11, 0xB1);
    a[0] = b[0] = 0x55;
    ASSERT_TRUE(PutTxBytes(a.data(), 20));
    EXPECT_EQ(TakeAllTx(), a);  // the indexes now sit mid-ring
    ASSERT_TRUE(PutTxBytes(a.data(), 20) && PutTxBytes(b.data(), 11));  // 31 pending: full
    EXPECT_FALSE(PutTxBytes(b.data(), 1));
    std::vector<uint8_t> expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(TakeAllTx(), expected);
    ASSERT_TRUE(PutTxBytes(a.data(), 20) && PutTxBytes(b.data(), 6));
    EXPECT_FALSE(PutTxBytes(b.data(), 6));  // a message that does not fit leaves nothing behind
    EXPECT_EQ(TakeAllTx().size(), 26u);
}

TEST(TxRing, WakesTheWriterAndFeedsItInOrder) {
    TakeAllTx();
    platform::EventHandle event = platform::CreateEvent(true, false);
    writeRequestEvent = event;
    constexpr int kBytes = 20000;
    bool inOrder = true;
    std::thread writer([&inOrder] {
        uint8_t buffer[kTxRingSize];
        for (int expected = 0; expected < kBytes;) {
            EXPECT_TRUE(platform::WaitForEvent(writeRequestEvent, 5000));
            platform::ResetEvent(writeRequestEvent);
            for (int n = TakeTxBytes(buffer), i = 0; i < n; ++i, ++expected)
                inOrder = inOrder && buffer[i] == uint8_t(expected);
        }
    });
    for (int sent = 0; sent < kBytes;) {
        uint8_t chunk[3] = {uint8_t(sent), uint8_t(sent + 1), uint8_t(sent + 2)};
        int n = std::min(3, kBytes - sent);
        sent += PutTxBytes(chunk, n) ? n : 0;
    }
    writer.join();
    EXPECT_TRUE(inOrder);
    writeRequestEvent = nullptr;
    platform::CloseEvent(event);
}

}  // namespace
