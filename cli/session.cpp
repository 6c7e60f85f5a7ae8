#include "cli/session.h"

#include <cstdio>
#include <cstdlib>

#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "params/parameter_set.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/serial_port.h"
#include "records/language.h"
#include "records/settings.h"
#include "records/window_state.h"

namespace kvxctl {

namespace {

constexpr int kBaud = 9600;
constexpr int kNotOpenMarker = 10;

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

std::string WordNames(const std::vector<int>& words) {
    std::string names;
    for (int word : words) {
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for an overlap.
        if (!names.empty()) {
            names += ' ';
        }
        names += kParameterTable[word].name;
    }
    return names;
}

// The reason the first failed write to stdout gave; 0 while every write succeeded.
int32_t outputError = 0;

}  // namespace

std::string portName;
std::string portLabel;

platform::EventHandle stopEvent = nullptr;
std::atomic<int> errorMessagesShown{0};

void Fail(const char* format, const std::string& a, const std::string& b, const std::string& c) {
    platform::PrintText(stderr, "kvxctl: ");
    platform::PrintFormatted(stderr, format, a.c_str(), b.c_str(), c.c_str());
    platform::PrintText(stderr, "\n");
}

platform::MessageResult PrintMessage(platform::WindowHandle, const char* text, const char*,
                                     platform::MessageIcon icon, platform::MessageButtons buttons) {
    std::string line = platform::Windows1252ToUtf8(text != nullptr ? text : "");
    for (char& c : line) {
        c = c == '\n' ? ' ' : c;
    }
    platform::PrintFormatted(stderr, "kvxctl: %s\n", line.c_str());
    if (icon == platform::MessageIcon::Error) {
        errorMessagesShown.fetch_add(1);
    }
    return buttons == platform::MessageButtons::YesNo ? platform::MessageResult::No
                                                      : platform::MessageResult::Ok;
}

bool FlushOutput() {
    const int32_t error = platform::FlushText(stdout);
    if (error == 0) {
        return true;
    }
    if (outputError == 0) {
        outputError = error;
    }
    return false;
}

int FinishOutput(int result, bool quietBrokenPipe) {
    if (FlushOutput() || (quietBrokenPipe && outputError == platform::kErrorBrokenPipe)) {
        return result;
    }
    Fail("cannot write the output: %s", platform::SystemErrorText(outputError));
    return result == kExitOk ? kExitUsage : result;
}

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

bool ChoosePort(const char* given) {
    if (given == nullptr) {
        portName = StoredPort();
    } else {
        portName = platform::SerialPortNameOf(given);
        if (portName.empty()) {
            Fail("--port needs a port name or path");
            return false;
        }
    }
    const std::string path = platform::ResolveSerialPortName(portName.c_str());
    portLabel = portName;
    if (!path.empty() && path != portName) {
        portLabel += " (" + path + ")";
    }
    return true;
}

bool Connect() {
    if (OpenLinkByName(portName.c_str(), kBaud) == 1) {
        return true;
    }
    Fail("%s: %s", portLabel, OpenFailureReason(LinkOpenError()));
    return false;
}

bool PollDevice() {
    if (!PollAndWait(kReplyTimeoutMs, stopEvent)) {
        if (!Interrupted()) {
            Fail("%s: no reply from the device within 2 s", portLabel);
        }
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

bool SendQueuedWords() {
    while (!CommandQueueEmpty()) {
        LinkTick();
        if (!Pause(kLinkTickMs)) {
            return false;
        }
    }
    return true;
}

int ConfirmWords(const std::vector<int>& sent) {
    if (!PollAndWait(kReplyTimeoutMs, stopEvent)) {
        if (Interrupted()) {
            return Interruption(sent);
        }
        Fail(
            "%s: the line fell silent (no reply within 2 s); not confirmed: %s; the device may "
            "hold some of them",
            portLabel, WordNames(sent));
        return kExitNoReply;
    }
    if (ParametersConfirmed() == 1) {
        // %d rather than %zu: the Windows C runtime's printf, which the format check follows
        // there, has no z.
        platform::PrintFormatted(stdout, "%s: %d word%s sent and confirmed\n", portLabel.c_str(),
                                 static_cast<int>(sent.size()), sent.size() == 1 ? "" : "s");
        return kExitOk;
    }
    Fail("%s: the device reports other words than were sent:", portLabel);
    for (int i = 0; i < kParameterCount; ++i) {
        const uint16_t reported = parameterSet.deviceWords[i].load();
        if (reported != parameterSet.editWords[i]) {
            platform::PrintFormatted(stderr, "  word %d %s: sent %u, reported %u\n", i,
                                     kParameterTable[i].name, parameterSet.editWords[i], reported);
        }
    }
    return kExitMismatch;
}

int Interruption(const std::vector<int>& sent) {
    Fail("%s: interrupted; not confirmed: %s; the device may hold some of them", portLabel,
         WordNames(sent));
    return kExitInterrupted;
}

}  // namespace kvxctl
