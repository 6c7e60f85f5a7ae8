// The parameter sheet's time texts: ParseTimeText on arbitrary text of any length in both units,
// and FormatTimeText back. Traps when a time the sheet shows does not read back as itself, or
// (through the sanitizers) when parsing reads or writes outside its buffers.
//
// Input: byte 0 picks the unit (the edit copy's timerRange, out of range included), bytes 1 and 2
// a time word for the round trip, the rest is the typed text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "params/parameter_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    parameterSet.editWords[timerRange] = data[0] % 3;
    // The text in a buffer of its own size, so a read past its end is caught.
    const std::vector<char> text(data + 3, data + size);
    (void)ParseTimeText(text.empty() ? nullptr : text.data(), static_cast<int>(text.size()));

    // Every time word the sheet accepts shows as a text that reads back as the same word.
    const auto word = static_cast<uint16_t>((data[1] | (data[2] << 8)) % 10000);
    char shown[16];
    FormatTimeText(word, shown);
    if (std::memchr(shown, 0, sizeof shown) == nullptr ||
        ParseTimeText(shown, static_cast<int>(std::strlen(shown))) != word) {
        __builtin_trap();
    }
    return 0;
}
