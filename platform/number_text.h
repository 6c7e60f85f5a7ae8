// Unsigned decimal numbers as dialog fields show and read them, without any window library, so
// that the command-line tool, the fuzz targets and the unit tests share the dialog's exact rules.
#pragma once

#include <cstdint>

namespace platform {

// Enough for every 32-bit value and its terminator.
inline constexpr int kNumberTextSize = 11;

// The value as plain decimal digits, no sign, no leading zeros; returns the digit count.
int FormatNumberText(uint32_t value, char out[kNumberTextSize]);

// The text as an unsigned decimal number: blanks and tabs around the digits allowed, nothing
// else. No digits, any other character, or a value above 32 bits reads as 0. At most length
// bytes are read, and none after a terminator.
uint32_t ParseNumberText(const char* text, int length);

}  // namespace platform
