#include "records/settings.h"

#include <cstring>

#include "platform/console.h"
#include "platform/file.h"

namespace {

constexpr int kComPortOffset = 0;
constexpr int kReservedAOffset = 2;
constexpr int kRollIndexOffset = 260;
constexpr int kStopAtAlarmOffset = 262;
constexpr int kLanguageBaseOffset = 264;
constexpr int kReservedBOffset = 266;

constexpr uint16_t kDefaultComPort = 1;
constexpr uint16_t kDefaultRollIndex = 1;
constexpr uint16_t kDefaultStopAtAlarm = 0;
constexpr uint16_t kDefaultLanguageBase = 0;

uint16_t GetWord(const uint8_t* bytes, int offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

void PutWord(uint8_t* bytes, int offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// The menus, the text table and the trend tables are indexed by these fields, so a value from a
// damaged or foreign file must never reach them.
bool ComPortValid(uint16_t v) {
    return (v >= 1 && v <= 8) || (v >= 11 && v <= 18);
}
bool LanguageBaseValid(uint16_t v) {
    return v == 0 || v == 100 || v == 200;
}

// The bytes of the file at path from offset 280 on, appended to the replacement: 0 or the
// system error code.
int32_t CopyTail(const char* path, platform::FileHandle replacement) {
    // The replacement holds the file exclusively; this second open only reads it.
    platform::FileOpenResult old = platform::OpenFile(path, platform::FileAccess::Read,
                                                      platform::FileCreation::OpenExisting, false);
    if (old.file == nullptr) {
        return old.error;
    }
    uint8_t chunk[4096];
    int32_t error = 0;
    int got = platform::ReadFile(old.file, chunk, kSettingsFileSize, &error);
    if (error == 0 && got == kSettingsFileSize) {
        while ((got = platform::ReadFile(old.file, chunk, sizeof chunk, &error)) > 0 &&
               error == 0) {
            if (platform::WriteFile(replacement, chunk, got, &error) != got || error != 0) {
                error = error != 0 ? error : kResultShortFile;
                break;
            }
        }
    }
    platform::CloseFile(old.file);
    return error;
}

}  // namespace

void SetSettingsDefaults(SettingsRecord& record) {
    record.comPort.store(kDefaultComPort, std::memory_order_relaxed);
    std::memset(record.reservedA, 0, sizeof record.reservedA);
    record.rollIndex.store(kDefaultRollIndex, std::memory_order_relaxed);
    record.stopAtAlarm.store(kDefaultStopAtAlarm, std::memory_order_relaxed);
    record.languageBase.store(kDefaultLanguageBase, std::memory_order_relaxed);
    std::memset(record.reservedB, 0, sizeof record.reservedB);
}

void SettingsToBytes(const SettingsRecord& record, uint8_t out[kSettingsFileSize]) {
    PutWord(out, kComPortOffset, record.comPort.load(std::memory_order_relaxed));
    std::memcpy(out + kReservedAOffset, record.reservedA, sizeof record.reservedA);
    PutWord(out, kRollIndexOffset, record.rollIndex.load(std::memory_order_relaxed));
    PutWord(out, kStopAtAlarmOffset, record.stopAtAlarm.load(std::memory_order_relaxed));
    PutWord(out, kLanguageBaseOffset, record.languageBase.load(std::memory_order_relaxed));
    std::memcpy(out + kReservedBOffset, record.reservedB, sizeof record.reservedB);
}

// The first count bytes replace the start of the record's image; the rest of the record stays as
// it was, so a short file leaves the later fields at the values they had.
void SettingsFromBytes(SettingsRecord& record, const uint8_t* bytes, int count) {
    uint8_t image[kSettingsFileSize];
    SettingsToBytes(record, image);
    if (count > kSettingsFileSize) {
        count = kSettingsFileSize;
    }
    if (count > 0) {
        std::memcpy(image, bytes, static_cast<size_t>(count));
    }

    const uint16_t comPort = GetWord(image, kComPortOffset);
    const uint16_t rollIndex = GetWord(image, kRollIndexOffset);
    const uint16_t stopAtAlarm = GetWord(image, kStopAtAlarmOffset);
    const uint16_t languageBase = GetWord(image, kLanguageBaseOffset);
    record.comPort.store(ComPortValid(comPort) ? comPort : kDefaultComPort,
                         std::memory_order_relaxed);
    std::memcpy(record.reservedA, image + kReservedAOffset, sizeof record.reservedA);
    record.rollIndex.store(rollIndex <= 2 ? rollIndex : kDefaultRollIndex,
                           std::memory_order_relaxed);
    record.stopAtAlarm.store(stopAtAlarm <= 1 ? stopAtAlarm : kDefaultStopAtAlarm,
                             std::memory_order_relaxed);
    record.languageBase.store(LanguageBaseValid(languageBase) ? languageBase : kDefaultLanguageBase,
                              std::memory_order_relaxed);
    std::memcpy(record.reservedB, image + kReservedBOffset, sizeof record.reservedB);
}

int32_t LoadSettings(SettingsRecord& record, const char* path) {
    platform::FileOpenResult opened = platform::OpenFile(
        path, platform::FileAccess::ReadWrite, platform::FileCreation::OpenExisting, true);
    // A missing file is made with the defaults the record holds, whole or not at all: a disc that
    // fills up leaves no short file that the next start would report.
    if (opened.file == nullptr) {
        return opened.error == platform::kErrorNoEntry ? SaveSettings(record, path) : opened.error;
    }
    // Only the count matters: whatever arrived is taken, even if the read then failed.
    uint8_t image[kSettingsFileSize];
    const int got = platform::ReadFile(opened.file, image, kSettingsFileSize);
    SettingsFromBytes(record, image, got);
    platform::CloseFile(opened.file);
    return got < kSettingsFileSize ? kResultShortFile : 0;
}

// The new image goes to a temporary file, followed by whatever an existing longer file holds
// after its first 280 bytes, and replaces the file only when all of it was stored: a full disc
// or a failing write leaves the old file exactly as it was.
int32_t SaveSettings(const SettingsRecord& record, const char* path) {
    platform::FileOpenResult replacement = platform::BeginReplaceFile(path);
    if (replacement.file == nullptr) {
        return replacement.error;
    }
    uint8_t image[kSettingsFileSize];
    SettingsToBytes(record, image);
    int32_t error = 0;
    const int written = platform::WriteFile(replacement.file, image, kSettingsFileSize, &error);
    int32_t result = error != 0 ? error : (written < kSettingsFileSize ? kResultShortFile : 0);
    if (result == 0 && replacement.existed) {
        result = CopyTail(path, replacement.file);
    }
    if (result != 0) {
        platform::AbandonReplaceFile(replacement.file);
        return result;
    }
    return platform::CommitReplaceFile(replacement.file);
}
