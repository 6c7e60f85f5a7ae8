// The simulated device. Timing is counted in 20 ms ticks so that a run is reproducible from its
// seed; the caller decides when a tick is due.
#include "sim/sim_device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "link/protocol.h"

namespace {

constexpr uint16_t kStatusBase = 65000;
constexpr int kStatusGroup = 25;
constexpr int kAlarmOffset = 13;
constexpr uint16_t kIdentityBase = 65200;
constexpr int kPeakRepeatTicks = 2 * kTicksPerSecond;

struct LimitWords {
    int mode, setpoint, autoReset, hysteresis;
};
constexpr LimitWords kLimits[2] = {
    {limit1Mode, limit1Setpoint, limit1AutoReset, limit1Hysteresis},
    {limit2Mode, limit2Setpoint, limit2AutoReset, limit2Hysteresis},
};

void ScheduleDudt(SimDevice& device) {
    if (device.options.dudtIntervalSeconds <= 0) {
        device.nextDudtTick = -1;
        return;
    }
    // Anywhere from half to one and a half times the mean interval.
    std::uniform_real_distribution<double> spread(0.5, 1.5);
    double ticks = device.options.dudtIntervalSeconds * kTicksPerSecond * spread(device.random);
    device.nextDudtTick = device.tick + std::max(1L, static_cast<long>(ticks));
}

void ReportPeaks(const SimDevice& device, std::string& out) {
    AppendLongMessage(static_cast<uint16_t>(400 + device.maxPeak), out);
    AppendLongMessage(static_cast<uint16_t>(200 + device.minPeak), out);
    AppendLongMessage(static_cast<uint16_t>(600 + device.dPdtPeak), out);
}

void UpdatePeaks(SimDevice& device, std::string& out) {
    const int m = device.measurement;
    if (device.maxPeak < 0 || m > device.maxPeak) {
        device.maxPeak = m;
        AppendLongMessage(static_cast<uint16_t>(400 + m), out);
    }
    if (device.minPeak < 0 || m < device.minPeak) {
        device.minPeak = m;
        AppendLongMessage(static_cast<uint16_t>(200 + m), out);
    }
    // dP/dt in percent per second: the change over the last second, once a second is known.
    int& aSecondAgo = device.history[device.tick % kTicksPerSecond];
    if (device.tick >= kTicksPerSecond) {
        int rate = std::min(399, std::abs(m - aSecondAgo));
        if (rate > device.dPdtPeak) {
            device.dPdtPeak = rate;
            AppendLongMessage(static_cast<uint16_t>(600 + rate), out);
        }
    }
    aSecondAgo = m;
}

// A limit in mode 1 (Min) is violated below its setpoint, in mode 2 (Max) above it. The alarm
// ends once the value is back by the hysteresis; without auto reset it then still waits for
// the space command.
void UpdateAlarms(SimDevice& device, std::string& out) {
    for (int k = 0; k < 2; ++k) {
        const LimitWords& limit = kLimits[k];
        const int mode = device.words[limit.mode];
        const int setpoint = device.words[limit.setpoint];
        const int hysteresis = device.words[limit.hysteresis];
        const int m = device.measurement;
        const bool violated = (mode == 1 && m < setpoint) || (mode == 2 && m > setpoint);
        if (violated && !device.alarmActive[k]) {
            device.alarmActive[k] = true;
            device.alarmLatched[k] = device.words[limit.autoReset] == 0;
            AppendLongMessage(static_cast<uint16_t>(kStatusBase + k * kStatusGroup + kAlarmOffset),
                              out);
        } else if (device.alarmActive[k] && !violated && !device.alarmLatched[k]) {
            const bool clear = mode == 1   ? m >= setpoint + hysteresis
                               : mode == 2 ? m <= setpoint - hysteresis
                                           : true;
            if (clear) {
                device.alarmActive[k] = false;
            }
        }
    }
}

void AppendPollReply(const SimDevice& device, std::string& out) {
    // Words 1 to 21 first and word 0 last: the receiver treats word 0 as the end of the words.
    for (int i = 1; i <= kParameterCount; ++i) {
        const int word = i % kParameterCount;
        AppendLongMessage(
            static_cast<uint16_t>(kParameterTable[word].transferCode + device.words[word]), out);
    }
    for (unsigned char c : device.options.identity) {
        AppendLongMessage(static_cast<uint16_t>(kIdentityBase + c), out);
    }
    AppendLongMessage(MSG_IDENTITY_END, out);
}

void StoreParameter(SimDevice& device, uint16_t code) {
    const int word = FindParameterBand(code);
    if (word < 0) {
        return;
    }
    const ParameterInfo& info = kParameterTable[word];
    int value = code - info.transferCode;
    if (word == device.options.wrongWord) {
        // Off by one, but still inside the word's band so that it reports back as this word.
        value = value + 1 < info.bandSpan ? value + 1 : value - 1;
    }
    device.words[word] = static_cast<uint16_t>(value);
}

void HandleCommand(SimDevice& device, uint16_t word, std::string& out) {
    switch (word) {
        case CMD_POLL:
            if (!device.options.ignorePolls) {
                AppendPollReply(device, out);
            }
            return;
        case CMD_SPACE:
            // The space command acknowledges latched alarms; one still violated stays on.
            device.alarmLatched[0] = false;
            device.alarmLatched[1] = false;
            return;
        case CMD_RESET_MAX_PEAK:
            device.maxPeak = device.measurement;
            AppendLongMessage(static_cast<uint16_t>(400 + device.maxPeak), out);
            return;
        case CMD_RESET_MIN_PEAK:
            device.minPeak = device.measurement;
            AppendLongMessage(static_cast<uint16_t>(200 + device.minPeak), out);
            return;
        case CMD_RESET_DPDT_PEAK:
            device.dPdtPeak = 0;
            AppendLongMessage(600, out);
            return;
        default:
            if (word >= 3000 && word <= 64999) {
                StoreParameter(device, word);
            }
            return;
    }
}

}  // namespace

