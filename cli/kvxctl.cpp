// kvxctl: the Korvex from the command line, for scripts, logging and commissioning. It runs the
// same link, protocol, transfer, parameter and file code as KVXMon, with this program's main
// thread in the place of the window thread and no window at all. This file holds the usage
// texts, the command line and main.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/session.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "platform/console.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "records/settings.h"
#include "records/window_state.h"

#ifndef KVX_VERSION
#define KVX_VERSION "0"
#endif

using namespace kvxctl;

namespace {

const char kUsage[] =
    "Usage: kvxctl [--port COMn|N|PATH] COMMAND [options]\n"
    "The Korvex power monitor from the command line, with the link, protocol, parameter and\n"
    "file code of KVXMon.\n"
    "\n"
    "Commands:\n"
    "  identity              print the device's identity text\n"
    "  read [--json] [--save FILE.KVX]\n"
    "                        print the 22 parameter words; save them as KVXMon's Save would\n"
    "  write FILE.KVX        send a parameter file as KVXMon's Load does, and confirm it\n"
    "  set NAME=VALUE ...    change words, checked as the parameter pages check them\n"
    "  monitor [--csv|--json] [--duration S]\n"
    "                        print the live values as they arrive\n"
    "  reset max|min|dpdt    reset a peak in the device\n"
    "  key                   send the device's key command\n"
    "  help [COMMAND]        this text, or what a command does\n"
    "\n"
    "Options: -p, --port P (below); -h, --help; --version. Every option takes its value after\n"
    "a space or an equals sign: --port COM5 or --port=COM5.\n"
    "--port names the port: COM1..COM8 (or just 1..8) as in KVXMon, mapped by KVXMON_COM<n> or\n"
    "the default map, or a device path. Default: the port in ./KVXMon.cnf, else COM1.\n"
    "\n"
    "Exit codes: 0 done, 1 usage, port, file or value error, 2 no reply from the device,\n"
    "3 the device reports other words than were sent, 130 interrupted.\n"
    "'kvxctl help COMMAND' describes a command; --version prints the version.\n";

const char kHelpIdentity[] =
    "Usage: kvxctl [--port P] identity\n"
    "Polls the device and prints its identity text. Exit 0, or 2 when no reply came within 2 s.\n";

const char kHelpRead[] =
    "Usage: kvxctl [--port P] read [--json] [--save FILE.KVX]\n"
    "Polls the device and prints its 22 parameter words, one line each: index, name, raw value\n"
    "and the value as the parameter pages show it (times in seconds in the unit of timerRange).\n"
    "  --json          print one JSON object instead (with the identity text)\n"
    "  --save FILE     also write the 88-byte parameter file KVXMon's Save would write\n"
    "Exit 0, 1 when the file cannot be written, 2 when no reply came within 2 s.\n";

const char kHelpWrite[] =
    "Usage: kvxctl [--port P] write FILE.KVX\n"
    "Loads and checks the parameter file as KVXMon's Load does (a file shorter than 88 bytes or\n"
    "with a word outside its band is refused and nothing is sent), sends the 22 words in the\n"
    "transfer order, one per 47 ms, then polls and compares what the device reports.\n"
    "Exit 0 confirmed, 1 file or port error, 2 no reply (the words not confirmed are listed;\n"
    "the device may hold some of them), 3 words differ (listed on stderr), 130 interrupted.\n";

const char kHelpSet[] =
    "Usage: kvxctl [--port P] set NAME=VALUE ...\n"
    "Changes parameter words. Every value is checked against the range of its parameter page\n"
    "before anything is sent; then the device is polled, the relation p1Min + 10 <= p1Max is\n"
    "checked, only the words that differ from the device's are sent, and the device is polled\n"
    "again to confirm them. A changed timerRange is sent with both limit times in the new unit,\n"
    "as the Setup page does.\n"
    "Values as read prints them or shorter: numbers (percent as 50, 50% or \"50 %\"), choice\n"
    "names or their numbers (limit1Mode=Max, dpdtMode=+dP/dt, filter=3s, iout=4-20mA, dudt=Off),\n"
    "times in seconds (limit1Tr=1.25, ts=\"12.5 s\").\n"
    "Names: limit1Mode limit1Setpoint limit1Tr limit1AutoReset limit1Hysteresis limit2Mode\n"
    "limit2Setpoint limit2Tr limit2AutoReset limit2Hysteresis dpdtMode dpdtSetpoint dudt\n"
    "timerRange ts outputPolarity iout analogPolarity filter p1Max p1Min autoShutDown\n"
    "Exit 0 confirmed (or nothing to change), 1 refused value or port error, 2 no reply,\n"
    "3 words differ.\n";

const char kHelpMonitor[] =
    "Usage: kvxctl [--port P] monitor [--csv|--json] [--duration S]\n"
    "Prints one line per measurement message with the local time, the measurement and the max,\n"
    "min and dP/dt peaks in percent and a status column (alarm codes, dU/dt events). Sends\n"
    "nothing to the device. Link loss prints one line; lines resume when the device is back.\n"
    "Each message is stamped with the time its last byte came off the line.\n"
    "  --csv           comma-separated with a header line naming the units; every line is\n"
    "                  flushed\n"
    "  --json          one JSON object per line, for log shippers; every line is flushed\n"
    "  --duration S    stop after S seconds (Ctrl+C stops at any time)\n";

const char kHelpReset[] =
    "Usage: kvxctl [--port P] reset max|min|dpdt\n"
    "Sends the device the reset command of one peak. Exit 0, or 2 when the device says nothing\n"
    "within 2 s (then nothing is sent).\n";

const char kHelpKey[] =
    "Usage: kvxctl [--port P] key\n"
    "Sends the device its key command (the space bar in KVXMon), which acknowledges alarms.\n"
    "Exit 0, or 2 when the device says nothing within 2 s (then nothing is sent).\n";

const std::vector<options::Spec> kOptions = {
    {"--help", "-h", false},       {"--version", nullptr, false}, {"--port", "-p", true},
    {"--json", nullptr, false},    {"--save", nullptr, true},     {"--csv", nullptr, false},
    {"--duration", nullptr, true},
};

struct CommandHelp {
    const char* command;
    const char* help;
    std::vector<std::string> options;  // beyond --port, --help and --version
};

const CommandHelp kCommands[] = {
    {"identity", kHelpIdentity, {}},
    {"read", kHelpRead, {"--json", "--save"}},
    {"write", kHelpWrite, {}},
    {"set", kHelpSet, {}},
    {"monitor", kHelpMonitor, {"--csv", "--json", "--duration"}},
    {"reset", kHelpReset, {}},
    {"key", kHelpKey, {}},
};

const CommandHelp* FindCommand(const std::string& command) {
    for (const CommandHelp& c : kCommands) {
        if (command == c.command) {
            return &c;
        }
    }
    return nullptr;
}

int Usage(const std::string& what, const std::string& command = {}) {
    Fail("%s; see kvxctl %s--help", what, command.empty() ? command : command + " ");
    return kExitUsage;
}

int Print(const char* text) {
    platform::PrintText(stdout, text);
    return kExitOk;
}

struct CommandLine {
    const char* port = nullptr;
    bool json = false;
    bool csv = false;
    const char* save = nullptr;
    double duration = 0;
};

int RunCommand(const std::string& command, const std::vector<std::string>& args,
               const CommandLine& line) {
    if (command == "identity" || command == "key") {
        if (!args.empty()) {
            return Usage(command + " takes no arguments", command);
        }
        return command == "key" ? SendSingleCommand(CMD_SPACE) : CommandIdentity();
    }
    if (command == "read") {
        if (!args.empty()) {
            return Usage("read takes no arguments but its options", command);
        }
        return CommandRead(line.json, line.save);
    }
    if (command == "write") {
        if (args.size() != 1) {
            return Usage("write needs one parameter file", command);
        }
        return CommandWrite(args[0].c_str());
    }
    if (command == "set") {
        return CommandSet(args);
    }
    if (command == "monitor") {
        if (!args.empty()) {
            return Usage("monitor takes no arguments but its options", command);
        }
        if (line.csv && line.json) {
            return Usage("--csv and --json exclude each other", command);
        }
        return CommandMonitor(line.csv    ? MonitorFormat::Csv
                              : line.json ? MonitorFormat::Json
                                          : MonitorFormat::Text,
                              line.duration);
    }
    if (args.size() != 1) {
        return Usage("reset needs max, min or dpdt", command);
    }
    const std::string which = Lower(args[0]);
    if (which == "max")
        return SendSingleCommand(CMD_RESET_MAX_PEAK);
    if (which == "min")
        return SendSingleCommand(CMD_RESET_MIN_PEAK);
    if (which == "dpdt")
        return SendSingleCommand(CMD_RESET_DPDT_PEAK);
    return Usage("reset needs max, min or dpdt, not '" + args[0] + "'", command);
}

int Run(int argc, char** argv, std::string* command) {
    const options::Scanned scanned = options::Scan(argc, argv, kOptions);
    if (!scanned.error.empty()) {
        return Usage(scanned.error);
    }
    std::vector<std::string> args = scanned.operands;
    *command = args.empty() ? std::string() : args[0];
    if (!args.empty()) {
        args.erase(args.begin());
    }
    const CommandHelp* known = FindCommand(*command);
    if (!command->empty() && *command != "help" && known == nullptr) {
        return Usage("unknown command '" + *command + "'");
    }
    CommandLine line;
    bool help = false;
    for (const auto& [option, value] : scanned.options) {
        if (option == "--version") {
            platform::PrintFormatted(stdout, "kvxctl %s (KVXMon %s)\n", KVX_VERSION, KVX_VERSION);
            return kExitOk;
        }
        help = help || option == "--help";
        const bool global = option == "--help" || option == "--port";
        if (!global && (known == nullptr || std::find(known->options.begin(), known->options.end(),
                                                      option) == known->options.end())) {
            return Usage("unknown option '" + option + "'" +
                             (known != nullptr ? " for " + *command : std::string()),
                         known != nullptr ? *command : std::string());
        }
        if (option == "--port") {
            line.port = value.c_str();
        } else if (option == "--json") {
            line.json = true;
        } else if (option == "--csv") {
            line.csv = true;
        } else if (option == "--save") {
            line.save = value.c_str();
        } else if (option == "--duration") {
            char* end = nullptr;
            line.duration = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != 0 || !(line.duration > 0)) {
                return Usage("--duration needs a number of seconds above 0, not '" + value + "'",
                             *command);
            }
        }
    }
    // Taken before anything is printed: it also makes a write into a pipe whose reader has gone
    // fail as a write (reported, exit 1) rather than end the program without a word.
    stopEvent = platform::StopSignalEvent();
    if (*command == "help") {
        if (args.size() > 1 || (args.size() == 1 && FindCommand(args[0]) == nullptr)) {
            return Usage("help takes one of the commands, not '" +
                         (args.empty() ? "" : args.back()) + "'");
        }
        return Print(args.empty() ? kUsage : FindCommand(args[0])->help);
    }
    if (help) {
        return Print(known != nullptr ? known->help : kUsage);
    }
    if (known == nullptr) {
        platform::PrintText(stderr, kUsage);
        return kExitUsage;
    }
    if (!ChoosePort(line.port)) {
        return kExitUsage;
    }
    platform::EventHandle reply = platform::CreateEvent(true, false);
    if (stopEvent == nullptr || reply == nullptr) {
        Fail("the system refused an event");
        return kExitUsage;
    }
    platform::SetMessagePresenter(PrintMessage);
    SetSettingsDefaults(settings);
    replyEvent.store(reply, std::memory_order_release);

    const int result = RunCommand(*command, args, line);

    // The reader thread may still use the event until the link is closed.
    CloseLink();
    replyEvent.store(nullptr, std::memory_order_release);
    platform::CloseEvent(reply);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command;
    const int result = Run(argc, argv, &command);
    // A reader that leaves the monitor (| head) ends it as Ctrl+C does.
    return FinishOutput(result, command == "monitor");
}
