// Serial ports on Linux: termios for the line, TIOCEXCL plus flock for exclusive use, poll on the
// port and a stop eventfd for every wait, dup2 to put a returning device back in place.
#include "platform/serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

struct SerialPortObject {
    std::string path;  // as resolved at open; a hang-up reopens this same path
    int baud;
    // The descriptor number never changes while the port is open (a reopen dup2s onto it), but
    // the reader and writer threads both load it.
    std::atomic<int> fd;
    // Line settings found at open, restored at close. Written by the reader thread on a reopen,
    // read by CloseSerialPort only after both link threads have been joined.
    termios saved;
};

namespace {

constexpr const char* kByIdFolder = "/dev/serial/by-id";

bool BaudToSpeed(int baud, speed_t* speed) {
    static const struct {
        int baud;
        speed_t speed;
    } kRates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& rate : kRates) {
        if (rate.baud == baud) {
            *speed = rate.speed;
            return true;
        }
    }
    return false;
}

// The n-th (0-based) USB serial adapter: by its stable by-id name when udev provides them.
std::string UsbAdapterPath(int index) {
    DIR* dir = opendir(kByIdFolder);
    if (dir == nullptr) {
        static const char* const kFallback[] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0",
                                                "/dev/ttyACM1"};
        return kFallback[index];
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (static_cast<size_t>(index) >= names.size()) {
        return {};
    }
    return std::string(kByIdFolder) + "/" + names[static_cast<size_t>(index)];
}

// True when the user this process runs as is listed as a member of gid in the group database,
// which a running session does not see until the next login.
bool UserListedInGroup(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd user;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &user, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    groups.resize(static_cast<size_t>(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

thread_local SerialAccessDenial lastDenial{};
std::atomic<SerialOpenHook> openHook{nullptr};

// A port the user may not open is a setup matter the port message alone cannot explain: the
// group that owns the device (on Debian usually dialout) and what to do go to stderr, and are
// kept for the window's message (LastSerialAccessDenial).
void ReportPermissionDenied(const char* name, const std::string& path) {
    const char* program = program_invocation_short_name;
    lastDenial.denied = true;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "%s: cannot open %s (%s): permission denied\n", program, name,
                     path.c_str());
        return;
    }
    std::vector<char> buffer(16384);
    group entry;
    group* found = nullptr;
    std::string groupName = std::to_string(info.st_gid);
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
        groupName = entry.gr_name;
    }
    // The window's texts are Windows-1252; a group name outside ASCII shows as its number there.
    const bool ascii =
        std::all_of(groupName.begin(), groupName.end(), [](char c) { return c > ' ' && c < 127; });
    std::snprintf(lastDenial.group, sizeof lastDenial.group, "%s",
                  ascii ? groupName.c_str() : std::to_string(info.st_gid).c_str());
    lastDenial.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!lastDenial.groupMayUse) {
        std::fprintf(stderr,
                     "%s: cannot open %s (%s): permission denied; its group %s may not use it "
                     "either (mode %04o), ask the administrator\n",
                     program, name, path.c_str(), groupName.c_str(),
                     static_cast<unsigned>(info.st_mode & 07777));
    } else if (UserListedInGroup(info.st_gid)) {
        std::fprintf(stderr,
                     "%s: cannot open %s (%s): permission denied; your user is in the group %s, "
                     "but this session started before: log out and in again\n",
                     program, name, path.c_str(), groupName.c_str());
    } else {
        std::fprintf(stderr,
                     "%s: cannot open %s (%s): permission denied; add your user to the group %s "
                     "(sudo adduser $USER %s), then log out and in again\n",
                     program, name, path.c_str(), groupName.c_str(), groupName.c_str());
    }
}

// Opens path exclusively and sets the line up. Returns the descriptor, or -1 with nothing
// changed on the device and *error set to the reason.
int OpenDevice(const std::string& path, int baud, termios* saved, int32_t* error) {
    if (SerialOpenHook hook = openHook.load(std::memory_order_acquire)) {
        if (const int32_t refusal = hook(path.c_str())) {
            *error = refusal;
            return -1;
        }
    }
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    // The lock comes first: a refused second open must not touch the holder's settings.
    // TIOCEXCL alone does not stop a privileged process, flock does.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, saved) != 0) {
        *error = errno != 0 ? errno : ENOTTY;
        close(fd);
        return -1;
    }
    if (ioctl(fd, TIOCEXCL) != 0 || !ConfigureRawLine(fd, baud)) {
        *error = errno != 0 ? errno : EINVAL;
        tcsetattr(fd, TCSANOW, saved);
        ioctl(fd, TIOCNXCL);
        close(fd);
        return -1;
    }
    // The device needs neither line; a pseudo-terminal has no modem lines and refuses this.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
    // Whatever a previous user left in the queues is not ours to read or send.
    tcflush(fd, TCIOFLUSH);
    return fd;
}

}  // namespace

