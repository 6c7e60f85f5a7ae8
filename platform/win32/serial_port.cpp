// Serial ports on Win32: CreateFileW on \\.\COMn without sharing, the line set through the DCB,
// overlapped reads and writes that wait on their completion and the stop event together, so a
// link thread always returns when it is told to stop.
#include "platform/serial_port.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"
#include "platform/win32/win32.h"

namespace platform {

struct SerialPortObject {
    std::wstring path;  // as resolved at open; a hang-up reopens this same path
    int baud;
    // Swapped by the reader thread on a reopen while the writer thread may be writing: the reader
    // publishes INVALID_HANDLE_VALUE, waits until no write is inside, then closes the lost handle.
    std::atomic<HANDLE> handle;
    std::atomic<int> writersInside{0};
    // Line settings found at open, restored at close. Written by the reader thread on a reopen,
    // read by CloseSerialPort only after both link threads have been joined.
    DCB savedLine;
    COMMTIMEOUTS savedTimeouts;
};

namespace {

// A read ends as soon as at least one byte is there; with nothing on the line it ends after this
// long, and the reader simply reads again.
constexpr DWORD kReadWaitMs = 1000;

bool ConfigureLine(HANDLE handle, int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) {
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // No flow control of any kind, and neither modem line raised: the device needs none.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // A line error must not stop all further reads and writes until ClearCommError.
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle, &dcb)) {
        return false;
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadWaitMs;
    // A write at 9600 baud takes about a millisecond a byte; one that takes far longer has lost
    // its device.
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = 2000;
    return ::SetCommTimeouts(handle, &timeouts) != 0;
}

// Opens path exclusively and sets the line up. Returns the handle, or INVALID_HANDLE_VALUE with
// nothing changed on the device and *error set to the reason.
std::atomic<SerialOpenHook> openHook{nullptr};

HANDLE OpenDevice(const std::wstring& path, int baud, DCB* savedLine, COMMTIMEOUTS* savedTimeouts,
                  int32_t* error) {
    if (SerialOpenHook hook = openHook.load(std::memory_order_acquire)) {
        if (const int32_t refusal = hook(Utf8FromWide(path).c_str())) {
            *error = refusal;
            return INVALID_HANDLE_VALUE;
        }
    }
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        // A port another program holds answers "access denied": Windows ports are never shared,
        // and there are no device permissions to set up as on Linux.
        *error = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION
                     ? kErrorBusy
                     : ErrorFromWin32(code);
        return INVALID_HANDLE_VALUE;
    }
    savedLine->DCBlength = sizeof *savedLine;
    if (::GetFileType(handle) != FILE_TYPE_CHAR || !::GetCommState(handle, savedLine) ||
        !::GetCommTimeouts(handle, savedTimeouts)) {
        *error = kErrorNotTerminal;
        ::CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    if (!ConfigureLine(handle, baud)) {
        *error = kErrorInvalid;
        ::SetCommState(handle, savedLine);
        ::SetCommTimeouts(handle, savedTimeouts);
        ::CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    // The DCB already keeps both lines low; these say so to drivers that hold a line from an
    // earlier user. A port without modem lines refuses them, which is fine.
    ::EscapeCommFunction(handle, CLRDTR);
    ::EscapeCommFunction(handle, CLRRTS);
    // Whatever a previous user left in the queues is not ours to read or send.
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    return handle;
}

void CloseDevice(HANDLE handle, const DCB* savedLine, const COMMTIMEOUTS* savedTimeouts) {
    DCB line = *savedLine;
    COMMTIMEOUTS timeouts = *savedTimeouts;
    ::SetCommState(handle, &line);
    ::SetCommTimeouts(handle, &timeouts);
    ::CloseHandle(handle);
}

// Waits for an overlapped transfer or the stop. Returns the bytes moved, kPortStopped (the
// transfer cancelled and finished), or kPortHungUp when the transfer failed.
int Complete(HANDLE handle, OVERLAPPED* overlapped, EventHandle stop) {
    HANDLE waits[2] = {EventObjectHandle(stop), overlapped->hEvent};
    const DWORD which = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    DWORD moved = 0;
    if (which == WAIT_OBJECT_0 + 1) {
        if (::GetOverlappedResult(handle, overlapped, &moved, FALSE)) {
            return static_cast<int>(moved);
        }
        // ERROR_OPERATION_ABORTED without our cancel, ERROR_BAD_COMMAND, a device that is
        // gone: the reads end here and the link looks for the device again.
        return kPortHungUp;
    }
    // The stop (or a wait that cannot work): cancel the transfer and wait until the system has
    // let go of the buffer and the OVERLAPPED, which live on the caller's stack.
    ::CancelIoEx(handle, overlapped);
    ::GetOverlappedResult(handle, overlapped, &moved, TRUE);
    return kPortStopped;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// n for "COM<n>" (1 to 255), else 0.
long ComNumber(const char* name) {
    if (name == nullptr ||
        (std::strncmp(name, "COM", 3) != 0 && std::strncmp(name, "com", 3) != 0)) {
        return 0;
    }
    char* end = nullptr;
    const long number = std::strtol(name + 3, &end, 10);
    if (end == name + 3 || *end != 0 || number < 1 || number > 255) {
        return 0;
    }
    return number;
}

}  // namespace

std::string SerialPortNameOf(const char* text) {
    if (text == nullptr || text[0] == 0) {
        return {};
    }
    const char* digits = text;
    if (ComNumber(text) != 0) {
        digits = text + 3;
    }
    char* end = nullptr;
    const long number = std::strtol(digits, &end, 10);
    if (digits[0] >= '0' && digits[0] <= '9' && *end == 0 && number >= 1 && number <= 255) {
        return "COM" + std::to_string(number);
    }
    // Any other name is the system's: "\\.\COM12", "\\.\CNCA0", or a device name as it is.
    return text;
}

// Port names are the system's own ("COM5", "\\.\COM12"): nothing to map, and a message names
// the port exactly as the user gave it.
std::string ResolveSerialPortName(const char* name) {
    return name == nullptr ? std::string() : std::string(name);
}

// Windows has no device permissions a user could be added to: a port is refused only because
// another program holds it, which the error code says.
SerialAccessDenial LastSerialAccessDenial() {
    return SerialAccessDenial{false, false, {}};
}

void SetSerialOpenHook(SerialOpenHook hook) {
    openHook.store(hook, std::memory_order_release);
}

SerialPortHandle OpenSerialPort(const char* name, int baud, int32_t* error) {
    int32_t reason = 0;
    SerialPortHandle port = nullptr;
    if (name == nullptr || name[0] == 0) {
        reason = kErrorNoEntry;
    } else {
        // COM1 to COM9 are also reachable without the device prefix, but COM10 and above are
        // not; the device namespace reaches every port the same way.
        const bool prefixed = StartsWith(name, "\\\\.\\") || StartsWith(name, "\\\\?\\");
        const std::wstring wide =
            WideFromAnsi(prefixed ? std::string(name) : "\\\\.\\" + std::string(name));
        DCB savedLine{};
        COMMTIMEOUTS savedTimeouts{};
        HANDLE handle = OpenDevice(wide, baud, &savedLine, &savedTimeouts, &reason);
        if (handle != INVALID_HANDLE_VALUE) {
            port = new SerialPortObject{wide, baud, {handle}, {0}, savedLine, savedTimeouts};
        }
    }
    if (error != nullptr) {
        *error = reason;
    }
    return port;
}

void CloseSerialPort(SerialPortHandle port) {
    if (port == nullptr) {
        return;
    }
    HANDLE handle = port->handle.load();
    if (handle != INVALID_HANDLE_VALUE) {
        CloseDevice(handle, &port->savedLine, &port->savedTimeouts);
    }
    delete port;
}

int ReadSerialPort(SerialPortHandle port, uint8_t* buffer, int capacity, EventHandle stop) {
    HANDLE handle = port->handle.load();
    if (handle == INVALID_HANDLE_VALUE) {
        return kPortHungUp;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return kPortHungUp;
    }
    int result = 0;
    while (result == 0) {
        const DWORD started = ::GetTickCount();
        ::ResetEvent(overlapped.hEvent);
        DWORD moved = 0;
        if (::ReadFile(handle, buffer, static_cast<DWORD>(capacity), &moved, &overlapped)) {
            result = static_cast<int>(moved);
        } else if (::GetLastError() == ERROR_IO_PENDING) {
            result = Complete(handle, &overlapped, stop);
        } else {
            result = kPortHungUp;
        }
        if (result == 0 && ::GetTickCount() - started < kReadWaitMs / 2) {
            // Nothing came, and sooner than the read's time limit: a driver that ends reads at
            // once on a dead line must not make the reader spin.
            if (::WaitForSingleObject(EventObjectHandle(stop), 50) == WAIT_OBJECT_0) {
                result = kPortStopped;
            } else {
                DWORD errors = 0;
                if (!::ClearCommError(handle, &errors, nullptr)) {
                    result = kPortHungUp;
                }
            }
        }
    }
    ::CloseHandle(overlapped.hEvent);
    return result;
}

bool ReopenSerialPort(SerialPortHandle port) {
    // The lost handle goes first: the port is opened without sharing, so our own handle to it
    // would refuse the returning device. The writer sees the invalid handle and drops its bytes,
    // as it does on a dead line.
    HANDLE lost = port->handle.exchange(INVALID_HANDLE_VALUE);
    if (lost != INVALID_HANDLE_VALUE) {
        ::CancelIoEx(lost, nullptr);
        while (port->writersInside.load() != 0) {
            ::Sleep(1);
        }
        ::CloseHandle(lost);
    }
    DCB savedLine{};
    COMMTIMEOUTS savedTimeouts{};
    int32_t reason = 0;
    HANDLE fresh = OpenDevice(port->path, port->baud, &savedLine, &savedTimeouts, &reason);
    if (fresh == INVALID_HANDLE_VALUE) {
        return false;
    }
    port->savedLine = savedLine;
    port->savedTimeouts = savedTimeouts;
    port->handle.store(fresh);
    return true;
}

bool WaitSerialOutputSent(SerialPortHandle port, int timeoutMs) {
    HANDLE handle = port->handle.load();
    for (int waited = 0;; waited += 2) {
        DWORD errors = 0;
        COMSTAT status{};
        if (handle == INVALID_HANDLE_VALUE || !::ClearCommError(handle, &errors, &status) ||
            status.cbOutQue == 0) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        ::Sleep(2);
    }
}

int WriteSerialPort(SerialPortHandle port, const uint8_t* bytes, int count, EventHandle stop) {
    // Counted inside before the handle is loaded: a reopen that has published the invalid handle
    // waits for this write to leave before it closes the old one.
    port->writersInside.fetch_add(1);
    HANDLE handle = port->handle.load();
    int result = kPortHungUp;
    OVERLAPPED overlapped{};
    overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE && overlapped.hEvent != nullptr) {
        int done = 0;
        while (done < count) {
            ::ResetEvent(overlapped.hEvent);
            DWORD moved = 0;
            int step;
            if (::WriteFile(handle, bytes + done, static_cast<DWORD>(count - done), &moved,
                            &overlapped)) {
                step = static_cast<int>(moved);
            } else if (::GetLastError() == ERROR_IO_PENDING) {
                step = Complete(handle, &overlapped, stop);
            } else {
                step = kPortHungUp;
            }
            if (step == kPortStopped) {
                ::PurgeComm(handle, PURGE_TXCLEAR | PURGE_TXABORT);
            }
            if (step <= 0) {
                // Nothing written within the write's time limit counts as a lost device too.
                result = step == 0 ? kPortHungUp : step;
                break;
            }
            done += step;
        }
        if (done == count) {
            result = count;
        }
    }
    if (overlapped.hEvent != nullptr) {
        ::CloseHandle(overlapped.hEvent);
    }
    port->writersInside.fetch_sub(1);
    return result;
}

}  // namespace platform
