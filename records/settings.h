// The user's four remembered choices (port, roll time, stop at alarm, language) and their file
// "KVXMon.cnf": a 280-byte little-endian image kept in the working directory.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kSettingsFileSize = 280;
inline constexpr int32_t kResultShortFile = 30003;

// The reader thread reads rollIndex and stopAtAlarm while the window thread may change them,
// so every field is an atomic of its natural width.
struct SettingsRecord {
    std::atomic<uint16_t> comPort{1};       // 1..8, or 11..18 while the chosen port is not open
    uint8_t reservedA[258] = {};            // kept as read, written back unchanged
    std::atomic<uint16_t> rollIndex{1};     // 0, 1, 2 for 10, 30, 60 s
    std::atomic<uint16_t> stopAtAlarm{0};   // 0 or 1
    std::atomic<uint16_t> languageBase{0};  // 0 English, 100 German, 200 Danish
    uint8_t reservedB[14] = {};
};

inline SettingsRecord settings;

// rollIndex as an index into the roll tables: the loader keeps it in range, but a reader on
// another thread must never index past a table whatever was stored, so out of range reads as 1.
inline int CurrentRollIndex() {
    const int roll = settings.rollIndex.load(std::memory_order_relaxed);
    return roll <= 2 ? roll : 1;
}

void SetSettingsDefaults(SettingsRecord& record);
// The file image, little-endian, and back. A value out of its field's range is replaced by that
// field's default, so no menu, text or trend table is ever indexed out of range.
void SettingsToBytes(const SettingsRecord& record, uint8_t out[kSettingsFileSize]);
void SettingsFromBytes(SettingsRecord& record, const uint8_t* bytes, int count);

// 0, kResultShortFile, or the system's error code. The path defaults to "KVXMon.cnf".
int32_t LoadSettings(SettingsRecord& record, const char* path = "KVXMon.cnf");
int32_t SaveSettings(const SettingsRecord& record, const char* path = "KVXMon.cnf");
