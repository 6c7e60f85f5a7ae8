#include "records/language.h"

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

TEST_F(Language, SlotsAreChosenByTheLanguageBase) {
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

}  // namespace
