#include "platform/number_text.h"

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

int FormatNumberText(uint32_t value, char out[kNumberTextSize]) {
    char reversed[kNumberTextSize];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < count; ++i) {
        out[i] = reversed[count - 1 - i];
    }
    out[count] = 0;
    return count;
}

uint32_t ParseNumberText(const char* text, int length) {
    if (text == nullptr || length <= 0) {
        return 0;
    }
    // A terminator ends the text early, as it ends the field's text in its buffer.
    int end = 0;
    while (end < length && text[end] != 0) {
        ++end;
    }
    int at = 0;
    while (at < end && IsBlank(text[at])) {
        ++at;
    }
    uint64_t value = 0;
    int digits = 0;
    for (; at < end && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        value = value * 10 + static_cast<uint64_t>(text[at] - '0');
        if (value > 0xFFFFFFFFu) {
            return 0;
        }
    }
    while (at < end && IsBlank(text[at])) {
        ++at;
    }
    return digits > 0 && at == end ? static_cast<uint32_t>(value) : 0;
}

}  // namespace platform
