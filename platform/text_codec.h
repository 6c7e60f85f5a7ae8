// The program's texts are Windows-1252 bytes; the desktop shows Unicode. Conversion happens only
// where a text is handed to the window system.
#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace platform {

QString FromWindows1252(std::string_view text);
// Characters that Windows-1252 lacks become '?'.
QByteArray ToWindows1252(const QString& text);

}  // namespace platform
