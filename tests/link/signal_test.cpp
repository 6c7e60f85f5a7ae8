// The whole program against kvxsim: a termination signal ends it the way the user's close does,
// with the settings file written and the serial line's own settings given back.
#include <gtest/gtest.h>

#include "support/process_test.h"

namespace {

// Sends the signal once the program runs (its settings file exists and it has switched the line to
// 9600), after taking the settings file away: only the close writes it again. Then the program must
// be gone within 1 s, by its own exit with status 0.
void SignalAndExpectOrderlyExit(const TempFolder& folder, const std::string& port, int line,
                                int signalNumber) {
    const std::string settingsFile = folder.path + "/KVXMon.cnf";
    // In the sanitizer builds the program's exit status includes the leak check; the font
    // library keeps its cache for the life of the process, which is no leak of ours.
    const std::string suppressions = folder.path + "/lsan.supp";
    std::ofstream(suppressions) << "leak:libfontconfig.so\n";
    Process monitor;
    monitor.pid = Spawn({KVXMON_BUILT}, folder.path,
                        {"QT_QPA_PLATFORM=offscreen", "KVXMON_COM1=" + port,
                         "LSAN_OPTIONS=suppressions=" + suppressions + ":print_suppressions=0"});
    ASSERT_GT(monitor.pid, 0);
    termios running{};
    ASSERT_TRUE(WaitUntil(
        [&] {
            return std::filesystem::exists(settingsFile) && tcgetattr(line, &running) == 0 &&
                   cfgetospeed(&running) == B9600;
        },
        10000));
    // Let it reach its message loop.
    SleepMs(300);
    ASSERT_TRUE(std::filesystem::remove(settingsFile));

    ASSERT_EQ(kill(monitor.pid, signalNumber), 0);
    int status = 0;
    ASSERT_TRUE(Reap(monitor.pid, 1000, &status)) << "still running 1 s after the signal";
    monitor.pid = -1;
    EXPECT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    EXPECT_TRUE(std::filesystem::exists(settingsFile)) << "settings not saved";
    EXPECT_EQ(std::filesystem::exists(settingsFile) ? std::filesystem::file_size(settingsFile) : 0,
              280u);
}

class TerminationSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignal, ClosesAsTheUserDoes) {
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    Kvxsim sim;
    ASSERT_TRUE(sim.Start({}));
    const std::string& link = sim.link;

    const int line = open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(line, 0);
    const termios original = SetForeignLineSettings(line);

    SignalAndExpectOrderlyExit(folder, link, line, GetParam());
    termios after{};
    ASSERT_EQ(tcgetattr(line, &after), 0);
    EXPECT_TRUE(SameLineSettings(original, after)) << "the line's own settings were not restored";
    close(line);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM  ? "Term"
                                                : info.param == SIGINT ? "Int"
                                                                       : "Hup");
                         });

}  // namespace
