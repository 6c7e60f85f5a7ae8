// Shared by the link tests: a fake device on a pseudo-terminal whose master end the test reads
// and writes byte for byte, and counts of the process's threads and open descriptors.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
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

// Polls a condition every few milliseconds until it holds or the limit passes.
template <typename Condition>
bool WaitUntil(Condition condition, int limitMs) {
    const auto start = Clock::now();
    while (!condition()) {
        if (ElapsedMs(start) > limitMs) {
            return false;
        }
        SleepMs(5);
    }
    return true;
}

inline int CountEntries(const char* folder) {
    DIR* dir = opendir(folder);
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
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
        if (master >= 0) {
            close(master);
        }
        if (slave >= 0) {
            close(slave);
        }
        master = slave = -1;
    }
    ~PtyDevice() { Close(); }

    void Write(const std::vector<uint8_t>& bytes) const {
        [[maybe_unused]] ssize_t n = write(master, bytes.data(), bytes.size());
    }
    // What the link sent, up to want bytes or until the limit passes.
    std::vector<uint8_t> Read(size_t want, int limitMs) const {
        std::vector<uint8_t> got;
        const auto start = Clock::now();
        while (got.size() < want && ElapsedMs(start) < limitMs) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) == 1) {
                uint8_t buffer[256];
                ssize_t n = read(master, buffer, std::min(sizeof buffer, want - got.size()));
                if (n > 0) {
                    got.insert(got.end(), buffer, buffer + n);
                }
            }
        }
        return got;
    }
};

// A temporary folder for symlinks, removed with what it holds.
struct TempFolder {
    std::string path;
    TempFolder() {
        char name[] = "/tmp/kvxlinkXXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() {
        DIR* dir = opendir(path.c_str());
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                unlink((path + "/" + entry->d_name).c_str());
            }
        }
        closedir(dir);
        rmdir(path.c_str());
    }
};

// Points link at target in one step, as a udev rule or kvxsim --link would.
inline bool PointLink(const std::string& link, const std::string& target) {
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 &&
           rename(temporary.c_str(), link.c_str()) == 0;
}

}  // namespace linktest
