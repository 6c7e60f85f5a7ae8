// The receiving half of the line protocol: assembles messages from the reader thread's chunks,
// checks them and turns their values into live values, parameter words, trend samples and flags.
// Kept apart from the sending half so the parser builds without any window code.
#include <atomic>
#include <cstdint>

#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "platform/event.h"
#include "records/settings.h"
#include "records/window_state.h"

namespace {

constexpr uint8_t kCarriageReturn = 13;
constexpr int kLineBufferSize = 8;
constexpr int kLastLinePos = 7;
constexpr uint8_t kLinkTimeoutReload = 15;

// Value classes: the range a value falls in is its meaning.
constexpr uint16_t kMeasurementLast = 199;
constexpr uint16_t kMinPeakFirst = 200;
constexpr uint16_t kMaxPeakFirst = 400;
constexpr uint16_t kDpdtPeakFirst = 600;
constexpr uint16_t kDpdtPeakLast = 999;
constexpr uint16_t kParameterFirst = 3000;
constexpr uint16_t kParameterLast = 64999;
constexpr uint16_t kStatusFirst = 65000;
constexpr uint16_t kStatusLast = 65049;
constexpr uint16_t kStatusGroupSize = 25;
constexpr uint16_t kFirstAlarmOffset = 13;
constexpr uint16_t kIdentityFirst = 65200;
constexpr uint16_t kIdentityLast = 65499;

// Reader thread only. A message longer than the buffer keeps its first seven bytes in place and
// every later byte lands on the eighth, which the carriage return then clears.
struct ReceiveState {
    uint8_t lineBuffer[kLineBufferSize] = {};
    int32_t lineLength = 0;
    int32_t trendDivider = 0;
};

ReceiveState receiveState;

std::atomic<MessageHook> messageHook{nullptr};
std::atomic<void (*)()> receiveWakeHook{nullptr};

void OnMeasurement(uint16_t value) {
    liveValues.measurement.store(value, std::memory_order_relaxed);
    ++receiveState.trendDivider;
    // Reached or passed: after a change to a shorter roll time the count may already be above the
    // new divisor, and an exact comparison would then stop the trend for good.
    if (receiveState.trendDivider >= kRollDivider[CurrentRollIndex()]) {
        receiveState.trendDivider = 0;
        AppendTrendSample();
    }
}

void OnParameter(uint16_t value) {
    int word = FindParameterBand(value);
    if (word < 0) {
        return;
    }
    uint16_t stored = static_cast<uint16_t>(value - kParameterTable[word].transferCode);
    // Release: whoever sees word 0 of a reply also sees the words the reply carried before it.
    const uint16_t before =
        parameterSet.deviceWords[word].exchange(stored, std::memory_order_release);
    // The dP/dt row shows its dashes or its peak by this word, so a change must be painted.
    if (word == dpdtMode && before != stored) {
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    }
    if (word == limit1Mode) {
        if (platform::EventHandle event = replyEvent.load(std::memory_order_acquire)) {
            platform::SetEvent(event);
        }
        liveValues.identityPos.store(0, std::memory_order_relaxed);
    }
}

void OnStatus(uint16_t value) {
    if (settings.stopAtAlarm.load(std::memory_order_relaxed) == 0) {
        return;
    }
    if ((value - kStatusFirst) % kStatusGroupSize >= kFirstAlarmOffset) {
        windowFlags.alarmCountdown.store(1, std::memory_order_relaxed);
    }
}

void OnIdentity(uint16_t value) {
    int32_t pos = liveValues.identityPos.load(std::memory_order_relaxed);
    if (value == MSG_IDENTITY_END) {
        if (pos < kIdentitySize) {
            liveValues.identity[pos].store(0, std::memory_order_relaxed);
        }
        // A complete identity is news for the identity bar even while every value stays still.
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    } else if (pos < kIdentitySize - 1) {
        // The last byte stays a terminator: a device that sends more than 43 characters loses
        // the excess, and the text can be read as zero-terminated at any moment.
        liveValues.identity[pos].store(static_cast<char>((value - kIdentityFirst) & 0xFF),
                                       std::memory_order_relaxed);
    }
    // Saturates so that an endless stream of characters cannot overflow the position.
    if (pos < kIdentitySize) {
        liveValues.identityPos.store(pos + 1, std::memory_order_relaxed);
    }
}

void Dispatch(uint16_t value) {
    if (value <= kMeasurementLast) {
        OnMeasurement(value);
    } else if (value < kMaxPeakFirst) {
        liveValues.minPeak.store(value - kMinPeakFirst, std::memory_order_relaxed);
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    } else if (value < kDpdtPeakFirst) {
        liveValues.maxPeak.store(value - kMaxPeakFirst, std::memory_order_relaxed);
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    } else if (value <= kDpdtPeakLast) {
        liveValues.dPdtPeak.store(value - kDpdtPeakFirst, std::memory_order_relaxed);
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    } else if (value >= kParameterFirst && value <= kParameterLast) {
        OnParameter(value);
    } else if (value >= kStatusFirst && value <= kStatusLast) {
        OnStatus(value);
    } else if (value == MSG_DUDT) {
        liveValues.dUdtEvent.store(1, std::memory_order_relaxed);
    } else if (value >= kIdentityFirst && value <= kIdentityLast) {
        OnIdentity(value);
    }
    // Everything else (1000..2999, the other command echoes, 65100..65199, 65500 up) only
    // proves that the device talks.
}

void EvaluateLine() {
    const uint8_t* b = receiveState.lineBuffer;
    int length = 0;
    while (length < kLineBufferSize && b[length] != 0) {
        ++length;
    }
    // A value needs two data bytes before its checksum. A shorter line would take the checksum
    // for the value's low nibble, and a long message whose third byte lost its one set bit on the
    // line (01h to 00h) would read as such a line and pass its check when its first two bytes
    // are equal; the device never sends one.
    if (length < 3) {
        return;
    }
    uint8_t sum = 0;
    for (int i = 0; i < length - 1; ++i) {
        sum = static_cast<uint8_t>(sum + b[i]);
    }
    if (sum != b[length - 1]) {
        return;
    }
    liveValues.linkTimeout.store(kLinkTimeoutReload, std::memory_order_relaxed);
    // Only the upper nibble of a data byte carries the value; the lower one counts in the sum.
    unsigned high = (b[0] & 0xF0u) | (b[1] >> 4);
    unsigned value = high;
    if (length == 5) {
        unsigned low = (b[2] & 0xF0u) | (b[3] >> 4);
        value = high * 256 + low;
    }
    Dispatch(static_cast<uint16_t>(value));
    if (MessageHook hook = messageHook.load(std::memory_order_acquire)) {
        hook(static_cast<uint16_t>(value));
    }
    if (auto wake = receiveWakeHook.load(std::memory_order_acquire)) {
        wake();
    }
}

}  // namespace

