// Properties of the whole 16-bit value space: what the program sends, fed back as a device
// report, means what the value's class says; and no single flipped bit on the line is taken for
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

// The value classes as the device's reports are defined, written out case by case.
Observed Expected(const Observed& start, uint16_t v) {
    Observed e = start;
    e.linkTimeout = 15;
    if (v <= 199) {
        e.measurement = v;
        e.sampleWrite = 1;
    } else if (v <= 399) {
        e.minPeak = v - 200;
        e.valuesChanged = 1;
    } else if (v <= 599) {
        e.maxPeak = v - 400;
        e.valuesChanged = 1;
    } else if (v <= 999) {
        e.dPdtPeak = v - 600;
        e.valuesChanged = 1;
    } else if (v >= 3000 && v <= 64999) {
        for (int i = 0; i < kParameterCount; ++i) {
            const ParameterInfo& info = kParameterTable[i];
            if (v >= info.transferCode && v - info.transferCode < info.bandSpan) {
                e.words[i] = static_cast<uint16_t>(v - info.transferCode);
                if (i == limit1Mode) {
                    e.identityPos = 0;
                }
                // The dP/dt row shows dashes or the peak by this word: a change is news.
                if (i == dpdtMode && e.words[i] != start.words[i]) {
                    e.valuesChanged = 1;
                }
            }
        }
    } else if (v >= 65000 && v <= 65049) {
        e.alarmCountdown = (v - 65000) % 25 >= 13 ? 1 : 0;
    } else if (v == MSG_DUDT) {
        e.dUdtEvent = 1;
    } else if (v >= 65200 && v <= 65499) {
        e.identity0 = 'X';  // written at position 5, not 0
        e.identityPos = 6;
        // A complete identity is news for the identity bar.
        if (v == MSG_IDENTITY_END) {
            e.valuesChanged = 1;
        }
    }
    return e;
}

std::vector<uint8_t> Sent(uint16_t value) {
    SendCommand(value);
    return TakeAllTx();
}

TEST(ProtocolProperty, EverySentValueReadsBackAsItsClassSays) {
    ResetLinkState();
    int wrong = 0;
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
        const std::vector<uint8_t> message = Sent(static_cast<uint16_t>(v));
        ASSERT_EQ(message.size(), static_cast<size_t>(kLongMessageSize)) << v;
        Restart();
        const Observed start = Observe();
        Feed(message);
        if (!(Observe() == Expected(start, static_cast<uint16_t>(v))) && ++wrong <= 5) {
            ADD_FAILURE() << "value " << v << " read back wrongly";
        }
        ASSERT_EQ(ReceivePosition(), 0);
    }
    EXPECT_EQ(wrong, 0);
    ResetLinkState();
}

TEST(ProtocolProperty, IdentityCharactersLandAtTheirPosition) {
    ResetLinkState();
    for (uint16_t v : {uint16_t{65200 + 'A'}, uint16_t{65499}, MSG_IDENTITY_END}) {
        Restart();
        Feed(Sent(v));
        const char expected = v == MSG_IDENTITY_END ? 0 : static_cast<char>((v - 65200) & 0xFF);
        EXPECT_EQ(liveValues.identity[5].load(), expected) << v;
    }
    ResetLinkState();
}

// Any one bit of the six bytes flipped: the message is dropped (the checksum, a lost carriage
// return or a zero byte) and the state is as before it; never another value.
TEST(ProtocolProperty, ASingleFlippedBitIsNeverTakenForAValue) {
    ResetLinkState();
    int taken = 0;
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
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
