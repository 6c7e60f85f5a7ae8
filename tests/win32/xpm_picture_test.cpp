// The XPM reader behind the window icon and the About logo: colours in every form the program's
// pictures use, "None" transparent, and data with holes refused rather than shown wrong.
#include "platform/win32/xpm_picture.h"

#include <gtest/gtest.h>

namespace {

TEST(XpmPicture, ColoursInEveryFormAndNoneTransparent) {
    const char* const xpm[] = {"4 2 4 1",     ". c None", "a c #1A2B3C", "b c #F80",
                               "w\tc\twhite", ".abw",     "wba."};
    platform::XpmPicture picture;
    ASSERT_TRUE(platform::ReadXpm(xpm, &picture));
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.height, 2);
    const std::vector<uint32_t> expected = {0x00000000, 0xFF1A2B3C, 0xFFFF8800, 0xFFFFFFFF,
                                            0xFFFFFFFF, 0xFFFF8800, 0xFF1A2B3C, 0x00000000};
    EXPECT_EQ(picture.argb, expected);
}

TEST(XpmPicture, DataWithHolesIsRefused) {
    const char* const shortRow[] = {"2 2 1 1", "a c #000000", "aa", "a"};
    const char* const noColourLine[] = {"1 1 2 1", "a c #000000", nullptr};
    const char* const badHeader[] = {"2 x 1 1", "a c #000000", "aa"};
    platform::XpmPicture picture;
    EXPECT_FALSE(platform::ReadXpm(shortRow, &picture));
    EXPECT_FALSE(platform::ReadXpm(noColourLine, &picture));
    EXPECT_FALSE(platform::ReadXpm(badHeader, &picture));
    EXPECT_FALSE(platform::ReadXpm(nullptr, &picture));
}

}  // namespace
