// The parameter sheet's number fields: ParseNumberText on arbitrary text, as typed and as the
// field hands it over in its 64-byte buffer, and StoreTypedNumber with the number it gives.
// Traps when a text reads as anything but its plain decimal value (0 for every refused text),
// when a stored word would leave its code band or a refused one changes the edit copy, or when
// a number the field shows does not read back as itself. The sanitizers catch reads past the
// text's end.
//
// Input: byte 0 picks the field's word, bytes 1-4 the edit copy's p1Min and p1Max (any 16-bit
// value, as a device or a parameter file may give), bytes 5-8 a number for the round trip, the
// rest is the typed text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "params/parameter_set.h"
#include "platform/number_text.h"

namespace {

constexpr int kNumberWords[] = {
    limit1Setpoint, limit1Hysteresis, limit2Setpoint, limit2Hysteresis, dpdtSetpoint, dudt, p1Max,
    p1Min};

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// What the text must read as, worked out on a copy without any arithmetic: blanks around, digits
// only, at most ten significant digits and not above 4294967295.
std::string ExpectedDigits(const char* text, size_t length) {
    std::string s(text, strnlen(text, length));
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "0";
    }
    const size_t last = s.find_last_not_of(" \t");
    s = s.substr(first, last - first + 1);
    if (s.find_first_not_of("0123456789") != std::string::npos) {
        return "0";
    }
    s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    if (s.size() > 10 || (s.size() == 10 && s > "4294967295")) {
        return "0";
    }
    return s;
}

uint32_t ParseChecked(const char* text, size_t length) {
    const uint32_t value = platform::ParseNumberText(text, static_cast<int>(length));
    char shown[platform::kNumberTextSize];
    const int digits = platform::FormatNumberText(value, shown);
    Check(digits >= 1 && digits < platform::kNumberTextSize && shown[digits] == 0);
    Check(ExpectedDigits(text, length) == shown);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) {
        return 0;
    }
    const int word = kNumberWords[data[0] % std::size(kNumberWords)];
    const size_t length = size - 9;

    // As typed: a buffer of exactly the text's size and no terminator, so a read past its end
    // is caught.
    const auto typed = std::make_unique<char[]>(std::max<size_t>(length, 1));
    std::memcpy(typed.get(), data + 9, length);
    const uint32_t asTyped = ParseChecked(typed.get(), length);

    // As the field hands it over: at most 63 bytes and a terminator in a 64-byte buffer.
    char field[64];
    const size_t kept = std::min(length, sizeof field - 1);
    std::memcpy(field, data + 9, kept);
    field[kept] = 0;
    const uint32_t number = ParseChecked(field, kept);
    Check(length > kept || number == asTyped);

    // Stored through the word's range, or refused without a trace.
    for (uint16_t& w : parameterSet.editWords) {
        w = 0xA5A5;
    }
    parameterSet.editWords[p1Min] = static_cast<uint16_t>(data[1] | data[2] << 8);
    parameterSet.editWords[p1Max] = static_cast<uint16_t>(data[3] | data[4] << 8);
    uint16_t before[kParameterCount];
    std::memcpy(before, parameterSet.editWords, sizeof before);
    if (StoreTypedNumber(word, number)) {
        const uint16_t value = parameterSet.editWords[word];
        const ParameterInfo& info = kParameterTable[word];
        Check(value == number);
        Check(value >= info.minValue && value <= info.maxValue && value < info.bandSpan);
        Check(FindParameterBand(static_cast<uint16_t>(info.transferCode + value)) == word);
        parameterSet.editWords[word] = before[word];
    }
    Check(std::memcmp(before, parameterSet.editWords, sizeof before) == 0);

    // Every number the field shows reads back as itself, with blanks around it or without.
    uint32_t shownValue = 0;
    std::memcpy(&shownValue, data + 5, sizeof shownValue);
    char shown[platform::kNumberTextSize + 4] = " \t";
    const int digits = platform::FormatNumberText(shownValue, shown + 2);
    Check(platform::ParseNumberText(shown + 2, digits) == shownValue);
    shown[2 + digits] = ' ';
    Check(platform::ParseNumberText(shown, digits + 3) == shownValue);
    return 0;
}
