// Date and time texts from the user's locale settings (GetDateFormatEx, GetTimeFormatEx),
// converted from UTF-16 to the program's Windows-1252.
#include "platform/date_time.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/win32.h"

namespace platform {

namespace {

void ToWindows1252(const wchar_t* text, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return;
    }
    const std::string converted = Windows1252FromWide(text);
    // Windows-1252 has one byte per character, so any cut is after a whole character.
    const size_t keep = std::min(converted.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, converted.data(), keep);
    out[keep] = 0;
}

}  // namespace

void FormatCurrentLongDate(char* out, int size) {
    wchar_t text[128] = L"";
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, text, 128,
                      nullptr);
    ToWindows1252(text, out, size);
}

void FormatCurrentTime(char* out, int size) {
    wchar_t text[128] = L"";
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, text, 128);
    ToWindows1252(text, out, size);
}

}  // namespace platform
