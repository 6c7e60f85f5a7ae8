// A port the user may not open: stderr names the device's group and what to do, and the window's
// message gets the same. Tests run as root, whom no device refuses: the platform's open is told
// to refuse instead, and the device is handed to dialout, a group root is not listed in.
#include <gmock/gmock.h>
#include <grp.h>
#include <sys/stat.h>

#include "test_support.h"

namespace {

int32_t Refuse(const char*) {
    return EACCES;
}

class SerialAccess : public TempDirTest {};

TEST_F(SerialAccess, RefusedOpenNamesTheGroupToJoin) {
    const group* dialout = getgrnam("dialout");
    if (geteuid() != 0 || dialout == nullptr) {
        GTEST_SKIP() << "needs root and a dialout group to hand the device to";
    }
    const std::string device = PathOf("ttyFake");
    WriteBytes(device, {});
    ASSERT_EQ(chown(device.c_str(), 0, dialout->gr_gid), 0);
    setenv("KVXMON_COM7", device.c_str(), 1);
    platform::SetSerialOpenHook(Refuse);
    const struct {
        mode_t mode;
        const char* advice;
    } cases[] = {
        {0660,
         "permission denied; add your user to the group dialout (sudo adduser $USER "
         "dialout), then log out and in again"},
        // Joining the group would not help here, so the hint must not suggest it.
        {0600, "permission denied; its group dialout may not use it either (mode 0600)"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(chmod(device.c_str(), c.mode), 0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(platform::OpenSerialPort("COM7", 9600), nullptr);
        const std::string text = testing::internal::GetCapturedStderr();
        EXPECT_THAT(text, testing::HasSubstr("cannot open COM7 (" + device + "): " + c.advice));
        const platform::SerialAccessDenial denial = platform::LastSerialAccessDenial();
        EXPECT_TRUE(denial.denied);
        EXPECT_STREQ(denial.group, "dialout");
        EXPECT_EQ(denial.groupMayUse, c.mode == 0660);
    }
    platform::SetSerialOpenHook(nullptr);
}

}  // namespace
