// Parameter files "*.KVX": exactly 88 bytes, the 22 device words (little-endian) followed by the
// 44-byte identity text. No header, so any 88-byte file loads.
#pragma once

#include <cstdint>

inline constexpr int kParameterFileSize = 88;
inline constexpr int32_t kResultNotParameterFile = 30001;
inline constexpr int32_t kResultNothingMore = 30002;

// The record image of the device copy and identity, and back into them.
void BuildParameterRecord(uint8_t out[kParameterFileSize]);
void ApplyParameterRecord(const uint8_t in[kParameterFileSize]);

// Writes the record to path, whole or not at all: 0, or the system error code when the file
// cannot be made. Shows slot 88 when the bytes could not be stored; the old file then stays.
int32_t WriteParameterFile(const char* path);
// Reads the record from path into the device copy and identity: 0; kResultNothingMore after
// showing slot 87 when the file is shorter than 88 bytes; kResultNotParameterFile when a word
// lies outside its transfer band; or the system error code. Only a 0 result replaces anything.
int32_t ReadParameterFile(const char* path);
