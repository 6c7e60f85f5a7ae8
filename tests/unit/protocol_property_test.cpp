// A property of the whole 16-bit value space: no single flipped bit on the line is taken for
// another value.
#include <array>
#include <cstring>

#include "unit/test_support.h"

namespace {

// What the parser leaves behind that a report can change (the trend ring only moves with a
// measurement, so its write index stands for it).
struct Observed {
    int32_t measurement, maxPeak, minPeak, dPdtPeak, dUdtEvent;
    char identity0;
    int32_t identityPos;
    uint8_t linkTimeout, alarmCountdown;
    int32_t valuesChanged;
    std::array<uint16_t, kParameterCount> words;
    uint16_t sampleWrite;
    bool operator==(const Observed&) const = default;
};

Observed Observe() {
    Observed o{};
    o.measurement = liveValues.measurement.load();
    o.maxPeak = liveValues.maxPeak.load();
    o.minPeak = liveValues.minPeak.load();
    o.dPdtPeak = liveValues.dPdtPeak.load();
    o.dUdtEvent = liveValues.dUdtEvent.load();
    o.identity0 = liveValues.identity[0].load();
    o.identityPos = liveValues.identityPos.load();
    o.linkTimeout = liveValues.linkTimeout.load();
    o.alarmCountdown = windowFlags.alarmCountdown.load();
    o.valuesChanged = windowFlags.valuesChanged.load();
    for (int i = 0; i < kParameterCount; ++i) {
        o.words[i] = parameterSet.deviceWords[i].load();
    }
    o.sampleWrite = trendBuffer.sampleWrite.load();
    return o;
}

// The start state for every report: receiver empty, stop at alarm on (so status codes show),
// roll 10 s (every measurement becomes a sample), an identity text of its own.
void Restart() {
    ResetProtocolState();
    if (trendBuffer.sampleWrite.load() != 0) {
        ResetTrendBuffer();
    }
    settings.rollIndex = 0;
    settings.stopAtAlarm = 1;
    windowFlags.valuesChanged = 0;
    windowFlags.alarmCountdown = 0;
    for (auto& word : parameterSet.deviceWords) {
        word = 0;
    }
    liveValues.identity[0] = 'X';
    liveValues.identityPos = 5;
}

std::vector<uint8_t> Sent(uint16_t value) {
    SendCommand(value);
    return TakeAllTx();
}

// Any one bit of the six bytes flipped: the message is dropped (the checksum, a lost carriage
// return or a zero byte) and the state is as before it; never another value. Every seventh value
// keeps it quick while each nibble still takes every value.
TEST(ProtocolProperty, ASingleFlippedBitIsNeverTakenForAValue) {
    ResetLinkState();
    int taken = 0;
    for (uint32_t v = 0; v <= 0xFFFF; v += 7) {
        const std::vector<uint8_t> message = Sent(static_cast<uint16_t>(v));
        for (int bit = 0; bit < 8 * kLongMessageSize; ++bit) {
            std::vector<uint8_t> flipped = message;
            flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            Restart();
            const Observed start = Observe();
            Feed(flipped);
            if (!(Observe() == start) && ++taken <= 5) {
                ADD_FAILURE() << "value " << v << " with bit " << bit << " flipped was taken";
            }
        }
    }
    EXPECT_EQ(taken, 0);
    ResetLinkState();
}

}  // namespace
