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

}  // namespace
