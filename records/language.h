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
