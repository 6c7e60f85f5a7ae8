// The device's 22 parameter words: their table (name, transfer code, band, valid range), the
// device copy as last reported, the edit copy the property sheet works on, and the time texts.
#pragma once

#include <atomic>
#include <cstdint>

enum ParameterWord : int {
    limit1Mode,
    limit1Setpoint,
    limit1Tr,
    limit1AutoReset,
    limit1Hysteresis,
    limit2Mode,
    limit2Setpoint,
    limit2Tr,
    limit2AutoReset,
    limit2Hysteresis,
    dpdtMode,
    dpdtSetpoint,
    dudt,
    timerRange,
    ts,
    outputPolarity,
    iout,
    analogPolarity,
    filter,
    p1Max,
    p1Min,
    autoShutDown,
    kParameterCount
};

struct ParameterInfo {
    const char* name;
    uint16_t transferCode;  // lower end of the word's receive band
    uint16_t bandSpan;      // codes transferCode .. transferCode + bandSpan - 1 report this word
    uint16_t minValue;      // valid user input; p1Max and p1Min also depend on each other
    uint16_t maxValue;
};

extern const ParameterInfo kParameterTable[kParameterCount];

// The device copy is written by the reader thread word by word; the edit copy belongs to the
// window thread.
struct ParameterSet {
    std::atomic<uint16_t> deviceWords[kParameterCount] = {};
    uint16_t editWords[kParameterCount] = {};
};

inline ParameterSet parameterSet;

// Index of the word whose receive band holds code (3000..64999), or -1.
int FindParameterBand(uint16_t code);

void CopyDeviceToEdit();
// Display text of a time word in the edit copy's unit ("12.34" or "123.4"); out holds 16 bytes.
void FormatTimeText(uint16_t value, char out[16]);
// The time word for a typed text of at most 5 characters; callers keep it only when <= 9999.
uint16_t ParseTimeText(const char* text, int length);
// A number typed into the field of word (a setpoint, hysteresis, dudt, p1Max or p1Min) stored
// into the edit copy when it lies in the word's valid range; false, and the word unchanged,
// otherwise. p1Max and p1Min are tested against the other's value in the edit copy.
bool StoreTypedNumber(int word, uint32_t number);
// After the edit copy's timerRange changed: rescale words 2, 7 and 14 of the edit copy.
void RescaleTimes(uint16_t newRange);
