#include "platform/text_codec.h"

#include "platform/console.h"

namespace platform {

QString FromWindows1252(std::string_view text) {
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        result.append(QChar(static_cast<char16_t>(Windows1252CodePoint(static_cast<uint8_t>(c)))));
    }
    return result;
}

}  // namespace platform
