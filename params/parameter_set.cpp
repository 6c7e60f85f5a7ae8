#include "params/parameter_set.h"

// Band spans reach up to the next transfer code, so the receive bands are contiguous from 3000 to
// 64999. The dP/dt setpoint takes 5..99 at every check: the band leaves room for 0..99, and a value
// the entry field accepts must also be the value that is sent.
const ParameterInfo kParameterTable[kParameterCount] = {
    {"limit1Mode", 3000, 10, 0, 2},
    {"limit1Setpoint", 3100, 100, 5, 99},
    {"limit1Tr", 20000, 10000, 0, 9999},
    {"limit1AutoReset", 3070, 5, 0, 1},
    {"limit1Hysteresis", 3500, 100, 2, 50},
    {"limit2Mode", 3010, 10, 0, 2},
    {"limit2Setpoint", 3200, 100, 5, 99},
    {"limit2Tr", 30000, 35000, 0, 9999},
    {"limit2AutoReset", 3075, 5, 0, 1},
    {"limit2Hysteresis", 3600, 100, 2, 50},
    {"dpdtMode", 3020, 10, 0, 2},
    {"dpdtSetpoint", 3300, 100, 5, 99},
    {"dudt", 3400, 100, 0, 20},
    {"timerRange", 3030, 10, 0, 1},
    {"ts", 10000, 10000, 0, 9999},
    {"outputPolarity", 3040, 10, 0, 1},
    {"iout", 3050, 10, 0, 1},
    {"analogPolarity", 3060, 5, 0, 1},
    {"filter", 3080, 20, 0, 3},
    {"p1Max", 3800, 6200, 10, 100},
    {"p1Min", 3700, 100, 0, 90},
    {"autoShutDown", 3065, 5, 0, 1},
};

int FindParameterBand(uint16_t code) {
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        if (code >= info.transferCode && code - info.transferCode < info.bandSpan) {
            return i;
        }
    }
    return -1;
}

void CopyDeviceToEdit() {}
void FormatTimeText(uint16_t, char out[16]) { out[0] = 0; }
uint16_t ParseTimeText(const char*, int) { return 0; }
void RescaleTimes(uint16_t) {}
