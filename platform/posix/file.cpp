// Files on POSIX descriptors; the exclusive hold is an flock, which every KVXMon takes.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

struct FileObject {
    int fd;
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
    return FileOpenResult{new FileObject{fd}, 0, existed};
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
    const int32_t error = close(file->fd) == 0 ? 0 : errno;  // also releases the hold
    delete file;
    return error;
}

}  // namespace platform
