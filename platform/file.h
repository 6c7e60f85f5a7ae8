// Plain files for the system code, which may not touch the operating system itself: opening with
// a creation rule, an exclusive hold against every other opener (another KVXMon included), whole
// reads and writes that report how many bytes moved, and the system's error code on failure.
#pragma once

#include <cstdint>

namespace platform {

struct FileObject;
using FileHandle = FileObject*;

enum class FileAccess { Read, Write, ReadWrite };

enum class FileCreation {
    OpenAlways,    // open the file, creating it empty when it is missing
    CreateAlways,  // create the file, or empty an existing one
    OpenExisting,  // open the file only if it is there
};

struct FileOpenResult {
    FileHandle file;  // nullptr on failure
    int32_t error;    // 0, or the system error code (errno) of the failure
    bool existed;     // the file was there before this open
};

// exclusive: the open fails with EWOULDBLOCK while another open description holds the file
// exclusively, and holds it so until CloseFile. An existing file is never emptied before the hold
// is taken. Directories are refused with EISDIR, anything else that is not a regular file (a FIFO,
// a device, a socket) with EINVAL; the open itself never blocks. The descriptor is not inherited by
// children.
FileOpenResult OpenFile(const char* path, FileAccess access, FileCreation creation, bool exclusive);

// Both move up to count bytes from the current position, continuing after partial transfers,
// and return the number of bytes moved. *error (when given) becomes 0 or the system error code
// that stopped the transfer; reaching the end of the file is not an error.
int ReadFile(FileHandle file, void* buffer, int count, int32_t* error = nullptr);
int WriteFile(FileHandle file, const void* buffer, int count, int32_t* error = nullptr);

// 0, or the system error code when the last written data could not be stored. A replacement
// (below) closed here is abandoned.
int32_t CloseFile(FileHandle file);

// Replacing a file whole or not at all, for every file the program writes: the new bytes go to a
// temporary file in the target's folder, and only a commit after every write succeeded stores
// them (flushed to the disc) and renames the temporary file over the target. Until then, and
// after any failure, the target keeps exactly its old bytes and no temporary file is left.
// An existing target is held exclusively (EWOULDBLOCK while another holds it) and must be a
// writable regular file; a symbolic link is followed, so the file it names is replaced. The new
// file keeps an existing target's mode, or gets the mode a new file gets (the umask's).
// existed tells whether the target was there. Write with WriteFile.
FileOpenResult BeginReplaceFile(const char* path);
// Stores and renames: 0, or the system error code, after which the temporary file is gone and
// the target is as it was. Releases the handle either way.
int32_t CommitReplaceFile(FileHandle file);
// Removes the temporary file and releases the handle; the target stays as it was.
void AbandonReplaceFile(FileHandle file);

}  // namespace platform
