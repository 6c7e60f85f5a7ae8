// The identity line of the bar above the panel, shared by the window's paint and the screen
// dump's refresh of that bar.
#pragma once

#include <cstdint>

// "Tessaron: " with the identity, or with "- - -" while there is none or no measurement, padded
// with blanks that overwrite a longer line drawn before.
inline constexpr int kIdentityLineSize = 96;
void BuildIdentityLine(int32_t measurement, char out[kIdentityLineSize]);
