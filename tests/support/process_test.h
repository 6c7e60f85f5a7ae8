// Helpers shared by the tests that run the programs or a device beside them: waiting on a
// condition with a limit, a scratch folder removed afterwards, child processes, kvxsim, the
// device end of a pseudo-terminal and the messages as they travel on the wire.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/protocol.h"
#include "params/parameter_set.h"
#include "platform/serial_port.h"

extern char** environ;

using Clock = std::chrono::steady_clock;

inline int ElapsedMs(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

inline void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// True once condition holds, false when limitMs passes first.
template <typename Condition>
bool WaitUntil(Condition condition, int limitMs) {
    for (const auto start = Clock::now(); !condition(); SleepMs(5)) {
        if (ElapsedMs(start) > limitMs) {
            return false;
        }
    }
    return true;
}

// The program named by variable when it is set (to test an installed build), else built.
inline std::string Program(const char* variable, const char* built) {
    const char* given = std::getenv(variable);
    return given != nullptr && given[0] != 0 ? given : built;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What a shell command writes to its stdout.
inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

// Whether program can be found on PATH, for the tests that skip without Xvfb or xdotool.
inline bool OnPath(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

struct TempFolder {
    std::string path;
    TempFolder() {
        char name[] = "/tmp/kvxtestXXXXXX";
        path = mkdtemp(name) != nullptr ? name : "";
    }
    ~TempFolder() {
        if (!path.empty()) {
            std::filesystem::remove_all(path);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const char* name) const { return path + "/" + name; }
};

// The names in a folder, hidden ones included, sorted.
inline std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A small tmpfs of its own for saves onto a full disc (Fill), unmounted when the test leaves.
// Mounting needs root (CAP_SYS_ADMIN); where it is refused, mounted is false.
struct FullDisk {
    TempFolder folder;
    bool mounted =
        mount("kvxtest", folder.path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
    void Fill() const {
        const int fd = open((folder / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        static const char block[4096] = {};
        for (size_t size = sizeof block; size > 0; size /= 2) {
            while (write(fd, block, size) == static_cast<ssize_t>(size)) {
            }
        }
        close(fd);
    }
    ~FullDisk() {
        if (mounted) {
            umount2(folder.path.c_str(), MNT_DETACH);
        }
    }
};

// While it lives, no file of this process may grow beyond bytes: a write past them fails
// (EFBIG, SIGXFSZ ignored), as a disc that gives out in the middle of a save.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_DFL);
    }
};

// Starts args[0] (a path, or a name on PATH) in folder, extra settings winning over this process's
// environment, stdout and stderr on the descriptors not -1; -1 when it could not. The child dies
// with the test process however that ends, so a failed or killed test leaves no child behind.
inline pid_t Spawn(std::vector<std::string> args, const std::string& folder,
                   const std::vector<std::string>& extraEnvironment, int outFd = -1,
                   int errFd = -1) {
    std::vector<std::string> environment = extraEnvironment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {  // only async-signal-safe calls from here on
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent ||
            chdir(folder.c_str()) != 0 || (outFd >= 0 && dup2(outFd, 1) < 0) ||
            (errFd >= 0 && dup2(errFd, 2) < 0)) {
            _exit(127);
        }
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Reaps the child; true with its status when it ended within limitMs.
inline bool Reap(pid_t pid, int limitMs, int* status) {
    return WaitUntil([&] { return waitpid(pid, status, WNOHANG) == pid; }, limitMs);
}

// A child that is killed and reaped when the test leaves, whatever the outcome.
struct Process {
    pid_t pid = -1;
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// The device end of a new pseudo-terminal (non-blocking) and its path. The slave stays open, raw
// at 9600 baud, so the line never hangs up while the program has it closed.
inline bool OpenPty(int& master, int& slave, std::string& path) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        return false;
    }
    path = ptsname(master);
    slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return slave >= 0 && platform::ConfigureRawLine(slave, 9600);
}

// Gives a line the settings another program may have left on it (canonical, echoing, 1200 baud,
// 7 bits, all unlike the program's raw 9600 8N1) and returns them as the line reports them.
inline termios SetForeignLineSettings(int fd) {
    termios t{};
    tcgetattr(fd, &t);
    t.c_lflag |= ICANON | ECHO;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7;
    cfsetspeed(&t, B1200);
    tcsetattr(fd, TCSANOW, &t);
    tcgetattr(fd, &t);
    return t;
}
inline bool SameLineSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}
// Whether the terminal still refuses other openers (TIOCEXCL left set).
inline bool LineExclusive(int fd) {
    int exclusive = 0;
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// Xvfb on a display number of its own choosing, told back through -displayfd, so parallel runs
// never collide; stopped when the test ends.
struct XServer {
    pid_t pid = -1;
    std::string display;

    bool Start(const char* screen) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        fcntl(fds[1], F_SETFD, 0);  // only the write end goes to the server
        // Quiet: it reports every display number it finds taken on its way to a free one.
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        // No reset when the last client leaves: a server resetting as an xdotool call ends
        // refuses the kvxmon that connects in that moment ("could not connect to display").
        pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                     "-nolisten", "tcp", "-noreset"},
                    ".", {}, -1, quiet);
        close(quiet);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (pid > 0 && poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        display = ":" + number;
        return !number.empty();
    }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    ~XServer() { Stop(); }
};

// A long message (a 16-bit word) and a short one (a measurement) as they travel on the wire.
inline std::vector<uint8_t> Bytes(uint16_t word) {
    uint8_t m[kLongMessageSize];
    EncodeLongMessage(word, m);
    return {m, m + kLongMessageSize};
}
inline std::string Encoded(uint16_t word) {
    const auto bytes = Bytes(word);
    return {bytes.begin(), bytes.end()};
}
inline std::vector<uint8_t> ShortBytes(uint8_t v) {
    const auto high = static_cast<uint8_t>((v & 0xF0) | 1);
    const auto low = static_cast<uint8_t>(((v & 0x0F) << 4) | 1);
    return {high, low, static_cast<uint8_t>(high + low), 13};
}
// The order in which a parameter load sends its 22 words.
inline constexpr int kTransferOrder[kParameterCount] = {0, 5, 10, 13, 15, 16, 17, 3,  8,  21, 18,
                                                        1, 6, 11, 12, 4,  9,  20, 19, 14, 2,  7};

// A parameter file's bytes: valid words that differ from each other where their ranges allow
// (and from a fresh device's), then the identity, so a word sent under another's code shows.
inline std::vector<uint8_t> DistinctRecord(const char* identity) {
    std::vector<uint8_t> record(2 * kParameterCount + kIdentitySize, 0);
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        const int value = info.minValue + (7 * i + 3) % (info.maxValue - info.minValue + 1);
        record[2 * i] = static_cast<uint8_t>(value & 0xFF);
        record[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    std::snprintf(reinterpret_cast<char*>(&record[2 * kParameterCount]), kIdentitySize, "%s",
                  identity);
    return record;
}
// The words a load of record sends, one per tick.
inline std::vector<uint16_t> LoadWords(const std::vector<uint8_t>& record) {
    std::vector<uint16_t> words;
    for (int word : kTransferOrder) {
        const int value = record[2 * word] | record[2 * word + 1] << 8;
        words.push_back(static_cast<uint16_t>(kParameterTable[word].transferCode + value));
    }
    return words;
}

// The words of the long messages in a recording (their nibbles stand in the upper halves).
inline std::vector<uint16_t> WordsOf(const std::vector<uint8_t>& b) {
    std::vector<uint16_t> words;
    for (size_t i = 0; i + kLongMessageSize <= b.size(); i += kLongMessageSize) {
        words.push_back(static_cast<uint16_t>(b[i] >> 4 << 12 | b[i + 1] >> 4 << 8 |
                                              b[i + 2] >> 4 << 4 | b[i + 3] >> 4));
    }
    return words;
}
inline std::string IdentityText() {
    char text[kIdentitySize];
    ReadIdentity(text);
    return text;
}
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// kvxmon on an X server in folder (its home too), COM1 on port, extra settings winning, output in
// folder/log. The leak check of the sanitizer builds ignores the buffers the font library and
// Qt's D-Bus connection keep for the life of the process.
inline pid_t StartKvxmonOnX(const std::string& display, const std::string& port,
                            const TempFolder& folder, std::vector<std::string> extra = {}) {
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    std::ofstream(folder / "lsan.supp") << "leak:libfontconfig.so\nleak:libdbus-1.so\n";
    extra.insert(extra.end(),
                 {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "KVXMON_COM1=" + port,
                  "HOME=" + folder.path, "XDG_RUNTIME_DIR=" + (folder / "runtime"), "LANG=C.UTF-8",
                  "LSAN_OPTIONS=suppressions=" + (folder / "lsan.supp") + ":print_suppressions=0"});
    const int log = open((folder / "log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = Spawn({KVXMON_BUILT}, folder.path, extra, log, log);
    close(log);
    return pid;
}
// The id of the first visible window on display whose whole title is title; "" after limitMs.
inline std::string WaitForWindow(const std::string& display, const std::string& title,
                                 int limitMs = 15000) {
    std::string id;
    WaitUntil(
        [&] {
            id = Shell("DISPLAY=" + display + " xdotool search --onlyvisible --name '^" + title +
                       "$' 2>/dev/null");
            return !id.empty() || (SleepMs(50), false);
        },
        limitMs);
    return id.substr(0, id.find('\n'));
}

// A running kvxsim (KVXSIM_PATH when set), reached through the symlink it keeps to its device.
struct Kvxsim {
    pid_t pid = -1;
    TempFolder folder;
    std::string link = folder / "korvex";

    bool Start(std::vector<std::string> args) {
        args.insert(args.begin(), {Program("KVXSIM_PATH", KVXSIM_BUILT), "--link", link});
        pid = Spawn(args, ".", {});
        return pid > 0 && WaitUntil([this] { return std::filesystem::is_symlink(link); }, 5000);
    }
    // The exit status, or -1 when it did not end normally.
    int Stop() {
        if (pid < 0) {
            return -1;
        }
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Kvxsim() { Stop(); }
};
