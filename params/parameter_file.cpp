#include "params/parameter_file.h"

void BuildParameterRecord(uint8_t*) {}
void ApplyParameterRecord(const uint8_t*) {}
int32_t WriteParameterFile(const char*) { return 0; }
int32_t ReadParameterFile(const char*) { return 0; }
