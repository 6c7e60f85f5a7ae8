#include "records/settings.h"

#include <cstring>

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
    platform::FileOpenResult opened = platform::OpenFile(path, platform::FileAccess::ReadWrite,
                                                         platform::FileCreation::OpenAlways, true);
    if (opened.file == nullptr) {
        return opened.error;
    }
    int32_t result = 0;
    if (opened.existed) {
        // Only the count matters: whatever arrived is taken, even if the read then failed.
        uint8_t image[kSettingsFileSize];
        const int got = platform::ReadFile(opened.file, image, kSettingsFileSize);
        SettingsFromBytes(record, image, got);
        if (got < kSettingsFileSize) {
            result = kResultShortFile;
        }
    } else {
        uint8_t image[kSettingsFileSize];
        SettingsToBytes(record, image);
        if (platform::WriteFile(opened.file, image, kSettingsFileSize) < kSettingsFileSize) {
            result = kResultShortFile;
        }
    }
    platform::CloseFile(opened.file);
    return result;
}

// Rewrites the first 280 bytes in place; anything a longer file holds after them stays.
int32_t SaveSettings(const SettingsRecord& record, const char* path) {
    platform::FileOpenResult opened = platform::OpenFile(path, platform::FileAccess::Write,
                                                         platform::FileCreation::OpenAlways, true);
    if (opened.file == nullptr) {
        return opened.error;
    }
    uint8_t image[kSettingsFileSize];
    SettingsToBytes(record, image);
    int32_t error = 0;
    const int written = platform::WriteFile(opened.file, image, kSettingsFileSize, &error);
    int32_t result = 0;
    if (error != 0) {
        result = error;
    } else if (written < kSettingsFileSize) {
        result = kResultShortFile;
    }
    platform::CloseFile(opened.file);
    return result;
}
