#include "params/parameter_file.h"

#include "link/protocol.h"
#include "params/parameter_check.h"
#include "params/parameter_set.h"
#include "platform/file.h"
#include "records/language.h"
#include "records/window_state.h"

namespace {

constexpr int kIdentityOffset = 2 * kParameterCount;
static_assert(kIdentityOffset + kIdentitySize == kParameterFileSize);

constexpr int kSlotNotRead = 87;
constexpr int kSlotNotSaved = 88;
constexpr int kCaptionProgramTitle = 34;

bool IdentityTerminated(const uint8_t* identity) {
    for (int i = 0; i < kIdentitySize; ++i) {
        if (identity[i] == 0) {
            return true;
        }
    }
    return false;
}

uint16_t RecordWord(const uint8_t* record, int index) {
    return static_cast<uint16_t>(record[2 * index] | (record[2 * index + 1] << 8));
}

}  // namespace

// The identity area goes out as the text area holds it, bytes after the terminator included. Only
// if the device filled all 44 bytes without a terminator is the last one written as 0, so that
// every file this program saves is one it can load again.
void BuildParameterRecord(uint8_t out[kParameterFileSize]) {
    for (int i = 0; i < kParameterCount; ++i) {
        const uint16_t word = parameterSet.deviceWords[i].load(std::memory_order_relaxed);
        out[2 * i] = static_cast<uint8_t>(word & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(word >> 8);
    }
    for (int i = 0; i < kIdentitySize; ++i) {
        out[kIdentityOffset + i] =
            static_cast<uint8_t>(liveValues.identity[i].load(std::memory_order_relaxed));
    }
    if (!IdentityTerminated(out + kIdentityOffset)) {
        out[kParameterFileSize - 1] = 0;
    }
}

// The identity bytes are taken as they are, except that the last one is always a terminator: the
// panel and the next save read the text as ending within its 44 bytes.
void ApplyParameterRecord(const uint8_t in[kParameterFileSize]) {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i].store(RecordWord(in, i), std::memory_order_relaxed);
    }
    for (int i = 0; i < kIdentitySize - 1; ++i) {
        liveValues.identity[i].store(static_cast<char>(in[kIdentityOffset + i]),
                                     std::memory_order_relaxed);
    }
    liveValues.identity[kIdentitySize - 1].store(0, std::memory_order_relaxed);
}

// The record replaces the file only when all 88 bytes were stored; a short write or a full disc
// shows the message and leaves an earlier file as it was, and no new one.
int32_t WriteParameterFile(const char* path) {
    platform::FileOpenResult replacement = platform::BeginReplaceFile(path);
    if (replacement.file == nullptr) {
        return replacement.error;
    }
    uint8_t record[kParameterFileSize];
    BuildParameterRecord(record);
    int32_t error = 0;
    if (platform::WriteFile(replacement.file, record, kParameterFileSize, &error) <
            kParameterFileSize ||
        error != 0) {
        platform::AbandonReplaceFile(replacement.file);
        ShowSlotMessage(mainWindow.load(), kSlotNotSaved, kCaptionProgramTitle, 0);
    } else if (platform::CommitReplaceFile(replacement.file) != 0) {
        ShowSlotMessage(mainWindow.load(), kSlotNotSaved, kCaptionProgramTitle, 0);
    }
    return 0;
}

int32_t ReadParameterFile(const char* path) {
    // A missing file is created empty: the open dialog has already asked the user to create it,
    // and the empty file then reports as too short below.
    platform::FileOpenResult opened = platform::OpenFile(path, platform::FileAccess::Read,
                                                         platform::FileCreation::OpenAlways, true);
    if (opened.file == nullptr) {
        return opened.error;
    }
    uint8_t record[kParameterFileSize];
    const int got = platform::ReadFile(opened.file, record, kParameterFileSize);
    platform::CloseFile(opened.file);
    if (got < kParameterFileSize) {
        ShowSlotMessage(mainWindow.load(), kSlotNotRead, kCaptionProgramTitle, 0);
        return kResultNothingMore;
    }
    // A word at or beyond its band's span would reach the device as another word and change a
    // setting nobody chose. The device copy only ever holds values the parser took from their own
    // band (or a file that passed this test), so every file this program saves passes.
    if (CheckParameterRecord(record) != 0) {
        return kResultNotParameterFile;
    }
    ApplyParameterRecord(record);
    return 0;
}