bool ConfigureRawLine(int fd, int baud) {
    speed_t speed;
    termios t;
    if (!BaudToSpeed(baud, &speed)) {
        errno = EINVAL;
        return false;
    }
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string SerialPortNameOf(const char* text) {
    if (text == nullptr || text[0] == 0) {
        return {};
    }
    const bool comPrefix = strncasecmp(text, "com", 3) == 0;
    const char* digits = comPrefix ? text + 3 : text;
    const size_t count = std::strlen(digits);
    if (count >= 1 && count <= 9 && std::strspn(digits, "0123456789") == count) {
        return "COM" + std::to_string(std::atoi(digits));
    }
    return std::strchr(text, '/') == nullptr ? "./" + std::string(text) : std::string(text);
}

std::string ResolveSerialPortName(const char* name) {
    if (name != nullptr && std::strchr(name, '/') != nullptr) {
        return name;
    }
    if (name == nullptr || std::strncmp(name, "COM", 3) != 0) {
        return {};
    }
    char* end = nullptr;
    long number = std::strtol(name + 3, &end, 10);
    if (end == name + 3 || *end != 0 || number < 1 || number > 99) {
        return {};
    }
    std::string variable = "KVXMON_" + std::string(name);
    const char* configured = std::getenv(variable.c_str());
    if (configured != nullptr && configured[0] != 0) {
        return configured;
    }
    if (number <= 4) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    if (number <= 8) {
        return UsbAdapterPath(static_cast<int>(number - 5));
    }
    return {};
}

SerialAccessDenial LastSerialAccessDenial() {
    return lastDenial;
}

void SetSerialOpenHook(SerialOpenHook hook) {
    openHook.store(hook, std::memory_order_release);
}

SerialPortHandle OpenSerialPort(const char* name, int baud, int32_t* error) {
    int32_t reason = 0;
    lastDenial = SerialAccessDenial{};
    std::string path = ResolveSerialPortName(name);
    SerialPortHandle port = nullptr;
    if (path.empty()) {
        reason = ENOENT;
    } else {
        termios saved;
        int fd = OpenDevice(path, baud, &saved, &reason);
        if (fd >= 0) {
            port = new SerialPortObject{path, baud, {fd}, saved};
        } else if (reason == EACCES) {
            // Only open() refuses with EACCES. Reported here, not on a reopen after a hang-up:
            // that retries once a second on a device this user could open before.
            ReportPermissionDenied(name, path);
        }
    }
    if (error != nullptr) {
        *error = reason;
    }
    return port;
}

void CloseSerialPort(SerialPortHandle port) {
    if (port == nullptr) {
        return;
    }
    int fd = port->fd.load(std::memory_order_relaxed);
    tcsetattr(fd, TCSANOW, &port->saved);
    ioctl(fd, TIOCNXCL);
    close(fd);  // also drops the flock
    delete port;
}

int ReadSerialPort(SerialPortHandle port, uint8_t* buffer, int capacity, EventHandle stop) {
    const int fd = port->fd.load(std::memory_order_relaxed);
    pollfd fds[2] = {{EventDescriptor(stop), POLLIN, 0}, {fd, POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kPortHungUp;
        }
        if ((fds[0].revents & POLLIN) != 0 && ConsumeEvent(stop)) {
            return kPortStopped;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            ssize_t n = read(fd, buffer, static_cast<size_t>(capacity));
            if (n > 0) {
                return static_cast<int>(n);
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            return kPortHungUp;  // end of file or EIO: the other end is gone
        }
        if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return kPortHungUp;
        }
    }
}

bool ReopenSerialPort(SerialPortHandle port) {
    const int fd = port->fd.load(std::memory_order_relaxed);
    // Let go of the lost device so that, should the same one return, our own locks do not
    // refuse it. Both calls may fail on a hung-up line; nothing depends on them then.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    termios saved;
    int32_t reason = 0;
    int fresh = OpenDevice(port->path, port->baud, &saved, &reason);
    if (fresh < 0) {
        return false;
    }
    // dup2 swaps the device under the descriptor number in one step: the writer thread, which
    // may be writing to that number right now, reaches either the lost device or the new one,
    // never a closed or reused descriptor. The flock stays with the new open file.
    if (dup2(fresh, fd) < 0) {
        tcsetattr(fresh, TCSANOW, &saved);
        ioctl(fresh, TIOCNXCL);
        close(fresh);
        return false;
    }
    close(fresh);
    port->saved = saved;
    return true;
}

bool WaitSerialOutputSent(SerialPortHandle port, int timeoutMs) {
    const int fd = port->fd.load(std::memory_order_relaxed);
    for (int waited = 0;; waited += 2) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        usleep(2000);
    }
}

int WriteSerialPort(SerialPortHandle port, const uint8_t* bytes, int count, EventHandle stop) {
    const int fd = port->fd.load(std::memory_order_relaxed);
    int done = 0;
    while (done < count) {
        ssize_t n = write(fd, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return kPortHungUp;
        }
        // The output queue is full: wait for room or for the stop, never spin.
        pollfd fds[2] = {{EventDescriptor(stop), POLLIN, 0}, {fd, POLLOUT, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kPortHungUp;
        }
        if ((fds[0].revents & POLLIN) != 0 && ConsumeEvent(stop)) {
            tcflush(fd, TCOFLUSH);
            return kPortStopped;
        }
        if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return kPortHungUp;
        }
    }
    return count;
}

}  // namespace platform
