#include "platform/date_time.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/text_codec.h"

namespace platform {
namespace {

// Windows-1252 has one byte per character, so any cut of the converted text falls between two
// whole characters.
void CopyOut(const QString& text, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return;
    }
    const std::string bytes = ToWindows1252(text);
    const int length = std::min(static_cast<int>(bytes.size()), size - 1);
    std::memcpy(out, bytes.data(), static_cast<size_t>(length));
    out[length] = '\0';
}

}  // namespace

void FormatCurrentLongDate(char* out, int size) {
    CopyOut(QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat), out, size);
}

void FormatCurrentTime(char* out, int size) {
    // The locale's short time format without its seconds and the separator before them
    // ("HH:mm:ss" becomes "HH:mm", "h:mm:ss AP" becomes "h:mm AP").
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[^HhmAaPp]*s+(\\.z+)?")));
    CopyOut(locale.toString(QTime::currentTime(), format.trimmed()), out, size);
}

}  // namespace platform
