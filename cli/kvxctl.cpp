// kvxctl: the Korvex from the command line, for scripts, logging and commissioning. It runs the
// same link, protocol, transfer, parameter and file code as KVXMon, with this program's main
// thread in the place of the window thread and no window at all. This file holds the usage
// texts, the command line and main.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
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
    "  monitor [--csv] [--duration S]\n"
    "                        print the live values as they arrive\n"
    "  reset max|min|dpdt    reset a peak in the device\n"
    "  key                   send the device's key command\n"
    "\n"
    "--port names the port: COM1..COM8 (or just 1..8) as in KVXMon, mapped by KVXMON_COM<n> or\n"
    "the default map, or a device path. Default: the port in ./KVXMon.cnf, else COM1.\n"
    "\n"
    "Exit codes: 0 done, 1 usage, port, file or value error, 2 no reply from the device,\n"
    "3 the device reports other words than were sent, 130 interrupted.\n"
    "'kvxctl COMMAND --help' describes a command; --version prints the version.\n";

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
    "Exit 0 confirmed, 1 file or port error, 2 no reply, 3 words differ (listed on stderr).\n";

const char kHelpSet[] =
    "Usage: kvxctl [--port P] set NAME=VALUE ...\n"
    "Changes parameter words. Every value is checked against the range of its parameter page\n"
    "before anything is sent; then the device is polled, the relation p1Min + 10 <= p1Max is\n"
    "checked, only the words that differ from the device's are sent, and the device is polled\n"
    "again to confirm them. A changed timerRange is sent with both limit times in the new unit,\n"
    "as the Setup page does.\n"
    "Values: numbers (percent as 50 or 50%), choice names (limit1Mode=Max, dpdtMode=+dP/dt,\n"
    "filter=3s, iout=4-20mA, dudt=Off ...), times in seconds (limit1Tr=1.25, ts=12.5).\n"
    "Names: limit1Mode limit1Setpoint limit1Tr limit1AutoReset limit1Hysteresis limit2Mode\n"
    "limit2Setpoint limit2Tr limit2AutoReset limit2Hysteresis dpdtMode dpdtSetpoint dudt\n"
    "timerRange ts outputPolarity iout analogPolarity filter p1Max p1Min autoShutDown\n"
    "Exit 0 confirmed (or nothing to change), 1 refused value or port error, 2 no reply,\n"
    "3 words differ.\n";

const char kHelpMonitor[] =
    "Usage: kvxctl [--port P] monitor [--csv] [--duration S]\n"
    "Prints one line per measurement message with the local time, the measurement and the max,\n"
    "min and dP/dt peaks in percent and a status column (alarm codes, dU/dt events). Sends\n"
    "nothing to the device. Link loss prints one line; lines resume when the device is back.\n"
    "  --csv           comma-separated with a header line; every line is flushed\n"
    "  --duration S    stop after S seconds (Ctrl+C stops at any time)\n";

const char kHelpReset[] =
    "Usage: kvxctl [--port P] reset max|min|dpdt\n"
    "Sends the device the reset command of one peak. Exit 0, or 2 when the device says nothing\n"
    "within 2 s (then nothing is sent).\n";

const char kHelpKey[] =
    "Usage: kvxctl [--port P] key\n"
    "Sends the device its key command (the space bar in KVXMon), which acknowledges alarms.\n"
    "Exit 0, or 2 when the device says nothing within 2 s (then nothing is sent).\n";

struct CommandLine {
    const char* port = nullptr;
    bool help = false;
    bool version = false;
    std::string command;
    std::vector<std::string> arguments;  // everything after the command but --port and --help
};

bool SplitCommandLine(int argc, char** argv, CommandLine* line) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line->help = true;
        } else if (arg == "--version") {
            line->version = true;
        } else if (arg == "--port" || arg == "-p") {
            if (i + 1 >= argc) {
                Fail("--port needs a port name or path");
                return false;
            }
            line->port = argv[++i];
        } else if (arg.rfind("--port=", 0) == 0) {
            line->port = argv[i] + 7;
        } else if (line->command.empty() && arg.rfind("-", 0) != 0) {
            line->command = arg;
        } else {
            line->arguments.push_back(arg);
        }
    }
    return true;
}

