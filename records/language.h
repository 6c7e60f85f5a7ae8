// Every text the program shows, in English, German and Danish: 300 slots of 64 Windows-1252
// bytes, read as slot N + languageBase. Also the message-box convention built on it.
#pragma once

#include <cstdint>

#include "platform/message_box.h"

inline constexpr int kSlotCount = 300;
inline constexpr int kSlotSize = 64;

extern const char kLanguageTable[kSlotCount][kSlotSize];

// Copies slot n of the current language, terminator included, into a 64-byte destination.
void CopySlotText(char* destination, int slot);
// The text ShowSlotMessage shows: the slot text, then ": %ld" when the code is not 0.
void BuildSlotMessage(char out[80], int textSlot, int32_t code);
// Information icon below slot 80, error icon from 80 up.
platform::MessageIcon SlotMessageIcon(int textSlot);
void ShowSlotMessage(platform::WindowHandle owner, int textSlot, int captionSlot, int32_t code);
// A port that would not open: slot 85 under caption slot 5. When the last open on this thread
// was refused for lack of permission, a second line in the current language names the group
// that owns the device and what to do, for a user who never sees stderr.
void ShowPortNotOpenMessage(platform::WindowHandle owner);
