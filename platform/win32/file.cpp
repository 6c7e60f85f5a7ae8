// Files on Win32 handles. The exclusive hold is the share mode: an exclusive open shares the file
// with nobody, so while it is held every other open of the file fails (stricter than the flock
// on Linux, which only holds off other holders). Paths are in the ANSI code page.
#include "platform/file.h"

#include <cerrno>

#include "platform/console.h"
#include "platform/win32/win32.h"

namespace platform {

struct FileObject {
    HANDLE handle;
};

namespace {

FileOpenResult Fail(HANDLE handle, int32_t error) {
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    return FileOpenResult{nullptr, error, false};
}

DWORD DesiredAccess(FileAccess access) {
    switch (access) {
        case FileAccess::Read:
            return GENERIC_READ;
        case FileAccess::Write:
            return GENERIC_WRITE;
        case FileAccess::ReadWrite:
            break;
    }
    return GENERIC_READ | GENERIC_WRITE;
}

}  // namespace

FileOpenResult OpenFile(const char* path, FileAccess access, FileCreation creation,
                        bool exclusive) {
    if (path == nullptr || path[0] == 0) {
        return Fail(INVALID_HANDLE_VALUE, kErrorNoEntry);
    }
    const std::wstring wide = WideFromAnsi(path);
    // A name of a device ("COM1", "CON", "\\.\pipe\x") would be opened by CreateFileW like a
    // file, and a pipe or a port can block a read for good. Only what the file system calls a
    // file or a folder gets as far as the open.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(INVALID_HANDLE_VALUE, EISDIR);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES && creation == FileCreation::OpenExisting) {
        return Fail(INVALID_HANDLE_VALUE, ErrorFromWin32(::GetLastError()));
    }
    const DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD disposition = creation == FileCreation::OpenExisting ? OPEN_EXISTING : OPEN_ALWAYS;
    HANDLE handle = ::CreateFileW(wide.c_str(), DesiredAccess(access), share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail(handle, ErrorFromWin32(::GetLastError()));
    }
    const bool existed =
        creation == FileCreation::OpenExisting || ::GetLastError() == ERROR_ALREADY_EXISTS;
    // Anything that is not a file on a disk (a device, a pipe, a console) is refused like a
    // failed open.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return Fail(handle, EINVAL);
    }
    // Emptying comes after the open, which already holds the file when exclusive, so a file
    // another program holds is never emptied.
    if (creation == FileCreation::CreateAlways && existed && !::SetEndOfFile(handle)) {
        return Fail(handle, ErrorFromWin32(::GetLastError()));
    }
    return FileOpenResult{new FileObject{handle}, 0, existed};
}

int ReadFile(FileHandle file, void* buffer, int count, int32_t* error) {
    int32_t failure = file == nullptr ? EBADF : 0;
    int done = 0;
    while (failure == 0 && done < count) {
        DWORD moved = 0;
        if (!::ReadFile(file->handle, static_cast<char*>(buffer) + done,
                        static_cast<DWORD>(count - done), &moved, nullptr)) {
            failure = ErrorFromWin32(::GetLastError());
        } else if (moved == 0) {
            break;  // the end of the file
        }
        done += static_cast<int>(moved);
    }
    if (error != nullptr) {
        *error = failure;
    }
    return done;
}

int WriteFile(FileHandle file, const void* buffer, int count, int32_t* error) {
    int32_t failure = file == nullptr ? EBADF : 0;
    int done = 0;
    while (failure == 0 && done < count) {
        DWORD moved = 0;
        if (!::WriteFile(file->handle, static_cast<const char*>(buffer) + done,
                         static_cast<DWORD>(count - done), &moved, nullptr)) {
            failure = ErrorFromWin32(::GetLastError());
        } else if (moved == 0) {
            failure = ENOSPC;
        }
        done += static_cast<int>(moved);
    }
    if (error != nullptr) {
        *error = failure;
    }
    return done;
}

int32_t CloseFile(FileHandle file) {
    if (file == nullptr) {
        return 0;
    }
    // Data the system still caches is written by it later; a failure to store it shows here only
    // where the file system reports it at close.
    const int32_t error = ::CloseHandle(file->handle) ? 0 : ErrorFromWin32(::GetLastError());
    delete file;
    return error;
}

}  // namespace platform