void ParseReceived(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        uint8_t byte = bytes[i];
        if (byte != kCarriageReturn) {
            receiveState.lineBuffer[receiveState.lineLength] = byte;
            if (++receiveState.lineLength > kLastLinePos) {
                receiveState.lineLength = kLastLinePos;
            }
            continue;
        }
        receiveState.lineBuffer[receiveState.lineLength] = 0;
        receiveState.lineLength = 0;
        EvaluateLine();
    }
}

void SetMessageHook(MessageHook hook) {
    messageHook.store(hook, std::memory_order_release);
}

void SetReceiveWakeHook(void (*hook)()) {
    receiveWakeHook.store(hook, std::memory_order_release);
}

int ReceivePosition() {
    return receiveState.lineLength;
}

void ReadIdentity(char out[kIdentitySize]) {
    for (int i = 0; i < kIdentitySize; ++i) {
        out[i] = liveValues.identity[i].load(std::memory_order_relaxed);
    }
    out[kIdentitySize - 1] = 0;
}

void StoreIdentity(const char in[kIdentitySize]) {
    for (int i = 0; i < kIdentitySize - 1; ++i) {
        liveValues.identity[i].store(in[i], std::memory_order_relaxed);
    }
    // A file whose text fills all 44 bytes still yields a terminated text.
    liveValues.identity[kIdentitySize - 1].store(0, std::memory_order_relaxed);
}

void ResetProtocolState() {
    receiveState = ReceiveState{};
    liveValues.measurement.store(-1);
    liveValues.maxPeak.store(-1);
    liveValues.minPeak.store(-1);
    liveValues.dPdtPeak.store(-1);
    liveValues.dUdtEvent.store(0);
    for (auto& c : liveValues.identity) {
        c.store(0);
    }
    liveValues.identityPos.store(0);
    liveValues.linkTimeout.store(20);
}
