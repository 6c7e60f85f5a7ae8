// The screen dump: the description block at every display depth, files that Qt's own image
// reader opens with the right pixels, and the failures a user meets, under the caption "Screen
// Dump". The dump of the real window is saved under Xvfb (xvfb/keyboard_file_load_test.cpp).
#include "output/screen_dump.h"

#include <QImage>

#include "platform/file_dialog.h"
#include "window_fixture.h"

namespace {

std::string bmpTarget;  // empty: the dialog is cancelled
int dialogsShown = 0;

uint32_t AnswerSaveDialog(platform::FileDialogKind kind, const platform::FileDialogSpec& files,
                          char* path, int size) {
    ++dialogsShown;
    EXPECT_EQ(kind, platform::FileDialogKind::Save);
    EXPECT_TRUE(files.overwritePrompt);
    std::snprintf(path, static_cast<size_t>(size), "%s", bmpTarget.c_str());
    return 0;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
}  // namespace

class ScreenDump : public KvxWindowTest {
  protected:
    void SetUp() override {
        KvxWindowTest::SetUp();
        platform::SetFileDialogHook(AnswerSaveDialog);
        bmpTarget = (dir / "shot.bmp").string();
        dialogsShown = 0;
    }
    void TearDown() override {
        platform::SetFileDialogHook(nullptr);
        KvxWindowTest::TearDown();
    }
    // The file written for a bitmap, through the save dialog's hook.
    std::vector<uint8_t> Dump(platform::BitmapHandle bitmap) {
        std::filesystem::remove(bmpTarget);
        WriteBitmapFile(window, BuildBitmapInfo(window, bitmap), bitmap);
        return ReadBytes(bmpTarget);
    }
};

TEST_F(ScreenDump, DescriptionAndFileAtEveryDepthReadBackByQt) {
    // A 5 x 3 picture: odd width, so every depth pads its rows; distinct top and bottom rows.
    const uint32_t k = 0, w = platform::Rgb(255, 255, 255), r = platform::Rgb(255, 0, 0),
                   cyan = platform::Rgb(0, 255, 255);
    const std::vector<uint32_t> picture = {w, k, r, cyan, w, k, k, w, w, k, r, r, k, cyan, cyan};
    const struct {
        int depth;
        uint32_t colours, offset, rowBytes;
    } cases[] = {{1, 2, 62, 4},           {4, 16, 118, 4}, {8, 256, 1078, 8},
                 {16, 65536, 262198, 12}, {24, 0, 54, 16}, {32, 0, 54, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        platform::BitmapHandle bitmap = platform::CreateBitmap(5, 3, c.depth, picture.data());
        const std::vector<uint8_t> file = Dump(bitmap);
        platform::DeleteBitmap(bitmap);
        ASSERT_GT(file.size(), 54u);
        // "BM", file size, pixel offset, header size, width, height (positive: bottom row first),
        // planes, depth, no compression, pixel bytes, colours.
        const uint32_t size = c.offset + 3 * c.rowBytes;
        EXPECT_EQ(file.size(), size);
        EXPECT_EQ(
            (std::vector<uint32_t>{Le16(file, 0), Le32(file, 2), Le32(file, 10), Le32(file, 14),
                                   Le32(file, 18), Le32(file, 22), Le16(file, 26), Le16(file, 28),
                                   Le32(file, 30), Le32(file, 34), Le32(file, 46)}),
            (std::vector<uint32_t>{'B' | 'M' << 8, size, c.offset, 40, 5, 3, 1,
                                   static_cast<uint32_t>(c.depth), 0, 3 * c.rowBytes, c.colours}));
        QImage read;
        ASSERT_TRUE(read.loadFromData(file.data(), static_cast<int>(file.size()), "BMP"));
        ASSERT_EQ(read.size(), QSize(5, 3));
        for (int i = 0; i < 15; ++i) {
            // Five bits per colour at 16 bits; the reader leaves the low bits clear.
            const uint32_t want =
                picture[static_cast<size_t>(i)] & (c.depth == 16 ? 0xF8F8F8 : ~0u);
            const uint32_t got =
                platform::Rgb(qRed(read.pixel(i % 5, i / 5)), qGreen(read.pixel(i % 5, i / 5)),
                              qBlue(read.pixel(i % 5, i / 5)));
            // One bit per pixel keeps black and white only.
            if (c.depth > 1 || want == k || want == w) {
                EXPECT_EQ(got, want) << i;
            }
        }
    }
    EXPECT_EQ(dialogsShown, 6);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ScreenDump, FailuresShowTheirSlotAndWriteNothingNew) {
    ASSERT_NE(Start(), nullptr);
    boxes.clear();
    // Cancel: nothing shown, nothing written.
    bmpTarget.clear();
    RunScreenDumpCommand(window);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialogsShown, 1);

    // A folder the program may not write to. Root writes anywhere, so then sysfs stands in.
    const auto locked = dir / "locked";
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool rootWrites = access(locked.c_str(), W_OK) == 0;
    bmpTarget = rootWrites ? "/sys/kvx_dump.bmp" : (locked / "shot.bmp").string();
    RunScreenDumpCommand(window);
    EXPECT_FALSE(std::filesystem::exists(bmpTarget));
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_TRUE(std::filesystem::is_empty(locked));

    EXPECT_EQ(boxes, (std::vector<std::string>{"Error creating the BMP-file: 13|Screen Dump"}));

    // The dump is saved as every file is (a full disc: FailedSave); here it stops half-way and
    // the old picture stays.
    bmpTarget = (dir / "shot.bmp").string();
    const std::vector<uint8_t> old(1000, 0xEE);
    WriteBytes(bmpTarget, old);
    const std::vector<std::string> before = FolderNames(dir.string());
    boxes.clear();
    {
        FileSizeLimit limited(30);  // the file stops growing in the description's middle
        RunScreenDumpCommand(window);
    }
    EXPECT_EQ(ReadBytes(bmpTarget), old);
    EXPECT_EQ(FolderNames(dir.string()), before);
    EXPECT_FALSE(boxes.empty());
    EXPECT_EQ(boxes,
              std::vector<std::string>(boxes.size(), "Error Writing file to disc|Screen Dump"));
}
