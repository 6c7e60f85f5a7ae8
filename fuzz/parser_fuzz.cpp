// Feeds arbitrary bytes to the receive parser in arbitrary chunks. Besides the sanitizers' checks
// it traps when the receive position leaves its 8-byte buffer, a live value leaves its range,
// the identity loses its terminator, a parameter word holds a value its band cannot give, a ring
// index leaves its ring, or the same bytes give a different result in other chunks.
//
// Input: byte 0 picks the settings the parser reads (roll index, out of range included, and stop
// at alarm); byte 1 seeds the chunk sizes (0 to 13 bytes, empty chunks included); the rest is the
// stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "records/settings.h"
#include "records/window_state.h"

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
    int32_t receivePosition;
};

void Reset(uint8_t choice) {
    ResetProtocolState();
    ResetTrendBuffer();
    for (auto& word : parameterSet.deviceWords) {
        word.store(0);
    }
    windowFlags.alarmCountdown.store(0);
    windowFlags.valuesChanged.store(0);
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
    s.receivePosition = ReceivePosition();
}

bool InRange(int32_t v, int32_t last) {
    return v >= -1 && v <= last;
}

void Check(const Snapshot& s) {
    bool sound = s.receivePosition >= 0 && s.receivePosition < 8 &&
                 InRange(s.numbers[0], 199) && InRange(s.numbers[1], 199) &&
                 InRange(s.numbers[2], 199) && InRange(s.numbers[3], 399) &&
                 (s.numbers[4] == 0 || s.numbers[4] == 1) && s.identity[kIdentitySize - 1] == 0 &&
                 s.identityPos >= 0 && s.identityPos <= kIdentitySize &&
                 (s.linkTimeout == 15 || s.linkTimeout == 20) && s.alarmCountdown <= 1 &&
                 s.sampleWrite < kTrendSize;
    // Every word starts at 0 and changes only by a code of its own band.
    for (int i = 0; i < kParameterCount; ++i) {
        sound = sound && s.words[i] < kParameterTable[i].bandSpan;
    }
    for (int32_t sample : s.samples) {
        sound = sound && sample >= 0 && sample <= 398;
    }
    if (!sound) {
        __builtin_trap();
    }
}

// Delivers the stream in chunks of 0..13 bytes drawn from seed; with seed 0, one at a time.
void Deliver(const uint8_t* data, size_t size, uint8_t seed) {
    uint32_t state = seed;
    for (size_t pos = 0; pos < size;) {
        size_t chunk = 1;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            chunk = (state >> 16) % 14;
        }
        chunk = chunk < size - pos ? chunk : size - pos;
        ParseReceived(data + pos, static_cast<int>(chunk));
        pos += chunk;
        // The position is checked between chunks, where the reader thread leaves it.
        if (ReceivePosition() < 0 || ReceivePosition() > 7) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t choice = data[0];
    const uint8_t seed = data[1];
    const uint8_t* stream = data + 2;
    const size_t length = size - 2;

    Reset(choice);
    Deliver(stream, length, seed);
    Snapshot chunked;
    Take(chunked);
    Check(chunked);

    Reset(choice);
    Deliver(stream, length, 0);
    Snapshot single;
    Take(single);

    Reset(choice);
    ParseReceived(stream, static_cast<int>(length));
    Snapshot whole;
    Take(whole);
    if (std::memcmp(&chunked, &whole, sizeof whole) != 0 ||
        std::memcmp(&single, &whole, sizeof whole) != 0) {
        __builtin_trap();
    }
    return 0;
}
