#include "params/parameter_set.h"

#include <algorithm>
#include <cstdio>

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

void CopyDeviceToEdit() {
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.editWords[i] = parameterSet.deviceWords[i].load(std::memory_order_relaxed);
    }
}

namespace {

// Hundredths of a second while the edit copy's timer range is 0, tenths for any other value.
int TimeDecimals() {
    return parameterSet.editWords[timerRange] == 0 ? 2 : 1;
}

// The standard decimal reading: leading white space, an optional sign, then digits up to the
// first character that is not one. Nothing else is checked, so a text without digits reads as 0.
long ReadDecimal(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long value = 0;
    // The texts are a few characters long; the cap only keeps a long text from overflowing.
    while (*p >= '0' && *p <= '9' && value < 100000000L) {
        value = value * 10 + (*p - '0');
        ++p;
    }
    return negative ? -value : value;
}

}  // namespace

void FormatTimeText(uint16_t value, char out[16]) {
    if (TimeDecimals() == 2) {
        std::snprintf(out, 16, "%d.%02d", value / 100, value % 100);
    } else {
        std::snprintf(out, 16, "%d.%d", value / 10, value % 10);
    }
}

// The digits are laid out as they would stand without the separator: integer part, then exactly
// as many decimals as the unit has (extra ones dropped, missing ones zero), then read as one
// number. A negative text wraps to a large value that every caller rejects.
uint16_t ParseTimeText(const char* text, int length) {
    if (text == nullptr || length <= 0) {
        return 0;
    }
    const int decimals = TimeDecimals();
    const int maxIntegerDigits = 4 - decimals;

    int separator = -1;
    for (int i = 0; i < length && i < 4; ++i) {
        if (text[i] == '.' || text[i] == ',') {
            separator = i;
            break;
        }
    }

    char digits[16];
    int n = 0;
    if (separator < 0) {
        if (length > maxIntegerDigits) {
            return 9999;
        }
        for (int i = 0; i < length; ++i) {
            digits[n++] = text[i];
        }
    } else {
        if (separator > maxIntegerDigits) {
            return 9999;
        }
        if (separator == 0) {
            digits[n++] = '0';
        }
        for (int i = 0; i < separator; ++i) {
            digits[n++] = text[i];
        }
    }
    for (int i = 0; i < decimals; ++i) {
        const int at = separator + 1 + i;
        digits[n++] = (separator >= 0 && at < length) ? text[at] : '0';
    }
    digits[n] = 0;
    return static_cast<uint16_t>(ReadDecimal(digits));
}

bool StoreTypedNumber(int word, uint32_t number) {
    if (word < 0 || word >= kParameterCount) {
        return false;
    }
    uint16_t* edit = parameterSet.editWords;
    const ParameterInfo& info = kParameterTable[word];
    // Tested at the number's full width, so a large number never wraps into the range.
    int64_t lo = info.minValue;
    int64_t hi = info.maxValue;
    if (word == p1Max) {
        lo = edit[p1Min] + 10;
    } else if (word == p1Min) {
        // The device may report a p1Max far above 100: p1Min then still stays within 0..90, or
        // its value would reach past its code band and the device would read it as p1Max.
        hi = std::min<int64_t>(edit[p1Max] - 10, info.maxValue);
    }
    if (number < lo || number > hi) {
        return false;
    }
    edit[word] = static_cast<uint16_t>(number);
    return true;
}

void RescaleTimes(uint16_t newRange) {
    for (int word : {limit1Tr, limit2Tr, ts}) {
        uint32_t value = parameterSet.editWords[word];
        if (newRange != 0) {
            value /= 10;
        } else {
            value = value * 10 > 9999 ? 9999 : value * 10;
        }
        parameterSet.editWords[word] = static_cast<uint16_t>(value);
    }
}
