// Wall-clock date and time texts in the user's locale, for printouts.
#pragma once

namespace platform {

// The current date in the user's long date format and the current time without seconds, as
// Windows-1252 texts (characters it lacks become '?'). A text longer than size - 1 bytes is
// cut after its last whole character that fits, and always terminated.
void FormatCurrentLongDate(char* out, int size);
void FormatCurrentTime(char* out, int size);

}  // namespace platform
