#include "platform/common/dialog_support.h"

#include <algorithm>
#include <cstring>

#include "platform/dialog.h"
#include "platform/number_text.h"

namespace platform {

int CopyItemText(std::string_view text, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return 0;
    }
    const size_t count = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, text.data(), count);
    out[count] = 0;
    return static_cast<int>(count);
}

void SetDlgItemInt(DialogHandle dialog, int controlId, uint32_t value) {
    char text[kNumberTextSize];
    FormatNumberText(value, text);
    SetDlgItemText(dialog, controlId, text);
}

// Read by the program's own rule rather than the window system's (which takes a sign and stops at
// the first other character).
uint32_t GetDlgItemInt(DialogHandle dialog, int controlId) {
    char text[64];
    return ParseNumberText(text, GetDlgItemText(dialog, controlId, text, sizeof text));
}

}  // namespace platform
