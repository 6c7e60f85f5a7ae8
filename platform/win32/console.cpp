// The console on Windows: Ctrl+C, Ctrl+Break and closing the console window set the stop event
// (the console control handler is what SIGINT is on Linux), and texts reach a console as UTF-16
// through WriteConsoleW, so umlauts and the plus-minus sign show right under any console code
// page. Output redirected to a file or a pipe gets the UTF-8 bytes, the same bytes the Linux
// build writes (with the C runtime's CR LF line ends): a code page would lose characters.
#include "platform/console.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win32/win32.h"

namespace platform {

// The C runtime's own codes (a failed fwrite sets errno) must mean what the program's codes say.
static_assert(kErrorNoEntry == ENOENT && kErrorAccessDenied == EACCES && kErrorBusy == EBUSY &&
              kErrorNotTerminal == ENOTTY && kErrorInvalid == EINVAL &&
              kErrorIsDirectory == EISDIR && kErrorBrokenPipe == EPIPE);

namespace {

std::atomic<EventHandle> stopEvent{nullptr};

// The first failed write to stdout and stderr: the C runtime turns the system's reason for it
// into errno EINVAL ("the pipe is being closed" has no errno of its own there), so the reason is
// taken from the system at the write and kept until FlushText asks.
std::atomic<int32_t> streamFailure[2] = {0, 0};

std::atomic<int32_t>* FailureSlot(std::FILE* stream) {
    return stream == stdout ? &streamFailure[0] : stream == stderr ? &streamFailure[1] : nullptr;
}

// Why the C runtime's write just failed: the system's code where it set one, else errno.
int32_t FailureNow() {
    const DWORD code = ::GetLastError();
    return code != 0 ? ErrorFromWin32(code) : errno != 0 ? errno : kErrorInvalid;
}

// Writes through the C runtime and flushes at once, so a failure is seen while the system's
// reason for it is still there.
void WriteThrough(std::FILE* stream, std::string_view bytes) {
    ::SetLastError(0);
    errno = 0;
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
    std::atomic<int32_t>* slot = FailureSlot(stream);
    if (slot != nullptr && std::ferror(stream) != 0 && slot->load() == 0) {
        slot->store(FailureNow());
    }
}

// ERROR_DIRECTORY_NOT_SUPPORTED, which MinGW-w64's headers do not name.
constexpr DWORD kDirectoryNotSupported = 336;

BOOL WINAPI OnConsoleControl(DWORD type) {
    EventHandle event = stopEvent.load();
    if (event == nullptr) {
        return FALSE;
    }
    SetEvent(event);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        // Returning ends the process at once. Waiting here gives the program the time to close
        // the port and return from main, which ends the process and this thread with it; the
        // system ends it anyway after its own time limit.
        ::Sleep(10000);
    }
    return TRUE;
}

}  // namespace

int32_t ErrorFromWin32(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return kErrorNoEntry;
        case ERROR_ACCESS_DENIED:
            return kErrorAccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return kErrorWouldBlock;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_BROKEN_PIPE:         // the reading end of the pipe is closed
        case ERROR_NO_DATA:             // the pipe is being closed
        case ERROR_PIPE_NOT_CONNECTED:  // nobody at the other end any more
            return kErrorBrokenPipe;
        // An operation a folder does not support. ERROR_DIRECTORY is not among them: it says a
        // name is not a valid folder, the opposite case. Opening a folder as a file answers
        // "access denied"; the file functions ask for folders before they open.
        case kDirectoryNotSupported:
            return kErrorIsDirectory;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        default:
            return kWin32ErrorBase + static_cast<int32_t>(code);
    }
}

namespace {

std::wstring WideFrom(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    }
    return wide;
}

// defaultChar stands for what the code page cannot hold; UTF-8 takes none.
std::string NarrowFrom(UINT codePage, std::wstring_view text, const char* defaultChar) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, defaultChar, nullptr);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), length, defaultChar,
                              nullptr);
    }
    return bytes;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view text) {
    return WideFrom(CP_ACP, text);
}

std::string AnsiFromWide(std::wstring_view text) {
    return NarrowFrom(CP_ACP, text, nullptr);
}

std::wstring WideFromWindows1252(std::string_view text) {
    return WideFrom(1252, text);
}

std::string Windows1252FromWide(std::wstring_view text) {
    return NarrowFrom(1252, text, "?");
}

std::string Utf8FromWide(std::wstring_view text) {
    return NarrowFrom(CP_UTF8, text, nullptr);
}

EventHandle StopSignalEvent() {
    if (EventHandle existing = stopEvent.load()) {
        return existing;
    }
    EventHandle event = CreateEvent(true, false);
    if (event == nullptr) {
        return nullptr;
    }
    stopEvent.store(event);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return event;
}

std::string SystemErrorText(int32_t code) {
    if (code < kWin32ErrorBase) {
        return std::strerror(code);
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code - kWin32ErrorBase), 0, reinterpret_cast<LPWSTR>(&text), 0,
        nullptr);
    std::wstring words = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    if (text != nullptr) {
        ::LocalFree(text);
    }
    // The system's texts end in a full stop and a line break; a message line goes on after it.
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                              words.back() == L'.' || words.back() == L' ')) {
        words.pop_back();
    }
    if (words.empty()) {
        return "system error " + std::to_string(code - kWin32ErrorBase);
    }
    return Utf8FromWide(words);
}

void PrintText(std::FILE* stream, std::string_view utf8) {
    const DWORD which = stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if ((stream == stdout || stream == stderr) && handle != nullptr &&
        handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        // What the C runtime still holds goes first, so the lines keep their order.
        std::fflush(stream);
        const std::wstring wide = WideFrom(CP_UTF8, utf8);
        DWORD written = 0;
        if (!wide.empty() && ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()),
                                             &written, nullptr)) {
            return;
        }
        // The console refused the text (closed, or the text did not convert): the C runtime
        // gets the bytes instead, so a write that fails there too sets the stream's error
        // indicator, and the program sees the failure as with any other output.
    }
    WriteThrough(stream, utf8);
}

int32_t FlushText(std::FILE* stream) {
    ::SetLastError(0);
    errno = 0;
    const bool flushed = std::fflush(stream) == 0;
    if (flushed && std::ferror(stream) == 0) {
        return 0;
    }
    std::atomic<int32_t>* slot = FailureSlot(stream);
    if (slot != nullptr && slot->load() != 0) {
        return slot->load();
    }
    return flushed ? kErrorInvalid : FailureNow();
}

}  // namespace platform
