#include "app/settings.h"

void SetSettingsDefaults(SettingsRecord&) {}
void SettingsToBytes(const SettingsRecord&, uint8_t*) {}
void SettingsFromBytes(SettingsRecord&, const uint8_t*, int) {}
int32_t LoadSettings(SettingsRecord&, const char*) { return 0; }
int32_t SaveSettings(const SettingsRecord&, const char*) { return 0; }