void AppendLongMessage(uint16_t value, std::string& out) {
    uint8_t bytes[kLongMessageSize];
    EncodeLongMessage(value, bytes);
    out.append(reinterpret_cast<const char*>(bytes), kLongMessageSize);
}

// Measurements travel in the 4-byte form: two nibble bytes (lower nibble 1, like every byte
// the device sends), their sum and a carriage return.
void AppendShortMessage(uint8_t value, std::string& out) {
    const uint8_t high = static_cast<uint8_t>((value & 0xF0) | 0x01);
    const uint8_t low = static_cast<uint8_t>(((value & 0x0F) << 4) | 0x01);
    const char bytes[4] = {static_cast<char>(high), static_cast<char>(low),
                           static_cast<char>((high + low) & 0xFF), 13};
    out.append(bytes, 4);
}

void InitSimDevice(SimDevice& device, const SimOptions& options, uint32_t seed) {
    device = SimDevice{};
    device.options = options;
    device.random.seed(seed);
    if (device.options.identity.size() > kIdentitySize - 1) {
        device.options.identity.resize(kIdentitySize - 1);
    }
    // A plausible factory setting: limit 1 a maximum at 90 %, limit 2 a minimum at 10 %.
    const uint16_t defaults[kParameterCount] = {2,  90, 100, 1,   5, 1, 10, 100, 1,   5, 1,
                                                50, 0,  0,   100, 0, 1, 0,  1,   100, 0, 0};
    std::copy(std::begin(defaults), std::end(defaults), device.words);
    ScheduleDudt(device);
}

int WaveValue(const SimOptions& options, double t) {
    const double low = options.minPercent;
    const double high = options.maxPercent;
    const double phase = options.periodSeconds > 0
                             ? std::fmod(t, options.periodSeconds) / options.periodSeconds
                             : 0.0;
    double value = 0;
    switch (options.wave) {
        case Wave::Sine:
            value = (low + high) / 2 + (high - low) / 2 * std::sin(2 * std::numbers::pi * phase);
            break;
        case Wave::Ramp:
            value = low + (high - low) * phase;
            break;
        case Wave::Square:
            value = phase < 0.5 ? high : low;
            break;
        case Wave::Steady:
            value = (low + high) / 2;
            break;
    }
    return std::clamp(static_cast<int>(std::lround(value)), 0, 199);
}

bool SimSilent(const SimDevice& device) {
    return device.options.silenceAfterSeconds >= 0 &&
           device.tick >= device.options.silenceAfterSeconds * kTicksPerSecond;
}

void SimTick(SimDevice& device, std::string& out) {
    device.measurement =
        WaveValue(device.options, static_cast<double>(device.tick) / kTicksPerSecond);
    AppendShortMessage(static_cast<uint8_t>(device.measurement), out);
    UpdatePeaks(device, out);
    UpdateAlarms(device, out);
    if (device.tick % kTicksPerSecond == 0) {
        for (int k = 0; k < 2; ++k) {
            const int offset = device.alarmActive[k] ? kAlarmOffset : 0;
            AppendLongMessage(static_cast<uint16_t>(kStatusBase + k * kStatusGroup + offset), out);
        }
    }
    // Peaks again now and then, for a receiver that connected after they last changed.
    if (device.tick % kPeakRepeatTicks == kPeakRepeatTicks / 2 && device.maxPeak >= 0) {
        ReportPeaks(device, out);
    }
    if (device.nextDudtTick >= 0 && device.tick >= device.nextDudtTick) {
        AppendLongMessage(MSG_DUDT, out);
        ScheduleDudt(device);
    }
    device.garbageOwed += static_cast<double>(device.options.garbageRate) / kTicksPerSecond;
    std::uniform_int_distribution<int> anyByte(0, 255);
    while (device.garbageOwed >= 1.0) {
        out.push_back(static_cast<char>(anyByte(device.random)));
        device.garbageOwed -= 1.0;
    }
    ++device.tick;
}

void SimReceive(SimDevice& device, const uint8_t* bytes, int count, std::string& out) {
    for (int i = 0; i < count; ++i) {
        if (bytes[i] != 13) {
            device.line[device.lineLength] = bytes[i];
            device.lineLength = std::min(device.lineLength + 1, 7);
            continue;
        }
        const int length = device.lineLength;
        device.lineLength = 0;
        if (length != 5) {
            continue;
        }
        const uint8_t* b = device.line;
        if (static_cast<uint8_t>(b[0] + b[1] + b[2] + b[3]) != b[4]) {
            continue;
        }
        const uint16_t word = static_cast<uint16_t>(((b[0] & 0xF0) << 8) | ((b[1] & 0xF0) << 4) |
                                                    (b[2] & 0xF0) | (b[3] >> 4));
        HandleCommand(device, word, out);
    }
}
