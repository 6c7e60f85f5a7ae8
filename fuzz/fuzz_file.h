// The fuzz targets that load files: each input is written to a file of this process's own and
// the loader opens it by name, as the program does.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Memory-backed where there is such a folder: the loaders open, lock and close a file per run.
inline std::string FuzzFolder() {
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
}

inline const std::string& FuzzFilePath(const char* stem) {
    static const std::string path =
        FuzzFolder() + std::string(stem) + "-" + std::to_string(getpid()) + ".fuzz";
    return path;
}

// Replaces the file's contents with data; false when the file cannot be written.
inline bool WriteFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    return done == size;
}