const char* HelpOf(const std::string& command) {
    if (command == "identity")
        return kHelpIdentity;
    if (command == "read")
        return kHelpRead;
    if (command == "write")
        return kHelpWrite;
    if (command == "set")
        return kHelpSet;
    if (command == "monitor")
        return kHelpMonitor;
    if (command == "reset")
        return kHelpReset;
    if (command == "key")
        return kHelpKey;
    return nullptr;
}

int Usage(const std::string& what) {
    Fail("%s (kvxctl --help)", what);
    return kExitUsage;
}

int RunCommand(const CommandLine& line) {
    const std::string& command = line.command;
    const std::vector<std::string>& args = line.arguments;
    if (command == "identity" || command == "key") {
        if (!args.empty()) {
            return Usage(command + " takes no arguments");
        }
        return command == "key" ? SendSingleCommand(CMD_SPACE) : CommandIdentity();
    }
    if (command == "read") {
        bool json = false;
        const char* save = nullptr;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--json") {
                json = true;
            } else if (args[i] == "--save" && i + 1 < args.size()) {
                save = args[++i].c_str();
            } else {
                return Usage("read: unknown option " + args[i]);
            }
        }
        return CommandRead(json, save);
    }
    if (command == "write") {
        if (args.size() != 1 || args[0].rfind("-", 0) == 0) {
            return Usage("write needs one parameter file");
        }
        return CommandWrite(args[0].c_str());
    }
    if (command == "set") {
        return CommandSet(args);
    }
    if (command == "monitor") {
        bool csv = false;
        double duration = 0;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--csv") {
                csv = true;
            } else if (args[i] == "--duration" && i + 1 < args.size()) {
                char* end = nullptr;
                duration = std::strtod(args[++i].c_str(), &end);
                if (end == args[i].c_str() || *end != 0 || !(duration > 0)) {
                    return Usage("--duration needs a number of seconds above 0");
                }
            } else {
                return Usage("monitor: unknown option " + args[i]);
            }
        }
        return CommandMonitor(csv, duration);
    }
    if (command == "reset") {
        if (args.size() != 1) {
            return Usage("reset needs max, min or dpdt");
        }
        const std::string which = Lower(args[0]);
        if (which == "max")
            return SendSingleCommand(CMD_RESET_MAX_PEAK);
        if (which == "min")
            return SendSingleCommand(CMD_RESET_MIN_PEAK);
        if (which == "dpdt")
            return SendSingleCommand(CMD_RESET_DPDT_PEAK);
        return Usage("reset needs max, min or dpdt, not " + args[0]);
    }
    return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!SplitCommandLine(argc, argv, &line)) {
        return kExitUsage;
    }
    if (line.version) {
        platform::PrintFormatted(stdout, "kvxctl %s (KVXMon %s)\n", KVX_VERSION, KVX_VERSION);
        return kExitOk;
    }
    if (line.help || line.command.empty()) {
        const char* help = HelpOf(line.command);
        platform::PrintText(line.help ? stdout : stderr, help != nullptr ? help : kUsage);
        return line.help ? kExitOk : kExitUsage;
    }
    if (HelpOf(line.command) == nullptr) {
        return Usage("unknown command " + line.command);
    }
    if (!ChoosePort(line.port)) {
        return kExitUsage;
    }
    stopEvent = platform::StopSignalEvent();
    platform::EventHandle reply = platform::CreateEvent(true, false);
    if (stopEvent == nullptr || reply == nullptr) {
        Fail("the system refused an event");
        return kExitUsage;
    }
    platform::SetMessagePresenter(PrintMessage);
    SetSettingsDefaults(settings);
    replyEvent.store(reply, std::memory_order_release);

    const int result = RunCommand(line);

    // The reader thread may still use the event until the link is closed.
    CloseLink();
    replyEvent.store(nullptr, std::memory_order_release);
    platform::CloseEvent(reply);
    std::fflush(stdout);
    return result;
}
