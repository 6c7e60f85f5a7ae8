// The program's texts are Windows-1252 bytes; the desktop shows Unicode. Conversion happens only
// where a text is handed to the window system.
#pragma once

#include <QString>
#include <string_view>

namespace platform {

QString FromWindows1252(std::string_view text);

}  // namespace platform
