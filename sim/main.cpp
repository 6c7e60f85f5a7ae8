// kvxsim: a Korvex stand-in on a pseudo-terminal or a real serial line, for the demo, the tests
// and training without hardware. One thread, one poll loop: the line, the signals and the
// 20 ms tick.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cli/options.h"
#include "link/protocol.h"
#include "platform/serial_port.h"
#include "sim/sim_device.h"

#ifndef KVX_VERSION
#define KVX_VERSION "0"
#endif

namespace {

// Room for a poll reply and a little more. With no one reading the line, new messages are
// dropped whole rather than piling up into a stale burst for the next receiver.
constexpr size_t kPendingLimit = 1024;

const char kHelp[] =
    "Usage: kvxsim [options]\n"
    "Simulates a Korvex power monitor on a serial line (9600 8N1).\n"
    "\n"
    "Line:\n"
    "  (default)            open a pseudo-terminal and print its device path on stdout\n"
    "  --link PATH          also keep a symlink PATH to that device (removed at exit)\n"
    "  --tty DEVICE         use a real serial line instead, e.g. /dev/ttyUSB1\n"
    "\n"
    "Measurement (sent 50 times a second as short messages, percent 0..199):\n"
    "  --wave KIND          sine, ramp, square or steady (default sine)\n"
    "  --period SECONDS     period of the wave (default 10)\n"
    "  --min PERCENT        lowest value (default 20)\n"
    "  --max PERCENT        highest value (default 80)\n"
    "\n"
    "The device reports its max, min and dP/dt peaks when they change and every 2 s; two status\n"
    "codes once a second (65000 and 65025, plus 13 while that limit is in alarm); an alarm code\n"
    "at once when a limit is violated (mode 1 Min: below the setpoint, 2 Max: above it); a dU/dt\n"
    "event now and then. It answers a poll with parameter words 1..21, word 0, its identity and\n"
    "the end of identity; stores every parameter word it is sent; resets a peak on its reset\n"
    "command. The space command acknowledges alarms of limits without auto reset, which stay on\n"
    "until then; with auto reset an alarm ends when the value is back by the hysteresis.\n"
    "\n"
    "Faults and options:\n"
    "  --silence-after N    send nothing at all after N seconds\n"
    "  --garbage-rate N     add N random bytes per second between messages\n"
    "  --ignore-polls       never answer a poll\n"
    "  --wrong-word I       store parameter word I (0..21) off by one\n"
    "  --identity TEXT      identity text, at most 43 characters (default \"KVX-SIM 1.0\")\n"
    "  --dudt-interval S    mean seconds between dU/dt events, 0 for none (default 12)\n"
    "  --seed N             seed of the random numbers (default: the time)\n"
    "  --record FILE        append every byte heard on the line to FILE, as received\n"
    "  -h, --help           this text\n"
    "  --version            the version\n"
    "Every option that takes a value takes it after a space or an equals sign:\n"
    "--wave square or --wave=square.\n"
    "\n"
    "Ends cleanly on SIGINT or SIGTERM.\n";

struct Line {
    int fd = -1;
    int keepSlave = -1;  // pseudo-terminal only: held so the master never sees a hang-up
    std::string path;
    std::string link;  // the symlink made at start, and the inode it got
    dev_t linkDevice = 0;
    ino_t linkInode = 0;
};

bool ParseNumber(const std::string& text, double* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == 0 && errno == 0;
}

// Usage errors end with the same code as kvxctl's.
constexpr int kExitUsage = 1;

bool UsageError(const std::string& what) {
    std::fprintf(stderr, "kvxsim: %s; see kvxsim --help\n", what.c_str());
    return false;
}

const std::vector<options::Spec> kOptions = {
    {"--help", "-h", false},
    {"--version", nullptr, false},
    {"--ignore-polls", nullptr, false},
    {"--tty", nullptr, true},
    {"--link", nullptr, true},
    {"--record", nullptr, true},
    {"--identity", nullptr, true},
    {"--wave", nullptr, true},
    {"--period", nullptr, true},
    {"--min", nullptr, true},
    {"--max", nullptr, true},
    {"--silence-after", nullptr, true},
    {"--garbage-rate", nullptr, true},
    {"--wrong-word", nullptr, true},
    {"--dudt-interval", nullptr, true},
    {"--seed", nullptr, true},
};

// False with a message on a usage error; *done when --help or --version has answered.
bool ParseOptions(int argc, char** argv, SimOptions* options, std::string* tty, std::string* link,
                  std::string* record, unsigned* seed, bool* done) {
    const options::Scanned scanned = options::Scan(argc, argv, kOptions);
    if (!scanned.error.empty()) {
        return UsageError(scanned.error);
    }
    if (!scanned.operands.empty()) {
        return UsageError("unexpected argument '" + scanned.operands[0] + "'");
    }
    for (const auto& [option, value] : scanned.options) {
        if (option == "--help" || option == "--version") {
            std::fputs(option == "--help" ? kHelp : "kvxsim " KVX_VERSION "\n", stdout);
            *done = true;
            return true;
        }
    }
    for (const auto& [option, value] : scanned.options) {
        double number = 0;
        const bool numeric = ParseNumber(value, &number);
        if (option == "--ignore-polls") {
            options->ignorePolls = true;
        } else if (option == "--tty") {
            *tty = value;
        } else if (option == "--link") {
            *link = value;
        } else if (option == "--record") {
            *record = value;
        } else if (option == "--identity") {
            // The device's identity field holds 43 characters and its terminating zero.
            if (value.size() > kIdentitySize - 1) {
                return UsageError("--identity takes at most 43 characters, not " +
                                  std::to_string(value.size()));
            }
            options->identity = value;
        } else if (option == "--wave") {
            if (value == "sine") {
                options->wave = Wave::Sine;
            } else if (value == "ramp") {
                options->wave = Wave::Ramp;
            } else if (value == "square") {
                options->wave = Wave::Square;
            } else if (value == "steady") {
                options->wave = Wave::Steady;
            } else {
                return UsageError("unknown wave '" + value + "' (sine, ramp, square, steady)");
            }
        } else if (!numeric || number < 0) {
            return UsageError(option + " needs a number of 0 or more, not '" + value + "'");
        } else if (option == "--period") {
            options->periodSeconds = number;
        } else if ((option == "--min" || option == "--max") && number > 199) {
            return UsageError(option + " takes 0 to 199 percent, not " + value);
        } else if (option == "--min") {
            options->minPercent = static_cast<int>(number);
        } else if (option == "--max") {
            options->maxPercent = static_cast<int>(number);
        } else if (option == "--silence-after") {
            options->silenceAfterSeconds = number;
        } else if (option == "--garbage-rate") {
            options->garbageRate = static_cast<int>(number);
        } else if (option == "--wrong-word" && number < static_cast<int>(kParameterCount)) {
            options->wrongWord = static_cast<int>(number);
        } else if (option == "--dudt-interval") {
            options->dudtIntervalSeconds = number;
        } else if (option == "--seed") {
            *seed = static_cast<unsigned>(number);
        } else {
            return UsageError(option + " " + value + " is out of range");
        }
    }
    if (options->minPercent > options->maxPercent) {
        return UsageError("--min " + std::to_string(options->minPercent) + " is above --max " +
                          std::to_string(options->maxPercent));
    }
    return true;
}

bool OpenPseudoTerminal(Line* line) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("kvxsim: pseudo-terminal");
        return false;
    }
    const char* name = ptsname(master);
    if (name == nullptr) {
        std::perror("kvxsim: ptsname");
        return false;
    }
    line->fd = master;
    line->path = name;
    line->keepSlave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Raw from the start, so carriage returns are not translated nor bytes echoed back, also
    // while no one has the other end open.
    if (line->keepSlave < 0 || !platform::ConfigureRawLine(line->keepSlave, 9600)) {
        std::perror("kvxsim: pseudo-terminal setup");
        return false;
    }
    return true;
}

