#include "params/parameter_set.h"

const ParameterInfo kParameterTable[kParameterCount] = {};
int FindParameterBand(uint16_t) { return -1; }
void CopyDeviceToEdit() {}
void FormatTimeText(uint16_t, char out[16]) { out[0] = 0; }
uint16_t ParseTimeText(const char*, int) { return 0; }
void RescaleTimes(uint16_t) {}
