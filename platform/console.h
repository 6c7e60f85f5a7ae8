// What a program without a window needs from the system: its texts converted for the terminal,
// an event that the interrupt and termination signals set, and the reason behind an error code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/event.h"

namespace platform {

// The Unicode code point of a Windows-1252 byte (the five unassigned codes map to their C1
// control points, as the system converter does).
char32_t Windows1252CodePoint(uint8_t byte);
std::string Windows1252ToUtf8(std::string_view text);

// Writes UTF-8 text to stdout or stderr so that the user sees its characters: a Windows console
// gets it as UTF-16, anything else (a terminal, a file, a pipe) the bytes themselves.
void PrintText(std::FILE* stream, std::string_view utf8);
// Flushes what PrintText wrote to stream: 0, or the system error code of the first write to it
// that failed, kErrorBrokenPipe when the reader of a pipe went away (which the Windows C runtime
// cannot tell from other failures, so its errno is no help here).
int32_t FlushText(std::FILE* stream);
// printf through PrintText.
void PrintFormatted(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// A manual-reset event that SIGINT, SIGTERM and SIGHUP set, so a waiting program ends cleanly
// (port settings restored) on Ctrl+C. SIGPIPE is ignored: a closed output shows as a failed
// write. Created on the first call; the same event every time; nullptr if it cannot be made.
EventHandle StopSignalEvent();

// The system's own words for an error code (errno, or on Windows a system error code).
std::string SystemErrorText(int32_t code);

// Error codes the system code tells apart without including the system's headers.
inline constexpr int32_t kErrorNoEntry = 2;        // ENOENT
inline constexpr int32_t kErrorAccessDenied = 13;  // EACCES
inline constexpr int32_t kErrorBusy = 16;          // EBUSY
inline constexpr int32_t kErrorNotTerminal = 25;   // ENOTTY
inline constexpr int32_t kErrorWouldBlock = 11;    // EWOULDBLOCK, a lock held elsewhere
inline constexpr int32_t kErrorInvalid = 22;       // EINVAL
inline constexpr int32_t kErrorIsDirectory = 21;   // EISDIR
inline constexpr int32_t kErrorBrokenPipe = 32;    // EPIPE, the reader of a pipe went away

}  // namespace platform
