// The menu bars 1044 (English), 1144 (German) and 1244 (Danish) as data: the same structure and
// command ids in every language, only the texts (Windows-1252, "&" before the mnemonic) differ.
#pragma once

#include "platform/menu.h"

// resourceId is 1044, 1144 or 1244; any other id gives nullptr.
const platform::MenuResource* FindMenuResource(int resourceId);
