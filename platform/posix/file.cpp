// Files on POSIX descriptors; the exclusive hold is an flock, which every KVXMon takes.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {

struct FileObject {
    int fd;
    // A replacement only: the temporary file, the file it is to replace, and the descriptor that
    // holds the existing target (-1 when there was none).
    std::string temporary;
    std::string target;
    int held = -1;
};

namespace {

int AccessFlags(FileAccess access) {
    switch (access) {
        case FileAccess::Read:
            return O_RDONLY;
        case FileAccess::Write:
            return O_WRONLY;
        case FileAccess::ReadWrite:
            break;
    }
    return O_RDWR;
}

int OpenRetrying(const char* path, int flags) {
    int fd;
    do {
        fd = open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

FileOpenResult Fail(int fd, int error) {
    if (fd >= 0) {
        close(fd);
    }
    return FileOpenResult{nullptr, error, false};
}

}  // namespace

FileOpenResult OpenFile(const char* path, FileAccess access, FileCreation creation,
                        bool exclusive) {
    if (path == nullptr || path[0] == 0) {
        return Fail(-1, ENOENT);
    }
    // O_NONBLOCK keeps the open itself from hanging on a FIFO; it is cleared again below.
    const int base = AccessFlags(access) | O_CLOEXEC | O_NONBLOCK;
    int fd = -1;
    bool existed = true;
    if (creation == FileCreation::OpenExisting) {
        fd = OpenRetrying(path, base);
    } else {
        // Creating with O_EXCL first tells a new file from an existing one without a race; if the
        // file vanishes between the two attempts, try again.
        for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
            fd = OpenRetrying(path, base | O_CREAT | O_EXCL);
            if (fd >= 0) {
                existed = false;
                break;
            }
            if (errno != EEXIST) {
                return Fail(-1, errno);
            }
            fd = OpenRetrying(path, base);
            if (fd < 0 && errno != ENOENT) {
                return Fail(-1, errno);
            }
        }
    }
    if (fd < 0) {
        return Fail(-1, errno);
    }

    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return Fail(fd, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return Fail(fd, EISDIR);
    }
    // A FIFO, a device or a socket may block every read or write for good, or have no end at
    // all; only plain files are read and written here.
    if (!S_ISREG(info.st_mode)) {
        return Fail(fd, EINVAL);
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Fail(fd, errno);
    }
    if (exclusive) {
        int rc;
        do {
            rc = flock(fd, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            return Fail(fd, errno);
        }
    }
    // Emptying waits for the hold, so a file another program holds is left as it is.
    if (creation == FileCreation::CreateAlways && existed && info.st_size != 0 &&
        ftruncate(fd, 0) != 0) {
        return Fail(fd, errno);
    }
    return FileOpenResult{new FileObject{fd, {}, {}, -1}, 0, existed};
}

namespace {

// Moves up to count bytes with read or write, carrying on after partial transfers and
// interruptions. A write that moves nothing is a full disk; a read that moves nothing is the end.
template <typename Byte, typename Op>
int Transfer(FileHandle file, Byte* bytes, int count, int32_t* error, Op op, int32_t stalled) {
    int32_t failure = 0;
    int done = 0;
    if (file == nullptr) {
        failure = EBADF;
    }
    while (failure == 0 && done < count) {
        ssize_t n = op(file->fd, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            failure = errno;
        } else if (n == 0) {
            failure = stalled;
            break;
        } else {
            done += static_cast<int>(n);
        }
    }
    if (error != nullptr) {
        *error = failure;
    }
    return done;
}

}  // namespace

int ReadFile(FileHandle file, void* buffer, int count, int32_t* error) {
    return Transfer(file, static_cast<char*>(buffer), count, error, ::read, 0);
}

int WriteFile(FileHandle file, const void* buffer, int count, int32_t* error) {
    return Transfer(file, static_cast<const char*>(buffer), count, error, ::write, ENOSPC);
}

int32_t CloseFile(FileHandle file) {
    if (file == nullptr) {
        return 0;
    }
    const int32_t error = file->fd < 0 || close(file->fd) == 0 ? 0 : errno;  // releases the hold
    // A replacement closed without a commit is abandoned: the target stays as it was.
    if (!file->temporary.empty()) {
        unlink(file->temporary.c_str());
    }
    if (file->held >= 0) {
        close(file->held);
    }
    delete file;
    return error;
}

}  // namespace platform

namespace platform {

namespace {

// The file a path names: a symbolic link is followed to the file it points at, so that the link
// survives the save. A link to nowhere is replaced itself.
std::string ReplacementTarget(const char* path) {
    struct stat link {};
    if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(path, nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
    }
    return path;
}

// A name beside the target that no other file has: hidden, and recognisably the target's own.
int CreateTemporary(const std::string& target, std::string* name) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned mix = static_cast<unsigned>(now.tv_nsec) ^ (static_cast<unsigned>(getpid()) << 12);
    for (int attempt = 0; attempt < 100; ++attempt) {
        mix = mix * 2654435761u + counter.fetch_add(1, std::memory_order_relaxed);
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", mix);
        *name = folder + "." + base + "." + suffix + ".tmp";
        // 0666 and the umask: a new file gets the same mode a plain creation would give it.
        const int fd = OpenRetrying(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    // Nothing was made: the name must not lead to removing a file that is not ours.
    const int error = errno;
    name->clear();
    errno = error;
    return -1;
}

// The rename itself is stored with the folder's entry; without this a crash right after the save
// could bring back the old file. A folder that cannot be synced (some file systems) is no failure.
void SyncFolder(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

FileOpenResult BeginReplaceFile(const char* path) {
    if (path == nullptr || path[0] == 0) {
        return Fail(-1, ENOENT);
    }
    auto* file = new FileObject{-1, {}, ReplacementTarget(path), -1};
    bool existed = false;
    struct stat info {};
    // A folder, a FIFO or a device is never replaced by a plain file; asked first, so that the
    // open below cannot block or fail for another reason.
    if (stat(file->target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        CloseFile(file);
        return Fail(-1, error);
    }
    // The existing file must be one this user may write, as an in-place save would need; opening
    // it for writing (never emptying it) checks that and gives the descriptor for the hold.
    file->held = OpenRetrying(file->target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (file->held < 0 && errno != ENOENT) {
        const int error = errno;
        CloseFile(file);
        return Fail(-1, error);
    }
    if (file->held >= 0) {
        existed = true;
        int error = 0;
        if (fstat(file->held, &info) != 0) {
            error = errno;
        } else if (!S_ISREG(info.st_mode)) {
            error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        } else {
            int rc;
            do {
                rc = flock(file->held, LOCK_EX | LOCK_NB);
            } while (rc != 0 && errno == EINTR);
            error = rc == 0 ? 0 : errno;
        }
        if (error != 0) {
            CloseFile(file);
            return Fail(-1, error);
        }
    }
    file->fd = CreateTemporary(file->target, &file->temporary);
    if (file->fd < 0) {
        const int error = errno;
        CloseFile(file);
        return Fail(-1, error);
    }
    // An overwritten file keeps its mode, and its owner and group where this user may set them.
    if (existed) {
        if (fchown(file->fd, info.st_uid, info.st_gid) != 0) {
            (void)!fchown(file->fd, static_cast<uid_t>(-1), info.st_gid);
        }
        if (fchmod(file->fd, info.st_mode & 07777) != 0) {
            const int error = errno;
            CloseFile(file);
            return Fail(-1, error);
        }
    }
    return FileOpenResult{file, 0, existed};
}

int32_t CommitReplaceFile(FileHandle file) {
    if (file == nullptr) {
        return EBADF;
    }
    int32_t error = fsync(file->fd) == 0 ? 0 : errno;
    const int fd = file->fd;
    file->fd = -1;
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(file->temporary.c_str(), file->target.c_str()) != 0) {
        error = errno;
    }
    if (error == 0) {
        file->temporary.clear();  // it is the target now
        SyncFolder(file->target);
    }
    CloseFile(file);
    return error;
}

void AbandonReplaceFile(FileHandle file) {
    CloseFile(file);
}

}  // namespace platform
