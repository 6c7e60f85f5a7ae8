// LoadSettings on arbitrary file contents. Traps when a loaded field lies outside its range (a
// menu, text or trend table would be indexed with it), when the result does not match the file's
// length, or when saving and loading the loaded record again changes it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_file.h"
#include "records/settings.h"

namespace {

bool Sound(const SettingsRecord& record) {
    const int port = record.comPort.load();
    const int language = record.languageBase.load();
    return ((port >= 1 && port <= 8) || (port >= 11 && port <= 18)) &&
           record.rollIndex.load() <= 2 && record.stopAtAlarm.load() <= 1 &&
           (language == 0 || language == 100 || language == 200);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = FuzzFilePath("kvx-settings");
    if (!WriteFuzzFile(path, data, size)) {
        return 0;
    }
    SettingsRecord record;
    SetSettingsDefaults(record);
    const int32_t result = LoadSettings(record, path.c_str());
    const int32_t expected = size >= kSettingsFileSize ? 0 : kResultShortFile;
    if (result != expected || !Sound(record)) {
        __builtin_trap();
    }
    // A record once loaded is a fixed point of saving and loading.
    if (SaveSettings(record, path.c_str()) != 0) {
        __builtin_trap();
    }
    SettingsRecord again;
    SetSettingsDefaults(again);
    if (LoadSettings(again, path.c_str()) != 0) {
        __builtin_trap();
    }
    uint8_t first[kSettingsFileSize];
    uint8_t second[kSettingsFileSize];
    SettingsToBytes(record, first);
    SettingsToBytes(again, second);
    if (std::memcmp(first, second, kSettingsFileSize) != 0) {
        __builtin_trap();
    }
    return 0;
}
