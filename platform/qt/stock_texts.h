// Platform-private: the few texts the platform's own dialogs add to Qt's (the question before
// an open creates a missing file), in the language of the stock dialogs.
#pragma once

#include <QString>

namespace platform {

// "<path>\nThis file does not exist.\nCreate the file?" in the current stock language.
QString CreateFileQuestion(const QString& path);

}  // namespace platform
