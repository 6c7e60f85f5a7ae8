#include "platform/text_codec.h"

namespace platform {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned codes map to
// their C1 control points, as the system converter does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString FromWindows1252(std::string_view text) {
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F) {
            result.append(QChar(kHighControls[byte - 0x80]));
        } else {
            result.append(QChar(static_cast<char16_t>(byte)));
        }
    }
    return result;
}

QByteArray ToWindows1252(const QString& text) {
    QByteArray result;
    result.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        char byte = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            byte = static_cast<char>(u);
        } else {
            for (int i = 0; i < 32; ++i) {
                if (kHighControls[i] == u) {
                    byte = static_cast<char>(0x80 + i);
                    break;
                }
            }
        }
        result.append(byte);
    }
    return result;
}

}  // namespace platform
