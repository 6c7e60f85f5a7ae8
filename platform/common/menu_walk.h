// How every back end reads the menu data into its menus: popups open and close in order, an item
// goes into the innermost open popup (onto the bar when none is open), a bar item onto the bar
// whatever is open, and a separator outside any popup or an unmatched end is dropped.
#pragma once

#include <vector>

#include "platform/menu.h"

namespace platform {

// Menu is the back end's handle of a bar or popup; bar is the bar's. addPopup(parent, text)
// returns the new popup, addItem(parent, text, commandId) and addSeparator(parent) add to it.
// Texts are the data's own (Windows-1252), never null.
template <typename Menu, typename AddPopup, typename AddItem, typename AddSeparator>
void WalkMenu(const MenuResource& menu, Menu bar, AddPopup addPopup, AddItem addItem,
              AddSeparator addSeparator) {
    std::vector<Menu> open;
    for (int i = 0; i < menu.count; ++i) {
        const MenuEntry& entry = menu.entries[i];
        const char* text = entry.text != nullptr ? entry.text : "";
        const Menu parent = open.empty() ? bar : open.back();
        switch (entry.kind) {
            case MenuEntryKind::Popup:
                open.push_back(addPopup(parent, text));
                break;
            case MenuEntryKind::Item:
                addItem(parent, text, entry.commandId);
                break;
            case MenuEntryKind::Separator:
                if (!open.empty()) {
                    addSeparator(parent);
                }
                break;
            case MenuEntryKind::EndPopup:
                if (!open.empty()) {
                    open.pop_back();
                }
                break;
            case MenuEntryKind::BarItem:
                addItem(bar, text, entry.commandId);
                break;
        }
    }
}

}  // namespace platform
