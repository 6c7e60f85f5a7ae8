// Menu bars described as data: popups with items and separators, and commands directly on the
// bar. Texts are Windows-1252 with "&" before the mnemonic letter.
#pragma once

namespace platform {

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

}  // namespace platform
