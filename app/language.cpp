#include "app/language.h"

const char kLanguageTable[kSlotCount][kSlotSize] = {};
void CopySlotText(char* destination, int) { destination[0] = 0; }
void BuildSlotMessage(char out[80], int, int32_t) { out[0] = 0; }
platform::MessageIcon SlotMessageIcon(int) { return platform::MessageIcon::Information; }
void ShowSlotMessage(platform::WindowHandle, int, int, int32_t) {}
