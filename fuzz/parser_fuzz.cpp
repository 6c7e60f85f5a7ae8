// Feeds arbitrary bytes to the receive parser. Besides the sanitizers' checks it traps when a
// live value leaves its range, the identity loses its terminator, a ring index leaves its ring,
// or the same bytes give a different result when delivered in the reader's 4-byte chunks.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "records/settings.h"
#include "records/window_state.h"
#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"

namespace {

struct Snapshot {
    int32_t numbers[5];
    char identity[kIdentitySize];
    int32_t identityPos;
    uint8_t linkTimeout;
    uint8_t alarmCountdown;
    int32_t valuesChanged;
    uint16_t words[kParameterCount];
    uint16_t sampleWrite;
    int32_t samples[kTrendSize];
};

void Reset(const uint8_t* data, size_t size) {
    ResetProtocolState();
    ResetTrendBuffer();
    for (auto& word : parameterSet.deviceWords) {
        word.store(0);
    }
    windowFlags.alarmCountdown.store(0);
    windowFlags.valuesChanged.store(0);
    // The first byte also picks the settings the parser reads, out-of-range roll index included.
    uint8_t choice = size > 0 ? data[0] : 0;
    settings.rollIndex.store(choice & 3);
    settings.stopAtAlarm.store((choice >> 2) & 1);
}

void Take(Snapshot& s) {
    std::memset(&s, 0, sizeof s);
    s.numbers[0] = liveValues.measurement.load();
    s.numbers[1] = liveValues.maxPeak.load();
    s.numbers[2] = liveValues.minPeak.load();
    s.numbers[3] = liveValues.dPdtPeak.load();
    s.numbers[4] = liveValues.dUdtEvent.load();
    for (int i = 0; i < kIdentitySize; ++i) {
        s.identity[i] = liveValues.identity[i].load();
    }
    s.identityPos = liveValues.identityPos.load();
    s.linkTimeout = liveValues.linkTimeout.load();
    s.alarmCountdown = windowFlags.alarmCountdown.load();
    s.valuesChanged = windowFlags.valuesChanged.load();
    for (int i = 0; i < kParameterCount; ++i) {
        s.words[i] = parameterSet.deviceWords[i].load();
    }
    s.sampleWrite = trendBuffer.sampleWrite.load();
    for (int i = 0; i < kTrendSize; ++i) {
        s.samples[i] = trendBuffer.sampleRing[i].load();
    }
}

bool InRange(int32_t v, int32_t last) {
    return v >= -1 && v <= last;
}

void Check(const Snapshot& s) {
    bool sound = InRange(s.numbers[0], 199) && InRange(s.numbers[1], 199) &&
                 InRange(s.numbers[2], 199) && InRange(s.numbers[3], 399) &&
                 (s.numbers[4] == 0 || s.numbers[4] == 1) && s.identity[kIdentitySize - 1] == 0 &&
                 s.identityPos >= 0 && s.identityPos <= kIdentitySize &&
                 (s.linkTimeout == 15 || s.linkTimeout == 20) && s.alarmCountdown <= 1 &&
                 s.sampleWrite < kTrendSize;
    for (int32_t sample : s.samples) {
        sound = sound && sample >= 0 && sample <= 398;
    }
    if (!sound) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reset(data, size);
    for (size_t pos = 0; pos < size; pos += 4) {
        ParseReceived(data + pos, static_cast<int>(size - pos < 4 ? size - pos : 4));
    }
    Snapshot chunked;
    Take(chunked);
    Check(chunked);

    Reset(data, size);
    ParseReceived(data, static_cast<int>(size));
    Snapshot whole;
    Take(whole);
    if (std::memcmp(&chunked, &whole, sizeof whole) != 0) {
        __builtin_trap();
    }
    return 0;
}
