// The live values panel on the left of the main window and the identity bar above it: the paint
// of the whole window, the 300 ms repaint rule, the three Reset buttons and the two keys.
#pragma once

#include <cstdint>

#include "output/identity_line.h"
#include "platform/window.h"

// Where the framed areas lie (client pixels, right and bottom exclusive).
inline constexpr platform::Rect kIdentityBar{25, 15, 935, 50};
inline constexpr platform::Rect kValuesPanel{25, 60, 335, 325};
inline constexpr platform::Rect kGraphArea{345, 60, 935, 325};

inline constexpr int kResetMaxButton = 10;
inline constexpr int kResetMinButton = 11;
inline constexpr int kResetDpdtButton = 12;

// The texts the panel draws, each into a 16-byte buffer.
void FormatMeasurement(int32_t value, char out[16]);
void FormatPeak(int32_t value, char out[16]);
void FormatDpdtPeak(int32_t value, uint16_t dpdtModeWord, char out[16]);

// Forgets what earlier windows drew (a new window starts from a blank panel).
void ResetPanelState();
// Paint message: graph first, then the panel texts.
void PaintMainWindow(platform::WindowHandle window);
// Timer 300: repaints the window when a shown value changed.
void PanelRepaintRule(platform::WindowHandle window);
// True when the rule now would repaint nothing.
bool PanelRepaintRuleIdle();
// Reset buttons 10, 11, 12; the focus goes back to the window afterwards.
void PanelResetButton(platform::WindowHandle window, int controlId);
// A held key acts once: only the first key-down after a key-up counts.
void PanelKeyDown(int key);
void PanelKeyUp();
