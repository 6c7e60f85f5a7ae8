// kvxsim's device model: a waveform of measured power, peaks, two limits with alarms, the
// parameter words it has been sent and its identity, spoken as messages of the line protocol.
// No I/O here: the model appends the bytes it says to a string and is fed the bytes it hears.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "params/parameter_set.h"

enum class Wave { Sine, Ramp, Square, Steady };

struct SimOptions {
    Wave wave = Wave::Sine;
    double periodSeconds = 10.0;
    int minPercent = 20;
    int maxPercent = 80;
    double silenceAfterSeconds = -1.0;  // below 0: never falls silent
    int garbageRate = 0;                // random bytes per second
    bool ignorePolls = false;
    int wrongWord = -1;                 // index of the word stored off by one, or -1
    double dudtIntervalSeconds = 12.0;  // mean time between dU/dt events; 0: none
    std::string identity = "KVX-SIM 1.0";
};

inline constexpr int kTicksPerSecond = 50;

struct SimDevice {
    SimOptions options;
    uint16_t words[kParameterCount] = {};
    int measurement = 0;
    int maxPeak = -1;  // -1 until the first measurement
    int minPeak = -1;
    int dPdtPeak = 0;
    int history[kTicksPerSecond] = {};  // the last second of measurements, for dP/dt
    long tick = 0;
    bool alarmActive[2] = {};
    bool alarmLatched[2] = {};  // came on without auto reset: stays until acknowledged
    long nextDudtTick = 0;
    double garbageOwed = 0.0;
    uint8_t line[8] = {};
    int lineLength = 0;
    std::mt19937 random;
};

void InitSimDevice(SimDevice& device, const SimOptions& options, uint32_t seed);
// The measured power at time t seconds, 0..199.
int WaveValue(const SimOptions& options, double t);
// One 20 ms step of the device: a measurement and whatever else falls due.
void SimTick(SimDevice& device, std::string& out);
// Bytes from the line; answers commands into out.
void SimReceive(SimDevice& device, const uint8_t* bytes, int count, std::string& out);
bool SimSilent(const SimDevice& device);

void AppendShortMessage(uint8_t value, std::string& out);
void AppendLongMessage(uint16_t value, std::string& out);
