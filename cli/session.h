// What every kvxctl command shares: the exit codes, the chosen port, messages on stderr, waits
// that Ctrl+C ends, and the conversation with the device (poll, send the queued words, confirm).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/message_box.h"

namespace kvxctl {

// Exit codes a script can rely on.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;  // usage, port, file and value errors
inline constexpr int kExitNoReply = 2;
inline constexpr int kExitMismatch = 3;
inline constexpr int kExitInterrupted = 130;

inline constexpr int kLinkTickMs = 47;
inline constexpr int kReplyTimeoutMs = 2000;

// The port as given to the link ("COM3" or a path) and as named in messages.
extern std::string portName;
extern std::string portLabel;

// Set by Ctrl+C or a termination signal.
extern platform::EventHandle stopEvent;
extern std::atomic<int> errorMessagesShown;

// One line on stderr; the format takes up to three texts.
void Fail(const char* format, const std::string& a = {}, const std::string& b = {},
          const std::string& c = {});
// Slot messages of the shared code (file too short, not a parameter file) reach the user as one
// line on stderr; an error among them decides the exit code.
platform::MessageResult PrintMessage(platform::WindowHandle, const char* text, const char*,
                                     platform::MessageIcon icon, platform::MessageButtons buttons);

// Flushes stdout; false once a write to it has failed (the reason is kept for FinishOutput).
bool FlushOutput();
// The exit code once everything is written. A failed write to stdout is an error, named on
// stderr, unless quietBrokenPipe and the reader went away.
int FinishOutput(int result, bool quietBrokenPipe);

// Waits ms milliseconds; false when Ctrl+C (or a termination signal) came meanwhile.
bool Pause(int ms);
bool Interrupted();

std::string Lower(std::string text);
// 1 to 9 decimal digits and nothing else.
bool AllDigits(const std::string& text);
std::string SlotText(int slot);

// "COM3", "com3" and "3" name a COM port; anything else is the system's name for a port (a
// device path on Linux, "\\.\COM12" on Windows); nullptr is the port
// in ./KVXMon.cnf, else COM1. False, with a message, for an empty name.
bool ChoosePort(const char* given);
// Opens the link on the chosen port; false with the reason on stderr.
bool Connect();

// Polls and waits for the parameter reply, then for the identity characters that follow it.
bool PollDevice();
std::string IdentityText();
// Sends the queued words one per link tick, as the main window's 47 ms timer does. False when
// interrupted.
bool SendQueuedWords();
// The confirmation: poll once the queue has drained and compare the device's report with the
// edit copy, as the link tick's confirmation step does, listing every word that differs. sent
// are the words' indexes; without a reply they are named as not confirmed.
int ConfirmWords(const std::vector<int>& sent);
// The message and exit code after Ctrl+C came in the middle of a transfer of the words sent.
int Interruption(const std::vector<int>& sent);

}  // namespace kvxctl
