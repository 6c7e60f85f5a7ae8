// The menu bars 1044 (English), 1144 (German) and 1244 (Danish) as data: the same structure and
// command ids in every language, only the texts (Windows-1252, "&" before the mnemonic) differ.
#pragma once

enum class MenuEntryKind { Popup, Item, Separator, EndPopup, BarItem };

struct MenuEntry {
    MenuEntryKind kind;
    int commandId;  // 0 for popups, separators and ends
    const char* text;
};

struct MenuResource {
    int resourceId;
    const MenuEntry* entries;
    int count;
};

// resourceId is 1044, 1144 or 1244; any other id gives nullptr.
const MenuResource* FindMenuResource(int resourceId);
