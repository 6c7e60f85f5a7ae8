// Qt's own texts in the stock dialogs (file dialogs, the buttons of message boxes, the print
// dialog) in the language the program shows, from the translations Qt ships for it.
#pragma once

namespace platform {

// language: a two-letter code ("en", "de", "da"). Dialogs created afterwards use it; a dialog
// already open keeps its texts. Returns false when Qt has no translation installed for the
// language, whose dialogs then show Qt's English texts.
bool SetStockDialogLanguage(const char* language);

}  // namespace platform
