#include "params/parameter_check.h"

#include "params/parameter_set.h"

int FirstOutOfBandWord(const uint8_t record[kParameterFileSize]) {
    for (int i = 0; i < kParameterCount; ++i) {
        const auto word = static_cast<uint16_t>(record[2 * i] | (record[2 * i + 1] << 8));
        if (word >= kParameterTable[i].bandSpan) {
            return i;
        }
    }
    return -1;
}

int32_t CheckParameterRecord(const uint8_t record[kParameterFileSize]) {
    return FirstOutOfBandWord(record) < 0 ? 0 : kResultNotParameterFile;
}
