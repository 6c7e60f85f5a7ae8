// Shared by the link tests: a fake device on a pseudo-terminal whose master end the test reads
// and writes byte for byte, a scratch folder for symlinks, and counts of threads and descriptors.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

namespace linktest {

using Clock = std::chrono::steady_clock;

inline int ElapsedMs(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

inline void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

template <typename Condition>
bool WaitUntil(Condition condition, int limitMs) {
    for (const auto start = Clock::now(); !condition(); SleepMs(5)) {
        if (ElapsedMs(start) > limitMs) {
            return false;
        }
    }
    return true;
}

inline int CountEntries(const char* folder) {
    auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}
inline int ThreadCount() {
    return CountEntries("/proc/self/task");
}
inline int DescriptorCount() {
    return CountEntries("/proc/self/fd");
}

// The device's end of the line. A slave descriptor stays open so that the master never sees a
// hang-up while the link is closed; Close() drops both ends, which hangs the line up.
struct PtyDevice {
    int master = -1;
    int slave = -1;
    std::string path;

    bool Open() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            return false;
        }
        path = ptsname(master);
        slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        return slave >= 0 && platform::ConfigureRawLine(slave, 9600);
    }
    void Close() {
        close(master);
        close(slave);
        master = slave = -1;
    }
    ~PtyDevice() { Close(); }

    void Write(const std::vector<uint8_t>& bytes) const {
        [[maybe_unused]] ssize_t n = write(master, bytes.data(), bytes.size());
    }
    // What the link sent, up to want bytes or until the limit passes.
    std::vector<uint8_t> Read(size_t want, int limitMs) const {
        std::vector<uint8_t> got(want);
        size_t have = 0;
        for (const auto start = Clock::now(); have < want && ElapsedMs(start) < limitMs;) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) == 1) {
                ssize_t n = read(master, got.data() + have, want - have);
                have += n > 0 ? static_cast<size_t>(n) : 0;
            }
        }
        got.resize(have);
        return got;
    }
};

struct TempFolder {
    std::string path;
    TempFolder() {
        char name[] = "/tmp/kvxlinkXXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
};

// Points link at target in one step, as udev or kvxsim --link would.
inline bool PointLink(const std::string& link, const std::string& target) {
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 &&
           rename(temporary.c_str(), link.c_str()) == 0;
}

}  // namespace linktest
