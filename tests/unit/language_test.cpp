#include "app/language.h"

#include <cstring>
#include <string>

#include "app/settings.h"
#include "file_test_support.h"
#include "resources/menus.h"

namespace {

class Language : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsDefaults(settings);
        StartRecordingBoxes();
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        SetSettingsDefaults(settings);
    }
    static std::string Slot(int slot) {
        char text[kSlotSize];
        CopySlotText(text, slot);
        return text;
    }
};

TEST_F(Language, GermanMessageWithCaption) {
    settings.languageBase = 100;
    ShowSlotMessage(nullptr, 85, 5, 0);
    ASSERT_EQ(recordedBoxes.size(), 1u);
    EXPECT_EQ(recordedBoxes[0].text, "Schnittstelle besetzt oder nicht vorhanden");
    EXPECT_EQ(recordedBoxes[0].caption, "Kommunikation");
    EXPECT_EQ(recordedBoxes[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(recordedBoxes[0].buttons, platform::MessageButtons::Ok);

    ShowSlotMessage(nullptr, 70, 34, 2);
    ASSERT_EQ(recordedBoxes.size(), 2u);
    EXPECT_EQ(recordedBoxes[1].icon, platform::MessageIcon::Information);
    EXPECT_EQ(recordedBoxes[1].caption, "Korvex Konfiguration");
}

TEST_F(Language, CodeSuffix) {
    char out[80];
    BuildSlotMessage(out, 85, -1);
    EXPECT_STREQ(out, "Comm Port occupied or non-existing: -1");
    BuildSlotMessage(out, 85, 0);
    EXPECT_STREQ(out, "Comm Port occupied or non-existing");
    BuildSlotMessage(out, 83, 30003);
    EXPECT_STREQ(out, "Error opening configuration file: 30003");
    // The longest text with the longest code still fits the buffer.
    settings.languageBase = 100;
    BuildSlotMessage(out, 84, INT32_MIN);
    EXPECT_STREQ(out,
                 "Nicht eine Korvex-Datei,\neinlesen von Parametern unterbrochen!: -2147483648");
}

TEST_F(Language, IconFollowsTextSlot) {
    EXPECT_EQ(SlotMessageIcon(0), platform::MessageIcon::Information);
    EXPECT_EQ(SlotMessageIcon(79), platform::MessageIcon::Information);
    EXPECT_EQ(SlotMessageIcon(80), platform::MessageIcon::Error);
    EXPECT_EQ(SlotMessageIcon(98), platform::MessageIcon::Error);
}

TEST_F(Language, SlotsAreTerminatedAndEmptyWhereUnused) {
    auto unused = [](int n) {
        return (n >= 36 && n <= 49) || (n >= 63 && n <= 69) || (n >= 72 && n <= 79) || n == 99;
    };
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const char* text = kLanguageTable[slot];
        const void* end = std::memchr(text, 0, kSlotSize);
        ASSERT_NE(end, nullptr) << "slot " << slot;
        const auto length = static_cast<const char*>(end) - text;
        for (int i = static_cast<int>(length); i < kSlotSize; ++i) {
            ASSERT_EQ(text[i], 0) << "slot " << slot;
        }
        EXPECT_EQ(length == 0, unused(slot % 100)) << "slot " << slot;
    }
}

TEST_F(Language, PrintLabelsAreThirteenCharacters) {
    for (int slot = 50; slot <= 62; ++slot) {
        for (int base : {0, 100, 200}) {
            const char* text = kLanguageTable[base + slot];
            EXPECT_EQ(std::strlen(text), 13u) << "slot " << base + slot;
            EXPECT_STREQ(text + 11, ": ") << "slot " << base + slot;
        }
    }
}

TEST_F(Language, Windows1252Bytes) {
    EXPECT_STREQ(kLanguageTable[100],
                 "\xDC"
                 "ber");
    EXPECT_STREQ(kLanguageTable[113], "Polarit\xE4t");
    EXPECT_STREQ(kLanguageTable[196],
                 "Fehler beim Schlie\xDF"
                 "en der Datei...");
    EXPECT_STREQ(kLanguageTable[181],
                 "Parameter nicht korrekt \xFC"
                 "bertragen!");
    EXPECT_STREQ(kLanguageTable[210],
                 "Timeromr\xE5"
                 "de");
    EXPECT_STREQ(kLanguageTable[259], "Gr\xE6nsev\xE6rdi: ");
    EXPECT_STREQ(kLanguageTable[1], "Yes ");  // trailing blanks belong to the text
    EXPECT_STREQ(kLanguageTable[282],
                 "Timeout p\xE5 bekr\xE6"
                 "ftelse af parametre.\nVenligst kontroller!");
}

TEST_F(Language, CopyFollowsLanguageBaseAndStaysInTable) {
    settings.languageBase = 200;
    EXPECT_EQ(Slot(34), "Korvex Konfigurationsv\xE6rkt\xF8j");
    EXPECT_EQ(Slot(40), "");
    settings.languageBase = 50;  // never read from a file, but must not leave the table
    EXPECT_EQ(Slot(34), "Korvex Configuration tool");
    EXPECT_EQ(Slot(100), "");
    EXPECT_EQ(Slot(-1), "");
}

TEST(Menus, SameStructureInEveryLanguage) {
    const platform::MenuResource* english = FindMenuResource(1044);
    ASSERT_NE(english, nullptr);
    EXPECT_EQ(FindMenuResource(1045), nullptr);
    for (int id : {1144, 1244}) {
        const platform::MenuResource* other = FindMenuResource(id);
        ASSERT_NE(other, nullptr);
        ASSERT_EQ(other->count, english->count);
        for (int i = 0; i < english->count; ++i) {
            EXPECT_EQ(other->entries[i].kind, english->entries[i].kind) << id << " entry " << i;
            EXPECT_EQ(other->entries[i].commandId, english->entries[i].commandId);
        }
    }
}

TEST(Menus, EnglishLayout) {
    using K = platform::MenuEntryKind;
    const platform::MenuResource* menu = FindMenuResource(1044);
    ASSERT_NE(menu, nullptr);
    int depth = 0;
    std::string bar;
    std::vector<int> ids;
    for (int i = 0; i < menu->count; ++i) {
        const platform::MenuEntry& e = menu->entries[i];
        if (e.kind == K::Popup || e.kind == K::BarItem) {
            ASSERT_EQ(depth, 0);
            bar += std::string(e.text) + "|";
        }
        depth += e.kind == K::Popup ? 1 : e.kind == K::EndPopup ? -1 : 0;
        if (e.kind == K::Item) {
            ASSERT_EQ(depth, 1);
            ids.push_back(e.commandId);
        }
        if (e.kind == K::BarItem || e.kind == K::Item) {
            ASSERT_NE(e.commandId, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(bar, "&File|&Communication|&Parameters|&Roll|Prin&t|Language|&About|");
    EXPECT_EQ(ids,
              (std::vector<int>{2009, 2010, 105,  2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008,
                                2035, 2016, 2017, 2018, 2021, 2034, 2033, 2027, 2127, 2227}));
}

TEST(Menus, TranslatedTexts) {
    auto textOf = [](int resource, int commandId) -> std::string {
        const platform::MenuResource* menu = FindMenuResource(resource);
        for (int i = 0; i < menu->count; ++i) {
            if (menu->entries[i].commandId == commandId) {
                return menu->entries[i].text;
            }
        }
        return "?";
    };
    EXPECT_EQ(textOf(1144, 2227), "D\xE4nisc&h");
    EXPECT_EQ(textOf(1144, 103),
              "&\xDC"
              "ber");
    EXPECT_EQ(textOf(1244, 2033), "&Sk\xE6rmdump");
    EXPECT_EQ(textOf(1244, 2000), "&Parametre");
    EXPECT_EQ(textOf(1144, 2021), "Stop bei &Alarm");
    EXPECT_EQ(textOf(1244, 2004), "COM &4");
}

}  // namespace
