#include "resources/menus.h"

#include <iterator>

namespace {

using platform::MenuEntry;
using platform::MenuEntryKind;
using platform::MenuResource;

// Each bar lists its popups in order, every popup closed by an EndPopup; separators and ends
// carry an empty text. Parameters and About are commands on the bar itself.
// clang-format off
const MenuEntry kEnglishMenu[] = {
    {MenuEntryKind::Popup, 0, "&File"},
    {MenuEntryKind::Item, 2009, "&Save Parameters"},
    {MenuEntryKind::Item, 2010, "&Load Parameters"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 105, "&Exit"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "&Communication"},
    {MenuEntryKind::Item, 2001, "COM &1"},
    {MenuEntryKind::Item, 2002, "COM &2"},
    {MenuEntryKind::Item, 2003, "COM &3"},
    {MenuEntryKind::Item, 2004, "COM &4"},
    {MenuEntryKind::Item, 2005, "COM &5"},
    {MenuEntryKind::Item, 2006, "COM &6"},
    {MenuEntryKind::Item, 2007, "COM &7"},
    {MenuEntryKind::Item, 2008, "COM &8"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2035, "&Auto connect"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 2000, "&Parameters"},
    {MenuEntryKind::Popup, 0, "&Roll"},
    {MenuEntryKind::Item, 2016, "&10s"},
    {MenuEntryKind::Item, 2017, "&30s"},
    {MenuEntryKind::Item, 2018, "&60s"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2021, "&Stop at Alarm"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "Prin&t"},
    {MenuEntryKind::Item, 2034, "&Printer"},
    {MenuEntryKind::Item, 2033, "&Screen dump"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "Language"},
    {MenuEntryKind::Item, 2027, "&English"},
    {MenuEntryKind::Item, 2127, "&German"},
    {MenuEntryKind::Item, 2227, "&Danish"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 103, "&About"},
};

const MenuEntry kGermanMenu[] = {
    {MenuEntryKind::Popup, 0, "&Datei"},
    {MenuEntryKind::Item, 2009, "Parameter &speichern"},
    {MenuEntryKind::Item, 2010, "Parameter &laden"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 105, "&Beenden"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "&Kommunikation"},
    {MenuEntryKind::Item, 2001, "COM &1"},
    {MenuEntryKind::Item, 2002, "COM &2"},
    {MenuEntryKind::Item, 2003, "COM &3"},
    {MenuEntryKind::Item, 2004, "COM &4"},
    {MenuEntryKind::Item, 2005, "COM &5"},
    {MenuEntryKind::Item, 2006, "COM &6"},
    {MenuEntryKind::Item, 2007, "COM &7"},
    {MenuEntryKind::Item, 2008, "COM &8"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2035, "&Autoanschluss"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 2000, "&Parameter"},
    {MenuEntryKind::Popup, 0, "&Roll"},
    {MenuEntryKind::Item, 2016, "&10s"},
    {MenuEntryKind::Item, 2017, "&30s"},
    {MenuEntryKind::Item, 2018, "&60s"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2021, "Stop bei &Alarm"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "Dr&ucken"},
    {MenuEntryKind::Item, 2034, "&Drucker"},
    {MenuEntryKind::Item, 2033, "&Bildschirm speichern"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "&Sprache"},
    {MenuEntryKind::Item, 2027, "&Englisch"},
    {MenuEntryKind::Item, 2127, "&Deutsch"},
    {MenuEntryKind::Item, 2227, "D\xE4nisc&h"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 103, "&\xDC" "ber"},
};

const MenuEntry kDanishMenu[] = {
    {MenuEntryKind::Popup, 0, "&Fil"},
    {MenuEntryKind::Item, 2009, "&Gem Parametre"},
    {MenuEntryKind::Item, 2010, "&Hent Parametre"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 105, "&Afslut"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "&Kommunikation"},
    {MenuEntryKind::Item, 2001, "COM &1"},
    {MenuEntryKind::Item, 2002, "COM &2"},
    {MenuEntryKind::Item, 2003, "COM &3"},
    {MenuEntryKind::Item, 2004, "COM &4"},
    {MenuEntryKind::Item, 2005, "COM &5"},
    {MenuEntryKind::Item, 2006, "COM &6"},
    {MenuEntryKind::Item, 2007, "COM &7"},
    {MenuEntryKind::Item, 2008, "COM &8"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2035, "&Autokonnekt"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 2000, "&Parametre"},
    {MenuEntryKind::Popup, 0, "&Rul"},
    {MenuEntryKind::Item, 2016, "&10s"},
    {MenuEntryKind::Item, 2017, "&30s"},
    {MenuEntryKind::Item, 2018, "&60s"},
    {MenuEntryKind::Separator, 0, ""},
    {MenuEntryKind::Item, 2021, "&Stop ved Alarm"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "Prin&t"},
    {MenuEntryKind::Item, 2034, "&Printer"},
    {MenuEntryKind::Item, 2033, "&Sk\xE6rmdump"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::Popup, 0, "&Sprog"},
    {MenuEntryKind::Item, 2027, "&Engelsk"},
    {MenuEntryKind::Item, 2127, "&Tysk"},
    {MenuEntryKind::Item, 2227, "&Dansk"},
    {MenuEntryKind::EndPopup, 0, ""},
    {MenuEntryKind::BarItem, 103, "&Omkring"},
};
// clang-format on

const MenuResource kMenus[] = {
    {1044, kEnglishMenu, static_cast<int>(std::size(kEnglishMenu))},
    {1144, kGermanMenu, static_cast<int>(std::size(kGermanMenu))},
    {1244, kDanishMenu, static_cast<int>(std::size(kDanishMenu))},
};

}  // namespace

const platform::MenuResource* FindMenuResource(int resourceId) {
    for (const MenuResource& menu : kMenus) {
        if (menu.resourceId == resourceId) {
            return &menu;
        }
    }
    return nullptr;
}
