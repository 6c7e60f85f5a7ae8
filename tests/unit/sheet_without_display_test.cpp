// Without a window system (the command-line tool) the parameter sheet cannot be created.
#include "params/property_sheet.h"
#include "test_support.h"

TEST(ParameterSheet, WithoutAWindowSystemItCannotBeCreatedAndQueuesNothing) {
    ResetLinkState();
    parameterSet.deviceWords[limit1Setpoint] = 42;
    EXPECT_EQ(ShowParameterSheet(nullptr), -1);
    EXPECT_EQ(parameterSet.editWords[limit1Setpoint], 42);  // the edit copy was started anyway
    EXPECT_TRUE(CommandQueueEmpty());
}
