// Placeholder: the Win32 stock dialog language is being built; this lets KVXMon.exe link until it lands.
#include "platform/stock_dialog_language.h"

namespace platform {

bool SetStockDialogLanguage(const char*) { return false; }

}  // namespace platform
