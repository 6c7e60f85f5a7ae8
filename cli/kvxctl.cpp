// kvxctl: the Korvex from the command line, for scripts, logging and commissioning. It runs the
// same link, protocol, transfer, parameter and file code as KVXMon, with this program's main
// thread in the place of the window thread and no window at all.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "params/parameter_check.h"
#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "platform/console.h"
#include "platform/event.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "records/language.h"
#include "records/settings.h"
#include "records/window_state.h"

#ifndef KVX_VERSION
#define KVX_VERSION "0"
#endif

namespace {

// Exit codes a script can rely on.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;  // usage, port, file and value errors
constexpr int kExitNoReply = 2;
constexpr int kExitMismatch = 3;
constexpr int kExitInterrupted = 130;

constexpr int kBaud = 9600;
constexpr int kLinkTickMs = 47;
constexpr int kReplyTimeoutMs = 2000;
constexpr int kNotOpenMarker = 10;
constexpr int kSlotNotKorvexFile = 84;
constexpr int kSlotNotRead = 87;
constexpr int kCaptionError = 33;

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

// The port as given to the link ("COM3" or a path) and as named in messages.
std::string portName;
std::string portLabel;

platform::EventHandle stopEvent = nullptr;
std::atomic<int> errorMessagesShown{0};

// One line on stderr; the format takes up to three texts.
void Fail(const char* format, const std::string& a = {}, const std::string& b = {},
          const std::string& c = {}) {
    std::fputs("kvxctl: ", stderr);
    std::fprintf(stderr, format, a.c_str(), b.c_str(), c.c_str());
    std::fputc('\n', stderr);
}

// Slot messages of the shared code (file too short, not a parameter file) reach the user as one
// line on stderr; an error among them decides the exit code.
platform::MessageResult PrintMessage(platform::WindowHandle, const char* text, const char*,
                                     platform::MessageIcon icon, platform::MessageButtons buttons) {
    std::string line = platform::Windows1252ToUtf8(text != nullptr ? text : "");
    for (char& c : line) {
        c = c == '\n' ? ' ' : c;
    }
    std::fprintf(stderr, "kvxctl: %s\n", line.c_str());
    if (icon == platform::MessageIcon::Error) {
        errorMessagesShown.fetch_add(1);
    }
    return buttons == platform::MessageButtons::YesNo ? platform::MessageResult::No
                                                      : platform::MessageResult::Ok;
}

// Waits ms milliseconds; false when Ctrl+C (or a termination signal) came meanwhile.
bool Pause(int ms) {
    return !platform::WaitForEvent(stopEvent, ms);
}

bool Interrupted() {
    return platform::WaitForEvent(stopEvent, 0);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string SlotText(int slot) {
    char text[kSlotSize];
    CopySlotText(text, slot);
    return platform::Windows1252ToUtf8(text);
}

// ---- the port -------------------------------------------------------------------------------

// The port KVXMon would open from this folder: its settings file is read, never created.
std::string StoredPort() {
    platform::FileOpenResult opened = platform::OpenFile(
        "KVXMon.cnf", platform::FileAccess::Read, platform::FileCreation::OpenExisting, false);
    if (opened.file == nullptr) {
        return "COM1";
    }
    uint8_t image[kSettingsFileSize];
    const int got = platform::ReadFile(opened.file, image, kSettingsFileSize);
    platform::CloseFile(opened.file);
    SettingsRecord stored;
    SettingsFromBytes(stored, image, got);
    int port = stored.comPort.load();
    port = port > kNotOpenMarker ? port - kNotOpenMarker : port;
    return "COM" + std::to_string(port);
}

// "COM3", "com3" and "3" name a COM port; anything else is a device path.
bool ChoosePort(const char* given) {
    if (given == nullptr) {
        portName = StoredPort();
    } else {
        std::string text = given;
        std::string number = Lower(text).rfind("com", 0) == 0 ? text.substr(3) : text;
        if (AllDigits(number)) {
            portName = "COM" + std::to_string(std::atoi(number.c_str()));
        } else if (text.empty()) {
            Fail("--port needs a port name or path");
            return false;
        } else {
            portName = text.find('/') == std::string::npos ? "./" + text : text;
        }
    }
    const std::string path = platform::ResolveSerialPortName(portName.c_str());
    portLabel = portName;
    if (!path.empty() && path != portName) {
        portLabel += " (" + path + ")";
    }
    return true;
}

std::string OpenFailureReason(int32_t code) {
    switch (code) {
        case platform::kErrorAccessDenied:
            // The serial layer has already said on stderr which group to join.
            return "permission denied";
        case platform::kErrorBusy:
        case platform::kErrorWouldBlock:
            return "in use by another program (KVXMon or another kvxctl?)";
        case platform::kErrorNotTerminal:
            return "not a serial port";
        case platform::kErrorNoEntry:
            if (platform::ResolveSerialPortName(portName.c_str()).empty()) {
                return "no device is mapped to this port (set KVXMON_" + portName + " to its path)";
            }
            return "no such device";
        default:
            return platform::SystemErrorText(code);
    }
}

bool Connect() {
    if (OpenLinkByName(portName.c_str(), kBaud) == 1) {
        return true;
    }
    Fail("%s: %s", portLabel, OpenFailureReason(LinkOpenError()));
    return false;
}

// ---- parameter words as a user reads and writes them -----------------------------------------

bool IsTimeWord(int word) {
    return word == limit1Tr || word == limit2Tr || word == ts;
}

// The entries of a word's list on its parameter page, index 0 first; empty for number fields.
std::vector<std::string> Choices(int word) {
    switch (word) {
        case limit1Mode:
        case limit2Mode:
            return {SlotText(3), "Min.", "Max."};
        case limit1AutoReset:
        case limit2AutoReset:
        case autoShutDown:
            return {SlotText(3), SlotText(4)};
        case dpdtMode:
            return {SlotText(3), "+dP/dt",
                    platform::Windows1252ToUtf8("\xB1"
                                                "dP/dt")};
        case timerRange:
            return {"100", "1000"};
        case outputPolarity:
            return {"n.inv", "inv"};
        case iout:
            return {"0-20mA", "4-20mA"};
        case analogPolarity:
            return {"Norm.", "Inv."};
        case filter:
            return {SlotText(19), "3s", "6s", "10s"};
        default:
            return {};
    }
}

// Case, a final point and the spelling of the plus-minus sign do not matter in a typed name.
std::string ChoiceKey(const std::string& text) {
    std::string key = Lower(text);
    const std::string plusMinus = platform::Windows1252ToUtf8("\xB1");
    if (key.rfind(plusMinus, 0) == 0) {
        key = "+-" + key.substr(plusMinus.size());
    }
    if (!key.empty() && key.back() == '.') {
        key.pop_back();
    }
    return key;
}

// The value as the pages show it; times in the edit copy's unit (callers copy the device words
// to the edit copy first).
std::string ValueText(int word, uint16_t value) {
    const std::vector<std::string> choices = Choices(word);
    if (!choices.empty()) {
        if (value >= choices.size()) {
            return "(not in the list)";
        }
        if (word == timerRange) {
            return choices[value] + (value == 0 ? " (times in 0.01 s)" : " (times in 0.1 s)");
        }
        return choices[value];
    }
    if (IsTimeWord(word)) {
        char text[16];
        FormatTimeText(value, text);
        return std::string(text) + " s";
    }
    if (word == dudt && value == 0) {
        return SlotText(3);
    }
    return std::to_string(value) + " %";
}

int FindWordByName(const std::string& name) {
    for (int i = 0; i < kParameterCount; ++i) {
        if (Lower(name) == Lower(kParameterTable[i].name)) {
            return i;
        }
    }
    return -1;
}

std::string RangeText(int word) {
    const ParameterInfo& info = kParameterTable[word];
    const std::vector<std::string> choices = Choices(word);
    std::string text = std::to_string(info.minValue) + " to " + std::to_string(info.maxValue);
    if (!choices.empty()) {
        text += " (";
        for (size_t i = 0; i < choices.size(); ++i) {
            text += (i > 0 ? ", " : "") + std::to_string(i) + " " + choices[i];
        }
        text += ")";
    } else if (word == dudt) {
        text += " % (0 is Off)";
    } else {
        text += " %";
    }
    if (word == p1Max) {
        text += ", and at least p1Min + 10";
    } else if (word == p1Min) {
        text += ", and at most p1Max - 10";
    }
    return text;
}

struct Assignment {
    int word;
    std::string text;  // as typed, for the time words and messages
    uint16_t value;    // the word, for all but the time words
};

// A time as typed into a time field: digits with at most one decimal separator ("." or ",").
// How many digits may stand on either side depends on the unit, checked once it is known.
bool TimeSyntax(const std::string& text, int* integerDigits, int* decimals) {
    int digits = 0;
    int separator = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if ((c == '.' || c == ',') && separator < 0) {
            separator = static_cast<int>(i);
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    *integerDigits = separator < 0 ? static_cast<int>(text.size()) : separator;
    *decimals = separator < 0 ? 0 : static_cast<int>(text.size()) - separator - 1;
    return true;
}

// Checks what can be checked without the device: the name, the form of the value and its range.
bool ParseAssignment(const std::string& argument, Assignment* out) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
        Fail("'%s' is not NAME=VALUE", argument);
        return false;
    }
    const std::string name = argument.substr(0, equals);
    std::string text = argument.substr(equals + 1);
    const int word = FindWordByName(name);
    if (word < 0) {
        Fail("unknown parameter '%s' (kvxctl set --help lists the names)", name);
        return false;
    }
    out->word = word;
    out->text = text;
    out->value = 0;
    const char* canonical = kParameterTable[word].name;
    if (IsTimeWord(word)) {
        int integerDigits = 0;
        int decimals = 0;
        // The largest time in either unit is 999.9 s; the unit decides the rest later.
        if (!TimeSyntax(text, &integerDigits, &decimals) || integerDigits > 3 || decimals > 2) {
            Fail(
                "%s=%s is refused: a time in seconds, 0.00 to 99.99 (timerRange 0) or 0.0 to "
                "999.9 (timerRange 1)",
                canonical, text);
            return false;
        }
        return true;
    }
    const std::vector<std::string> choices = Choices(word);
    for (size_t i = 0; i < choices.size(); ++i) {
        if (ChoiceKey(text) == ChoiceKey(choices[i])) {
            out->value = static_cast<uint16_t>(i);
            return true;
        }
    }
    if (word == dudt && ChoiceKey(text) == ChoiceKey(SlotText(3))) {
        out->value = 0;  // the dU/dt field reads "Off" as 0
        return true;
    }
    if (choices.empty() && !text.empty() && text.back() == '%') {
        text.pop_back();
    }
    const ParameterInfo& info = kParameterTable[word];
    const long value = AllDigits(text) ? std::atol(text.c_str()) : -1;
    if (value < info.minValue || value > info.maxValue) {
        Fail("%s=%s is out of range: %s", canonical, out->text, RangeText(word));
        return false;
    }
    out->value = static_cast<uint16_t>(value);
    return true;
}

// ---- talking to the device --------------------------------------------------------------------

// Polls and waits for the parameter reply, then for the identity characters that follow it.
bool PollDevice() {
    if (!PollAndWait(kReplyTimeoutMs)) {
        Fail("%s: no reply from the device within 2 s", portLabel);
        return false;
    }
    for (int waited = 0; waited < 1000 && Pause(5); waited += 5) {
        const int pos = liveValues.identityPos.load();
        if (pos >= kIdentitySize || (pos > 0 && liveValues.identity[pos - 1].load() == 0)) {
            break;
        }
    }
    return true;
}

std::string IdentityText() {
    char text[kIdentitySize];
    ReadIdentity(text);
    return platform::Windows1252ToUtf8(text);
}

// Sends the queued words one per link tick, as the main window's 47 ms timer does. False when
// interrupted.
bool SendQueuedWords() {
    while (!CommandQueueEmpty()) {
        LinkTick();
        if (!Pause(kLinkTickMs)) {
            return false;
        }
    }
    return true;
}

// The confirmation: poll once the queue has drained and compare the device's report with the
// edit copy, as the link tick's confirmation step does, listing every word that differs.
int ConfirmWords(int sent) {
    if (!PollAndWait(kReplyTimeoutMs)) {
        Fail("%s: no reply from the device within 2 s: the words sent were not confirmed",
             portLabel);
        return kExitNoReply;
    }
    if (ParametersConfirmed() == 1) {
        std::printf("%s: %d word%s sent and confirmed\n", portLabel.c_str(), sent,
                    sent == 1 ? "" : "s");
        return kExitOk;
    }
    Fail("%s: the device reports other words than were sent:", portLabel);
    for (int i = 0; i < kParameterCount; ++i) {
        const uint16_t reported = parameterSet.deviceWords[i].load();
        if (reported != parameterSet.editWords[i]) {
            std::fprintf(stderr, "  word %d %s: sent %u, reported %u\n", i, kParameterTable[i].name,
                         parameterSet.editWords[i], reported);
        }
    }
    return kExitMismatch;
}

int Interruption() {
    Fail("%s: interrupted; the device may hold only some of the words", portLabel);
    return kExitInterrupted;
}

// ---- commands ---------------------------------------------------------------------------------

int CommandIdentity() {
    if (!Connect()) {
        return kExitUsage;
    }
    if (!PollDevice()) {
        return kExitNoReply;
    }
    std::printf("%s\n", IdentityText().c_str());
    return kExitOk;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int CommandRead(bool json, const char* savePath) {
    if (!Connect()) {
        return kExitUsage;
    }
    if (!PollDevice()) {
        return kExitNoReply;
    }
    // Nothing more is wanted from the device: with the reader stopped, the table and the file
    // show the same reply. The time texts follow the device's own timer range.
    CloseLink();
    CopyDeviceToEdit();
    if (json) {
        std::printf("{\"port\": %s, \"identity\": %s, \"words\": [", JsonString(portName).c_str(),
                    JsonString(IdentityText()).c_str());
        for (int i = 0; i < kParameterCount; ++i) {
            const uint16_t raw = parameterSet.editWords[i];
            std::printf("%s\n  {\"index\": %d, \"name\": \"%s\", \"raw\": %u, \"value\": %s}",
                        i == 0 ? "" : ",", i, kParameterTable[i].name, raw,
                        JsonString(ValueText(i, raw)).c_str());
        }
        std::printf("\n]}\n");
    } else {
        for (int i = 0; i < kParameterCount; ++i) {
            const uint16_t raw = parameterSet.editWords[i];
            std::printf("%2d  %-17s %5u  %s\n", i, kParameterTable[i].name, raw,
                        ValueText(i, raw).c_str());
        }
    }
    std::fflush(stdout);
    if (savePath != nullptr) {
        const int32_t result = WriteParameterFile(savePath);
        if (result != 0) {
            Fail("cannot write %s: %s", savePath, platform::SystemErrorText(result));
            return kExitUsage;
        }
        if (errorMessagesShown.load() != 0) {
            return kExitUsage;
        }
    }
    return kExitOk;
}

// Loads the file as the Load Parameters command does, then the band check; nothing is sent
// unless both pass.
bool LoadForWrite(const char* path) {
    // The load creates a missing file (its dialog has asked); from a command line it must not.
    platform::FileOpenResult probe = platform::OpenFile(
        path, platform::FileAccess::Read, platform::FileCreation::OpenExisting, false);
    if (probe.file == nullptr) {
        Fail("cannot read %s: %s", path, platform::SystemErrorText(probe.error));
        return false;
    }
    // Name the first word that would reach the device as another word, before the shared load
    // refuses the file as a whole.
    uint8_t record[kParameterFileSize];
    const int got = platform::ReadFile(probe.file, record, kParameterFileSize);
    platform::CloseFile(probe.file);
    const int word = got == kParameterFileSize ? FirstOutOfBandWord(record) : -1;
    if (word >= 0) {
        const auto value = static_cast<unsigned>(record[2 * word] | (record[2 * word + 1] << 8));
        Fail("%s: word %s is outside its band", path,
             std::to_string(word) + " " + kParameterTable[word].name + " = " +
                 std::to_string(value));
    }
    const int32_t result = ReadParameterFile(path);
    if (result == kResultNothingMore) {
        Fail("%s: nothing sent", path);
        return false;
    }
    if (result == kResultNotParameterFile) {
        ShowSlotMessage(nullptr, kSlotNotKorvexFile, kCaptionError, 0);
        return false;
    }
    if (result != 0) {
        ShowSlotMessage(nullptr, kSlotNotRead, kCaptionError, result);
        return false;
    }
    return true;
}

int CommandWrite(const char* path) {
    if (!LoadForWrite(path)) {
        return kExitUsage;
    }
    CopyDeviceToEdit();
    QueueAllParameters();
    if (!Connect()) {
        return kExitUsage;
    }
    if (!SendQueuedWords()) {
        return Interruption();
    }
    return ConfirmWords(kParameterCount);
}

// The words a changed value queues, in the order the pages apply them on OK: Limit 1, Limit 2,
// dP/dt, Setup. A changed timer range goes out before both limit times, which then always
// follow in the new unit, as the Setup page sends them; they are not sent twice.
int QueueChangedWords() {
    const bool rangeChanged =
        parameterSet.editWords[timerRange] != parameterSet.deviceWords[timerRange].load();
    int queued = 0;
    auto queue = [&queued](int word, bool always) {
        const uint16_t value = parameterSet.editWords[word];
        if (always || value != parameterSet.deviceWords[word].load()) {
            std::printf("%s: %s %u -> %u\n", portLabel.c_str(), kParameterTable[word].name,
                        parameterSet.deviceWords[word].load(), value);
            QueueWord(kParameterTable[word].transferCode, value);
            ++queued;
        }
    };
    for (int word = limit1Mode; word <= dudt; ++word) {
        if (!(rangeChanged && (word == limit1Tr || word == limit2Tr))) {
            queue(word, false);
        }
    }
    if (rangeChanged) {
        queue(timerRange, true);
        queue(limit1Tr, true);
        queue(limit2Tr, true);
    }
    for (int word = ts; word <= autoShutDown; ++word) {
        queue(word, false);
    }
    return queued;
}

int CommandSet(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        Fail("set needs NAME=VALUE (kvxctl set --help)");
        return kExitUsage;
    }
    std::vector<Assignment> assignments;
    for (const std::string& argument : arguments) {
        Assignment assignment;
        if (!ParseAssignment(argument, &assignment)) {
            return kExitUsage;
        }
        for (const Assignment& earlier : assignments) {
            if (earlier.word == assignment.word) {
                Fail("%s is given twice", kParameterTable[assignment.word].name);
                return kExitUsage;
            }
        }
        assignments.push_back(assignment);
    }
    if (!Connect()) {
        return kExitUsage;
    }
    if (!PollDevice()) {
        return kExitNoReply;
    }
    CopyDeviceToEdit();
    // The range first, as on the Setup page: the times already held are rescaled, and times
    // typed now are read in the new unit.
    for (const Assignment& a : assignments) {
        if (a.word == timerRange && a.value != parameterSet.editWords[timerRange]) {
            parameterSet.editWords[timerRange] = a.value;
            RescaleTimes(a.value);
        }
    }
    const int decimals = parameterSet.editWords[timerRange] == 0 ? 2 : 1;
    for (const Assignment& a : assignments) {
        if (!IsTimeWord(a.word)) {
            parameterSet.editWords[a.word] = a.value;
            continue;
        }
        int integerDigits = 0;
        int typedDecimals = 0;
        TimeSyntax(a.text, &integerDigits, &typedDecimals);
        if (integerDigits > 4 - decimals || typedDecimals > decimals) {
            Fail("%s=%s is refused: %s", kParameterTable[a.word].name, a.text,
                 decimals == 2 ? "with timerRange 0 times take 0.00 to 99.99 s"
                               : "with timerRange 1 times take 0.0 to 999.9 s, in tenths");
            return kExitUsage;
        }
        parameterSet.editWords[a.word] =
            ParseTimeText(a.text.c_str(), static_cast<int>(a.text.size()));
    }
    // The pair as it will stand in the device, whichever of the two was typed.
    const int max = parameterSet.editWords[p1Max];
    const int min = parameterSet.editWords[p1Min];
    if (min + 10 > max || max > 100) {
        Fail("p1Max %s and p1Min %s are refused: p1Max must be p1Min + 10 to 100",
             std::to_string(max), std::to_string(min));
        return kExitUsage;
    }
    const int queued = QueueChangedWords();
    if (queued == 0) {
        std::printf("%s: nothing to change\n", portLabel.c_str());
        return kExitOk;
    }
    if (!SendQueuedWords()) {
        return Interruption();
    }
    return ConfirmWords(queued);
}

// ---- monitor --------------------------------------------------------------------------------

// One line of the monitor, made on the reader thread when a measurement message arrives and
// printed by the main thread.
struct MonitorLine {
    std::atomic<int64_t> timeMs{0};  // wall clock
    std::atomic<int32_t> measurement{0};
    std::atomic<int32_t> maxPeak{-1};
    std::atomic<int32_t> minPeak{-1};
    std::atomic<int32_t> dPdtPeak{-1};
    std::atomic<uint16_t> alarmCode[2] = {};  // one per status group, 0 for none
    std::atomic<int32_t> dUdt{0};
};

constexpr int kMonitorRing = 1024;
MonitorLine monitorRing[kMonitorRing];
std::atomic<int32_t> monitorWrite{0};  // reader thread only
std::atomic<int32_t> monitorRead{0};   // main thread only
std::atomic<int32_t> monitorDropped{0};

// Status codes and dU/dt events since the last measurement; reader thread only.
uint16_t pendingAlarm[2] = {};
bool pendingDudt = false;

constexpr uint16_t kStatusFirst = 65000;
constexpr uint16_t kStatusLast = 65049;
constexpr uint16_t kStatusGroup = 25;
constexpr uint16_t kFirstAlarmOffset = 13;
constexpr uint16_t kMeasurementLast = 199;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void OnMonitorMessage(uint16_t value) {
    if (value >= kStatusFirst && value <= kStatusLast) {
        const int offset = value - kStatusFirst;
        if (offset % kStatusGroup >= kFirstAlarmOffset) {
            pendingAlarm[offset / kStatusGroup] = value;
        }
        return;
    }
    if (value == MSG_DUDT) {
        pendingDudt = true;
        return;
    }
    if (value > kMeasurementLast) {
        return;
    }
    const int32_t write = monitorWrite.load(std::memory_order_relaxed);
    const int32_t next = (write + 1) % kMonitorRing;
    if (next == monitorRead.load(std::memory_order_acquire)) {
        monitorDropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    MonitorLine& line = monitorRing[write];
    line.timeMs.store(NowMs(), std::memory_order_relaxed);
    line.measurement.store(value, std::memory_order_relaxed);
    line.maxPeak.store(liveValues.maxPeak.load(), std::memory_order_relaxed);
    line.minPeak.store(liveValues.minPeak.load(), std::memory_order_relaxed);
    line.dPdtPeak.store(liveValues.dPdtPeak.load(), std::memory_order_relaxed);
    for (int group = 0; group < 2; ++group) {
        line.alarmCode[group].store(pendingAlarm[group], std::memory_order_relaxed);
        pendingAlarm[group] = 0;
    }
    line.dUdt.store(pendingDudt ? 1 : 0, std::memory_order_relaxed);
    pendingDudt = false;
    monitorWrite.store(next, std::memory_order_release);
}

// ISO 8601 local time with milliseconds and the offset from UTC: 2026-12-07T18:20:01.123+01:00.
std::string IsoLocalTime(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const std::tm* local = std::localtime(&seconds);  // main thread only
    if (local == nullptr) {
        return "?";
    }
    char date[32];
    char zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", local);
    std::strftime(zone, sizeof zone, "%z", local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%.3s:%s", date, static_cast<int>(ms % 1000), zone,
                  zone + 3);
    return text;
}

std::string Number(int32_t value) {
    return value < 0 ? std::string() : std::to_string(value);
}

// False once stdout is gone (a closed pipe), which ends the monitor.
bool PrintMonitorLine(const MonitorLine& line, bool csv) {
    std::string status;
    for (const auto& code : line.alarmCode) {
        if (const uint16_t value = code.load(std::memory_order_relaxed)) {
            status += (status.empty() ? "alarm " : " ") + std::to_string(value);
        }
    }
    if (line.dUdt.load(std::memory_order_relaxed) != 0) {
        status += status.empty() ? "dU/dt" : " dU/dt";
    }
    const std::string time = IsoLocalTime(line.timeMs.load(std::memory_order_relaxed));
    const int32_t measurement = line.measurement.load(std::memory_order_relaxed);
    const int32_t max = line.maxPeak.load(std::memory_order_relaxed);
    const int32_t min = line.minPeak.load(std::memory_order_relaxed);
    const int32_t dpdt = line.dPdtPeak.load(std::memory_order_relaxed);
    if (csv) {
        std::printf("%s,%d,%s,%s,%s,%s\n", time.c_str(), measurement, Number(max).c_str(),
                    Number(min).c_str(), Number(dpdt).c_str(), status.c_str());
    } else {
        std::printf("%s  %3d %%  max %3s %%  min %3s %%  dP/dt %3s %%  %s\n", time.c_str(),
                    measurement, max < 0 ? "--" : Number(max).c_str(),
                    min < 0 ? "--" : Number(min).c_str(), dpdt < 0 ? "--" : Number(dpdt).c_str(),
                    status.c_str());
    }
    return std::fflush(stdout) == 0;
}

bool PrintLinkEvent(bool lost, bool csv) {
    const std::string time = IsoLocalTime(NowMs());
    if (csv) {
        // A row of its own keeps the file well-formed: no values, the event in the status.
        std::printf("%s,,,,,%s\n", time.c_str(), lost ? "link lost" : "link back");
    } else {
        std::printf("%s  %s\n", time.c_str(),
                    lost ? "link lost: no message from the device; waiting for it" : "link back");
    }
    return std::fflush(stdout) == 0;
}

int CommandMonitor(bool csv, double durationSeconds) {
    SetMessageHook(OnMonitorMessage);
    if (!Connect()) {
        SetMessageHook(nullptr);
        return kExitUsage;
    }
    if (csv) {
        std::printf("time,measurement,max,min,dpdt,status\n");
    }
    bool outputOpen = std::fflush(stdout) == 0;
    const auto start = std::chrono::steady_clock::now();
    auto nextTick = start;
    bool lost = false;
    int32_t dropped = 0;
    while (outputOpen && !Interrupted()) {
        const auto now = std::chrono::steady_clock::now();
        if (durationSeconds > 0 &&
            std::chrono::duration<double>(now - start).count() >= durationSeconds) {
            break;
        }
        // The link supervision of the window's 47 ms timer: link loss is what blanks the values.
        if (now >= nextTick) {
            nextTick += std::chrono::milliseconds(kLinkTickMs);
            LinkTick();
            if (!lost && liveValues.linkTimeout.load() == 0 &&
                liveValues.measurement.load() == -1) {
                lost = true;
                outputOpen = PrintLinkEvent(true, csv);
            }
        }
        for (int32_t read = monitorRead.load(std::memory_order_relaxed);
             outputOpen && read != monitorWrite.load(std::memory_order_acquire);) {
            if (lost) {
                lost = false;
                outputOpen = PrintLinkEvent(false, csv) && outputOpen;
            }
            outputOpen = PrintMonitorLine(monitorRing[read], csv) && outputOpen;
            read = (read + 1) % kMonitorRing;
            monitorRead.store(read, std::memory_order_release);
        }
        if (const int32_t total = monitorDropped.load(); total != dropped) {
            Fail("%s: %s lines dropped (output too slow)", portLabel,
                 std::to_string(total - dropped));
            dropped = total;
        }
        Pause(10);
    }
    CloseLink();
    SetMessageHook(nullptr);
    return kExitOk;
}

// ---- reset and key ----------------------------------------------------------------------------

std::atomic<int32_t> messagesHeard{0};

void CountMessage(uint16_t) {
    messagesHeard.fetch_add(1, std::memory_order_relaxed);
}

// Sends one command once the device has shown that it talks; waits until it is on the line.
int SendSingleCommand(uint16_t command) {
    SetMessageHook(CountMessage);
    if (!Connect()) {
        SetMessageHook(nullptr);
        return kExitUsage;
    }
    int result = kExitOk;
    int waited = 0;
    while (messagesHeard.load() == 0 && waited < kReplyTimeoutMs && Pause(10)) {
        waited += 10;
    }
    if (Interrupted()) {
        result = kExitInterrupted;
    } else if (messagesHeard.load() == 0) {
        Fail("%s: no message from the device within 2 s; nothing sent", portLabel);
        result = kExitNoReply;
    } else {
        SendCommand(command);
        if (!FlushLink(1000)) {
            Fail("%s: the command could not be sent", portLabel);
            result = kExitUsage;
        }
    }
    CloseLink();
    SetMessageHook(nullptr);
    return result;
}

// ---- command line -----------------------------------------------------------------------------

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
        std::printf("kvxctl %s (KVXMon %s)\n", KVX_VERSION, KVX_VERSION);
        return kExitOk;
    }
    if (line.help || line.command.empty()) {
        const char* help = HelpOf(line.command);
        std::fputs(help != nullptr ? help : kUsage, line.help ? stdout : stderr);
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
