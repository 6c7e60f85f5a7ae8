// The check a parameter record must pass before its words go to a device: every word must lie
// inside its own receive band, or it would travel in another word's code band and set that word.
#pragma once

#include <cstdint>

#include "params/parameter_file.h"

// Index of the first word of the 88-byte record whose value lies outside its band, or -1.
int FirstOutOfBandWord(const uint8_t record[kParameterFileSize]);
// 0 when every word is inside its band, else kResultNotParameterFile (the slot 84 meaning).
int32_t CheckParameterRecord(const uint8_t record[kParameterFileSize]);
