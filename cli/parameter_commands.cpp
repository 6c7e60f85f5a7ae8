// identity, read, write and set: the commands that poll the device for its parameter words and
// send words to it.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/session.h"
#include "cli/values.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "params/parameter_check.h"
#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "platform/console.h"
#include "platform/file.h"
#include "records/language.h"

namespace kvxctl {

namespace {

constexpr int kSlotNotKorvexFile = 84;
constexpr int kSlotNotRead = 87;
constexpr int kCaptionError = 33;

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

// Loads the file as the Load Parameters command does, then the band check; nothing is sent
// unless both pass.
bool LoadForWrite(const char* path) {
    // The load creates a missing file (its dialog has asked); from a command line it must not.
    platform::FileOpenResult probe = platform::OpenFile(
        path, platform::FileAccess::Read, platform::FileCreation::OpenExisting, false);
    if (probe.file == nullptr) {
        const int32_t error = probe.error;
        Fail("cannot read %s: %s", path,
             error == platform::kErrorIsDirectory ? "it is a folder, not a parameter file"
             : error == platform::kErrorInvalid   ? "not a regular file"
                                                  : platform::SystemErrorText(error));
        return false;
    }
    // Name the first word that would reach the device as another word, before the shared load
    // refuses the file as a whole.
    uint8_t record[kParameterFileSize];
    int32_t error = 0;
    const int got = platform::ReadFile(probe.file, record, kParameterFileSize, &error);
    platform::CloseFile(probe.file);
    if (error != 0) {
        Fail("cannot read %s: %s", path, platform::SystemErrorText(error));
        return false;
    }
    if (got < kParameterFileSize) {
        Fail(got == 0 ? "%s is empty; nothing sent"
                      : "%s is too short (%s bytes, a parameter file has 88); nothing sent",
             path, std::to_string(got));
        return false;
    }
    const int word = FirstOutOfBandWord(record);
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

// The words a changed value queues, in the order the pages apply them on OK: Limit 1, Limit 2,
// dP/dt, Setup. A changed timer range goes out before both limit times, which then always
// follow in the new unit, as the Setup page sends them; they are not sent twice.
std::vector<int> QueueChangedWords() {
    const bool rangeChanged =
        parameterSet.editWords[timerRange] != parameterSet.deviceWords[timerRange].load();
    std::vector<int> queued;
    auto queue = [&queued](int word, bool always) {
        const uint16_t value = parameterSet.editWords[word];
        if (always || value != parameterSet.deviceWords[word].load()) {
            platform::PrintFormatted(stdout, "%s: %s %u -> %u\n", portLabel.c_str(),
                                     kParameterTable[word].name,
                                     parameterSet.deviceWords[word].load(), value);
            QueueWord(kParameterTable[word].transferCode, value);
            queued.push_back(word);
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

}  // namespace

int CommandIdentity() {
    if (!Connect()) {
        return kExitUsage;
    }
    if (!PollDevice()) {
        return Interrupted() ? kExitInterrupted : kExitNoReply;
    }
    platform::PrintFormatted(stdout, "%s\n", IdentityText().c_str());
    return kExitOk;
}

int CommandRead(bool json, const char* savePath) {
    if (!Connect()) {
        return kExitUsage;
    }
    if (!PollDevice()) {
        return Interrupted() ? kExitInterrupted : kExitNoReply;
    }
    // Nothing more is wanted from the device: with the reader stopped, the table and the file
    // show the same reply. The time texts follow the device's own timer range.
    CloseLink();
    CopyDeviceToEdit();
    if (json) {
        platform::PrintFormatted(stdout, "{\"port\": %s, \"identity\": %s, \"words\": [",
                                 JsonString(portName).c_str(), JsonString(IdentityText()).c_str());
        for (int i = 0; i < kParameterCount; ++i) {
            const uint16_t raw = parameterSet.editWords[i];
            platform::PrintFormatted(
                stdout, "%s\n  {\"index\": %d, \"name\": \"%s\", \"raw\": %u, \"value\": %s}",
                i == 0 ? "" : ",", i, kParameterTable[i].name, raw,
                JsonString(ValueText(i, raw)).c_str());
        }
        platform::PrintFormatted(stdout, "\n]}\n");
    } else {
        for (int i = 0; i < kParameterCount; ++i) {
            const uint16_t raw = parameterSet.editWords[i];
            platform::PrintFormatted(stdout, "%2d  %-17s %5u  %s\n", i, kParameterTable[i].name,
                                     raw, ValueText(i, raw).c_str());
        }
    }
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

int CommandWrite(const char* path) {
    if (!LoadForWrite(path)) {
        return kExitUsage;
    }
    CopyDeviceToEdit();
    QueueAllParameters();
    if (!Connect()) {
        return kExitUsage;
    }
    std::vector<int> all;
    for (int i = 0; i < kParameterCount; ++i) {
        all.push_back(i);
    }
    if (!SendQueuedWords()) {
        return Interruption(all);
    }
    return ConfirmWords(all);
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
        return Interrupted() ? kExitInterrupted : kExitNoReply;
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
    const std::vector<int> queued = QueueChangedWords();
    if (queued.empty()) {
        platform::PrintFormatted(stdout, "%s: nothing to change\n", portLabel.c_str());
        return kExitOk;
    }
    if (!SendQueuedWords()) {
        return Interruption(queued);
    }
    return ConfirmWords(queued);
}

}  // namespace kvxctl
