// Files on Win32 handles. The exclusive hold is the share mode: an exclusive open shares the file
// with nobody, so while it is held every other open of the file fails (stricter than the flock
// on Linux, which only holds off other holders). Paths are in the ANSI code page.
#include "platform/file.h"

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/console.h"
#include "platform/win32/win32.h"

namespace platform {

struct FileObject {
    HANDLE handle;
    // A replacement only: the temporary file, the file it is to replace, and the handle that
    // holds the existing target (INVALID_HANDLE_VALUE when there was none).
    std::wstring temporary;
    std::wstring target;
    HANDLE held = INVALID_HANDLE_VALUE;
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
    return FileOpenResult{new FileObject{handle, {}, {}, INVALID_HANDLE_VALUE}, 0, existed};
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
    const int32_t error = file->handle == INVALID_HANDLE_VALUE || ::CloseHandle(file->handle)
                              ? 0
                              : ErrorFromWin32(::GetLastError());
    // A replacement closed without a commit is abandoned: the target stays as it was.
    if (!file->temporary.empty()) {
        ::DeleteFileW(file->temporary.c_str());
    }
    if (file->held != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file->held);
    }
    delete file;
    return error;
}

namespace {

// The file a path names: a symbolic link (or a junction on the way) is followed to the file it
// points at, so that the link survives the save; MoveFileExW would replace the link itself.
std::wstring ReplacementTarget(HANDLE held, const std::wstring& given) {
    if (held == INVALID_HANDLE_VALUE) {
        return given;
    }
    std::wstring final(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(held, final.data(), static_cast<DWORD>(final.size()), 0);
        if (length == 0) {
            return given;
        }
        if (length < final.size()) {
            final.resize(length);
            return final;
        }
        final.assign(length, L'\0');
    }
    return given;
}

// A name beside the target that no other file has, recognisably the target's own. The
// temporary file takes the target's attributes (hidden, system, ...), so a replaced file looks
// as it did; a new one gets what any new file in that folder gets, its ACL included.
HANDLE CreateTemporary(const std::wstring& target, DWORD attributes, std::wstring* name) {
    const size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    unsigned mix = ::GetTickCount() ^ (::GetCurrentProcessId() << 12);
    for (int attempt = 0; attempt < 100; ++attempt) {
        mix = mix * 2654435761u + counter.fetch_add(1, std::memory_order_relaxed);
        std::wstring suffix(8, L'0');
        for (int digit = 0; digit < 8; ++digit) {
            suffix[7 - digit] = L"0123456789abcdef"[(mix >> (4 * digit)) & 15];
        }
        *name = folder + L"." + base + L"." + suffix + L".tmp";
        HANDLE handle = ::CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      attributes, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return handle;
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            ::SetLastError(code);
            break;
        }
    }
    // Nothing was made: the name must not lead to removing a file that is not ours.
    name->clear();
    return INVALID_HANDLE_VALUE;
}

FileOpenResult FailReplace(FileObject* file, int32_t error) {
    CloseFile(file);
    return FileOpenResult{nullptr, error, false};
}

}  // namespace

FileOpenResult BeginReplaceFile(const char* path) {
    if (path == nullptr || path[0] == 0) {
        return Fail(INVALID_HANDLE_VALUE, kErrorNoEntry);
    }
    auto* file = new FileObject{INVALID_HANDLE_VALUE, {}, WideFromAnsi(path), INVALID_HANDLE_VALUE};
    // A folder or a device is never replaced by a plain file; asked first, so that the open
    // below never opens a device.
    const DWORD attributes = ::GetFileAttributesW(file->target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) {
            return FailReplace(file, ErrorFromWin32(code));
        }
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FailReplace(file, kErrorIsDirectory);
    } else {
        // The existing file must be one this user may write, as an in-place save would need
        // (a read-only file answers "access denied"), and it is held against every other
        // writer until the commit, as an exclusive OpenFile holds it. Readers may still open it:
        // a save that keeps what follows its own bytes reads the old file into the replacement.
        file->held = ::CreateFileW(file->target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file->held == INVALID_HANDLE_VALUE) {
            return FailReplace(file, ErrorFromWin32(::GetLastError()));
        }
        if (::GetFileType(file->held) != FILE_TYPE_DISK) {
            return FailReplace(file, kErrorInvalid);
        }
        file->target = ReplacementTarget(file->held, file->target);
    }
    const bool existed = file->held != INVALID_HANDLE_VALUE;
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD temporaryAttributes =
        existed && (attributes & kept) != 0 ? attributes & kept : FILE_ATTRIBUTE_NORMAL;
    file->handle = CreateTemporary(file->target, temporaryAttributes, &file->temporary);
    if (file->handle == INVALID_HANDLE_VALUE) {
        return FailReplace(file, ErrorFromWin32(::GetLastError()));
    }
    return FileOpenResult{file, 0, existed};
}

int32_t CommitReplaceFile(FileHandle file) {
    if (file == nullptr) {
        return EBADF;
    }
    int32_t error = ::FlushFileBuffers(file->handle) ? 0 : ErrorFromWin32(::GetLastError());
    if (!::CloseHandle(file->handle) && error == 0) {
        error = ErrorFromWin32(::GetLastError());
    }
    file->handle = INVALID_HANDLE_VALUE;
    if (error == 0) {
        // The hold ends just before the rename: a file that is open, even one shared for
        // deletion, cannot be renamed over. MoveFileExW rather than ReplaceFileW: it either puts
        // the new file in place or leaves the old one untouched, where ReplaceFileW has
        // half-done outcomes (the target moved to a backup name, the replacement not in place)
        // and needs the target to exist. The target's attributes were given to the temporary
        // file at its creation; the write-through returns only once the rename is on the disc.
        if (file->held != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file->held);
            file->held = INVALID_HANDLE_VALUE;
        }
        if (::MoveFileExW(file->temporary.c_str(), file->target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            file->temporary.clear();  // it is the target now
        } else {
            error = ErrorFromWin32(::GetLastError());
        }
    }
    CloseFile(file);
    return error;
}

void AbandonReplaceFile(FileHandle file) {
    CloseFile(file);
}

}  // namespace platform
