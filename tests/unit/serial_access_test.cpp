// A port the user may not open: stderr names the device's group and what to do. The open runs
// in a child that has dropped root, since root opens any device regardless of its mode.
#include <gmock/gmock.h>
#include <grp.h>
#include <sys/stat.h>

#include "test_support.h"

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kCannotDrop = 77;

// Opens COM7 mapped to path as user nobody; returns what went to stderr, or sets *skipped.
std::string OpenAsNobody(const std::string& path, bool* skipped) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(kCannotDrop);
        }
        setenv("KVXMON_COM7", path.c_str(), 1);
        platform::SerialPortHandle port = platform::OpenSerialPort("COM7", 9600);
        // What the window's message is made from.
        const platform::SerialAccessDenial denial = platform::LastSerialAccessDenial();
        std::fprintf(stderr, "[denied %d, group %s, group may use %d]", denial.denied, denial.group,
                     denial.groupMayUse);
        _exit(port == nullptr ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = read(pipeEnds[0], chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<size_t>(n));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    *skipped = WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop;
    if (!*skipped && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        text += "[the port opened or the child failed]";
    }
    return text;
}

}  // namespace

class SerialAccess : public TempDirTest {};

TEST_F(SerialAccess, RefusedOpenNamesTheGroupToJoin) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand the device to another group and drop to nobody";
    }
    const group* dialout = getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "no dialout group on this system";
    }
    const gid_t gid = dialout->gr_gid;
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    const struct {
        mode_t mode;
        const char* expected;  // the advice for this mode
        const char* denial;
    } cases[] = {
        {0660,
         "permission denied; add your user to the group dialout (sudo adduser $USER "
         "dialout), then log out and in again",
         "[denied 1, group dialout, group may use 1]"},
        // Joining the group would not help here, so the hint must not suggest it.
        {0600, "permission denied; its group dialout may not use it either (mode 0600)",
         "[denied 1, group dialout, group may use 0]"},
    };
    for (const auto& c : cases) {
        const std::string device = PathOf("ttyFake");
        { std::ofstream(device) << ""; }
        ASSERT_EQ(chown(device.c_str(), 0, gid), 0);
        ASSERT_EQ(chmod(device.c_str(), c.mode), 0);
        bool skipped = false;
        const std::string text = OpenAsNobody(device, &skipped);
        if (skipped) {
            GTEST_SKIP() << "cannot drop to user nobody here";
        }
        EXPECT_THAT(text, testing::HasSubstr("cannot open COM7 (" + device + ")"));
        EXPECT_THAT(text, testing::HasSubstr(c.expected));
        EXPECT_THAT(text, testing::HasSubstr(c.denial));
    }
}
