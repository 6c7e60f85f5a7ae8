// kvxsim: a Korvex stand-in on a pseudo-terminal or a real serial line, for the demo, the tests
// and training without hardware. One thread, one poll loop: the line, the signals and the
// 20 ms tick.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/serial_port.h"
#include "sim/sim_device.h"

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
    "  --help               this text\n"
    "\n"
    "Ends cleanly on SIGINT or SIGTERM.\n";

struct Line {
    int fd = -1;
    int keepSlave = -1;  // pseudo-terminal only: held so the master never sees a hang-up
    std::string path;
    std::string link;
};

bool ParseNumber(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return end != text && *end == 0 && errno == 0;
}

bool ParseOptions(int argc, char** argv, SimOptions* options, std::string* tty, std::string* link,
                  std::string* record, unsigned* seed) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        }
        if (option == "--ignore-polls") {
            options->ignorePolls = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kvxsim: %s needs a value or is unknown (see --help)\n",
                         option.c_str());
            return false;
        }
        const char* value = argv[++i];
        double number = 0;
        const bool numeric = ParseNumber(value, &number);
        if (option == "--tty") {
            *tty = value;
        } else if (option == "--link") {
            *link = value;
        } else if (option == "--record") {
            *record = value;
        } else if (option == "--identity") {
            options->identity = value;
        } else if (option == "--wave") {
            const std::string kind = value;
            if (kind == "sine") {
                options->wave = Wave::Sine;
            } else if (kind == "ramp") {
                options->wave = Wave::Ramp;
            } else if (kind == "square") {
                options->wave = Wave::Square;
            } else if (kind == "steady") {
                options->wave = Wave::Steady;
            } else {
                std::fprintf(stderr, "kvxsim: unknown wave %s\n", value);
                return false;
            }
        } else if (!numeric || number < 0) {
            std::fprintf(stderr, "kvxsim: %s needs a number of 0 or more\n", option.c_str());
            return false;
        } else if (option == "--period") {
            options->periodSeconds = number;
        } else if (option == "--min" && number <= 199) {
            options->minPercent = static_cast<int>(number);
        } else if (option == "--max" && number <= 199) {
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
            std::fprintf(stderr, "kvxsim: bad option or value: %s %s\n", option.c_str(), value);
            return false;
        }
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

// The symlink is made under a temporary name and renamed over PATH, so a reader of PATH sees
// the old target or the new one, never none.
bool MakeLink(Line* line, const std::string& link) {
    const std::string temporary = link + ".tmp" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(line->path.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "kvxsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    line->link = link;
    return true;
}

// Removes the symlink only while it still points to our device: someone may have re-pointed it.
void RemoveLink(const Line& line) {
    if (line.link.empty()) {
        return;
    }
    char target[4096];
    ssize_t n = readlink(line.link.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = 0;
        if (line.path == target) {
            unlink(line.link.c_str());
        }
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
    if (!ParseOptions(argc, argv, &options, &tty, &link, &record, &seed)) {
        return 2;
    }
    if (options.minPercent > options.maxPercent) {
        std::swap(options.minPercent, options.maxPercent);
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
