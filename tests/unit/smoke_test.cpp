#include <gtest/gtest.h>

#include "link/protocol.h"

TEST(Smoke, LiveValuesStartBlank) {
    EXPECT_EQ(liveValues.measurement.load(), -1);
}
