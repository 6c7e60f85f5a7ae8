// Windows' stock dialogs (open and save, the buttons of message boxes, the print dialog) come in
// the language of the user's Windows, as they do in every other program there; the program's
// language choice does not reach them, and nothing needs installing.
#include "platform/stock_dialog_language.h"

namespace platform {

bool SetStockDialogLanguage(const char*) {
    return true;
}

}  // namespace platform
