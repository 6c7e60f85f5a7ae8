// The program's texts are Windows-1252 bytes; the desktop shows Unicode. Conversion happens only
// where a text is handed to the window system or read back from it.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform {

QString FromWindows1252(std::string_view text);
// Characters that Windows-1252 cannot hold become "?".
std::string ToWindows1252(const QString& text);

}  // namespace platform
