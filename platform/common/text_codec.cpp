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

std::string ToWindows1252(const QString& text) {
    std::string result;
    result.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) {
        const char16_t code = c.unicode();
        char byte = '?';
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            byte = static_cast<char>(code);
        } else {
            for (int i = 0x80; i <= 0x9F; ++i) {
                if (Windows1252CodePoint(static_cast<uint8_t>(i)) == code) {
                    byte = static_cast<char>(i);
                    break;
                }
            }
        }
        result.push_back(byte);
    }
    return result;
}

}  // namespace platform
