#include "records/language.h"

#include <cstring>

#include "resources/menus.h"
#include "unit/test_support.h"

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
};

TEST_F(Language, MessageBoxesFollowTheConvention) {
    settings.languageBase = 100;
    ShowSlotMessage(nullptr, 85, 5, 0);
    ShowSlotMessage(nullptr, 79, 34, -1);
    ASSERT_EQ(recordedBoxes.size(), 2u);
    EXPECT_EQ(recordedBoxes[0].text, "Schnittstelle besetzt oder nicht vorhanden");
    EXPECT_EQ(recordedBoxes[0].caption, "Kommunikation");
    EXPECT_EQ(recordedBoxes[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(recordedBoxes[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(recordedBoxes[1].text, ": -1");  // slot 79 is empty
    EXPECT_EQ(recordedBoxes[1].icon, platform::MessageIcon::Information);

    // The longest text with the longest code still fits the 80-byte buffer.
    char out[80];
    BuildSlotMessage(out, 84, INT32_MIN);
    EXPECT_STREQ(out,
                 "Nicht eine Korvex-Datei,\neinlesen von Parametern unterbrochen!: -2147483648");
}

TEST_F(Language, SlotsAreTerminatedLaidOutAndChosenByTheLanguageBase) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const char* text = kLanguageTable[slot];
        const auto* end = static_cast<const char*>(std::memchr(text, 0, kSlotSize));
        ASSERT_NE(end, nullptr) << slot;
        ASSERT_EQ(std::string(end, text + kSlotSize),
                  std::string(size_t(text + kSlotSize - end), '\0'))
            << slot;  // zero to the end
        const int n = slot % 100;
        const bool unused =
            (n >= 36 && n <= 49) || (n >= 63 && n <= 69) || (n >= 72 && n <= 79) || n == 99;
        EXPECT_EQ(end == text, unused) << slot;
        if (n >= 50 && n <= 62) {  // print labels: 11 characters, a colon and a blank
            EXPECT_EQ(end - text, 13) << slot;
            EXPECT_STREQ(text + 11, ": ") << slot;
        }
    }
    char text[kSlotSize];
    settings.languageBase = 200;
    CopySlotText(text, 34);
    EXPECT_STREQ(text, "Korvex Konfigurationsv\xE6rkt\xF8j");
    settings.languageBase = 50;  // never taken from a file, but must not leave the table
    CopySlotText(text, 34);
    EXPECT_STREQ(text, "Korvex Configuration tool");
    CopySlotText(text, 100);
    EXPECT_STREQ(text, "");
}

TEST(Menus, SameStructureInEveryLanguage) {
    using K = platform::MenuEntryKind;
    const platform::MenuResource* english = FindMenuResource(1044);
    ASSERT_NE(english, nullptr);
    EXPECT_EQ(FindMenuResource(1045), nullptr);
    std::string bar;
    std::vector<int> ids;
    for (int i = 0; i < english->count; ++i) {
        const platform::MenuEntry& e = english->entries[i];
        bar += e.kind == K::Popup || e.kind == K::BarItem ? std::string(e.text) + "|" : "";
        if (e.kind == K::Item || e.kind == K::BarItem || e.kind == K::Separator) {
            ids.push_back(e.commandId);
        }
    }
    EXPECT_EQ(bar, "&File|&Communication|&Parameters|&Roll|Prin&t|Language|&About|");
    EXPECT_EQ(ids, (std::vector<int>{2009, 2010, 0,    105,  2001, 2002, 2003, 2004, 2005,
                                     2006, 2007, 2008, 0,    2035, 2000, 2016, 2017, 2018,
                                     0,    2021, 2034, 2033, 2027, 2127, 2227, 103}));
    for (int id : {1144, 1244}) {
        const platform::MenuResource* other = FindMenuResource(id);
        ASSERT_EQ(other->count, english->count);
        for (int i = 0; i < english->count; ++i) {
            EXPECT_EQ(other->entries[i].kind, english->entries[i].kind) << id << " " << i;
            EXPECT_EQ(other->entries[i].commandId, english->entries[i].commandId);
        }
    }
    EXPECT_STREQ(FindMenuResource(1244)->entries[english->count - 1].text, "&Omkring");
}

}  // namespace