bool OpenTty(const std::string& path, Line* line) {
    line->fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->fd < 0 || !platform::ConfigureRawLine(line->fd, 9600)) {
        std::fprintf(stderr, "kvxsim: cannot use %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    tcflush(line->fd, TCIOFLUSH);
    line->path = path;
    return true;
}

std::string LinkTarget(const std::string& link) {
    char target[4096];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

// PATH may already hold a link left by an earlier kvxsim (killed, so it could not remove it):
// such a link, to a pseudo-terminal or to this very device, is replaced. Anything else at PATH
// belongs to the user and is never touched.
bool MakeLink(Line* line, const std::string& link) {
    struct stat info {};
    bool exists = lstat(link.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        std::fprintf(stderr, "kvxsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    const std::string old = exists && S_ISLNK(info.st_mode) ? LinkTarget(link) : std::string();
    if (exists && old.rfind("/dev/pts/", 0) != 0 && old != line->path) {
        std::fprintf(stderr,
                     "kvxsim: --link %s: it exists and is not a link to a pseudo-terminal; "
                     "left as it is\n",
                     link.c_str());
        return false;
    }
    // A new link is made in place (it fails should something appear meanwhile); an old one is
    // replaced by a rename, so a reader of PATH sees the old target or the new one, never none.
    const std::string temporary = link + ".tmp" + std::to_string(getpid());
    const std::string& made = exists ? temporary : link;
    unlink(temporary.c_str());
    if (symlink(line->path.c_str(), made.c_str()) != 0 ||
        (exists && rename(temporary.c_str(), link.c_str()) != 0) ||
        lstat(link.c_str(), &info) != 0) {
        std::fprintf(stderr, "kvxsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    line->link = link;
    line->linkDevice = info.st_dev;
    line->linkInode = info.st_ino;
    return true;
}

// Removes only the link made at start, and only while it still points to our device: someone
// may have replaced or re-pointed it meanwhile.
void RemoveLink(const Line& line) {
    struct stat info {};
    if (!line.link.empty() && lstat(line.link.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        info.st_dev == line.linkDevice && info.st_ino == line.linkInode &&
        LinkTarget(line.link) == line.path) {
        unlink(line.link.c_str());
    }
}

long long NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void Queue(std::string& pending, const std::string& message) {
    if (pending.size() + message.size() <= kPendingLimit) {
        pending += message;
    }
}

// Returns false when the line is gone.
bool Flush(const Line& line, std::string& pending) {
    while (!pending.empty()) {
        ssize_t n = write(line.fd, pending.data(), pending.size());
        if (n > 0) {
            pending.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && errno == EAGAIN;
        }
    }
    return true;
}

int Run(const Line& line, SimDevice& device, int signals, int record) {
    std::string pending;
    const int tickMs = 1000 / kTicksPerSecond;
    long long nextTick = NowMs();
    for (;;) {
        const long long now = NowMs();
        if (now - nextTick > 1000) {
            nextTick = now;  // stopped or starved for a while: do not race to catch up
        }
        while (now >= nextTick) {
            std::string out;
            SimTick(device, out);
            if (!SimSilent(device)) {
                Queue(pending, out);
            }
            nextTick += tickMs;
        }
        if (!Flush(line, pending)) {
            std::fprintf(stderr, "kvxsim: the line is gone\n");
            return 1;
        }
        pollfd fds[2] = {
            {signals, POLLIN, 0},
            {line.fd, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0}};
        const int wait = static_cast<int>(std::max(0LL, nextTick - NowMs()));
        if (poll(fds, 2, wait) < 0 && errno != EINTR) {
            std::perror("kvxsim: poll");
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return 0;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            uint8_t bytes[256];
            ssize_t n = read(line.fd, bytes, sizeof bytes);
            if (n > 0) {
                // Written before the answer is made, so a test that sees the reply finds the
                // command that caused it in the file.
                if (record >= 0 && write(record, bytes, static_cast<size_t>(n)) != n) {
                    std::perror("kvxsim: --record");
                }
                std::string out;
                SimReceive(device, bytes, static_cast<int>(n), out);
                if (!SimSilent(device)) {
                    Queue(pending, out);
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "kvxsim: the line is gone\n");
                return 1;
            }
        } else if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            std::fprintf(stderr, "kvxsim: the line hung up\n");
            return 1;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string tty;
    std::string link;
    std::string record;
    unsigned seed = static_cast<unsigned>(std::time(nullptr));
    bool done = false;
    if (!ParseOptions(argc, argv, &options, &tty, &link, &record, &seed, &done)) {
        return kExitUsage;
    }
    if (done) {
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // The signals arrive through a descriptor in the poll loop, so ending is never racy.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    const int signals = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) {
        std::perror("kvxsim: signalfd");
        return 1;
    }
    int recordFd = -1;
    if (!record.empty()) {
        recordFd = open(record.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (recordFd < 0) {
            std::fprintf(stderr, "kvxsim: cannot record to %s: %s\n", record.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    Line line;
    const bool opened = tty.empty() ? OpenPseudoTerminal(&line) : OpenTty(tty, &line);
    if (!opened || (!link.empty() && !MakeLink(&line, link))) {
        return 1;
    }
    std::printf("%s\n", line.path.c_str());
    std::fflush(stdout);

    SimDevice device;
    InitSimDevice(device, options, seed);
    const int result = Run(line, device, signals, recordFd);
    if (recordFd >= 0) {
        close(recordFd);
    }

    RemoveLink(line);
    close(line.fd);
    if (line.keepSlave >= 0) {
        close(line.keepSlave);
    }
    close(signals);
    return result;
}
