// The parameter sheet driven as a user would, through the window system: typing into fields,
// moving the focus, choosing list items by keyboard, changing tabs, Return, Escape and the close
// box. What counts is what leaves on the wire: the words the link sends after OK.
#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <functional>

#include "link/transfer.h"
#include "params/property_sheet.h"
#include "platform/property_sheet.h"
#include "platform/qt/dialog_widgets.h"
#include "unit/test_support.h"

namespace {

using platform::DialogHandle;

// The user's hands on the open sheet.
struct Sheet {
    DialogHandle sheet;

    DialogHandle Page() const { return platform::CurrentSheetPage(sheet); }
    QWidget* Item(int id) const { return platform::DialogItemWidget(Page(), id); }
    bool Enabled(int id) const { return platform::IsDlgItemEnabled(Page(), id); }
    std::string Text(int id) const {
        char text[64];
        platform::GetDlgItemText(Page(), id, text, sizeof text);
        return text;
    }
    // A click on the tab.
    void Tab(int index) const {
        QTabBar* bar = platform::SheetTabs(sheet)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
    }
    // Into a field: focus it, replace its text (Backspace empties it).
    void Type(int id, const char* text) const {
        QWidget* field = Item(id);
        field->setFocus(Qt::MouseFocusReason);
        static_cast<QLineEdit*>(field)->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    // A list item chosen with the arrow keys from the present one.
    void Choose(int id, int index) const {
        auto* list = static_cast<QComboBox*>(Item(id));
        list->setFocus(Qt::MouseFocusReason);
        for (int i = list->currentIndex(); i < index; ++i) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        for (int i = list->currentIndex(); i > index; --i) {
            QTest::keyClick(list, Qt::Key_Up);
        }
    }
    void Return() const { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
    void Escape() const { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }
    void ClickOk() const {
        QTest::mouseClick(platform::DialogItemWidget(sheet, platform::kIdOk), Qt::LeftButton);
    }
    void CloseBox() const { platform::DialogWidget(sheet)->close(); }
};

std::function<void(const Sheet&)> script;  // what the user does once the dialog shows

// A plausible device: limit 1 a maximum at 90 %, limit 2 a minimum at 10 % without auto reset,
// hundredths; its three times differ, as do its setpoints and hysteresis values.
constexpr uint16_t kDevice[kParameterCount] = {2,  90, 120, 1,   5, 1, 10, 250, 0,   7,  1,
                                               50, 3,  0,   370, 0, 1, 0,  2,   100, 20, 0};

// What the link sends for the queued words, one per tick.
std::vector<uint16_t> DrainQueue() {
    std::vector<uint16_t> words;
    while (!CommandQueueEmpty()) {
        LinkTick();
        const auto sent = SentWords();
        words.insert(words.end(), sent.begin(), sent.end());
    }
    return words;
}

class SheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLinkState();
        for (int i = 0; i < kParameterCount; ++i) {
            parameterSet.deviceWords[i] = kDevice[i];
        }
        StartRecordingBoxes();
        platform::SetDialogShownHook([](DialogHandle dialog) { script(Sheet{dialog}); });
    }
    void TearDown() override {
        platform::SetDialogShownHook(nullptr);
        platform::SetMessageBoxHook(nullptr);
        script = nullptr;
    }
};

struct SheetCase {
    const char* name;
    std::vector<std::pair<int, uint16_t>> device;  // changes to the plausible device
    std::function<void(const Sheet&)> script;
    int result;
    std::vector<uint16_t> sent;
};

const SheetCase kSheetCases[] = {
    {"limit 1 off disables its fields; off again disables auto reset too",
     {{limit1Mode, 0}},
     [](const Sheet& s) {
         EXPECT_FALSE(s.Enabled(1011) || s.Enabled(1013) || s.Enabled(1012));
         EXPECT_TRUE(s.Enabled(1014));
         s.Choose(1010, 1);
         EXPECT_TRUE(s.Enabled(1011) && s.Enabled(1013) && s.Enabled(1014) && s.Enabled(1012));
         s.Choose(1014, 0);
         EXPECT_FALSE(s.Enabled(1012));
         s.Choose(1010, 0);
         EXPECT_FALSE(s.Enabled(1011) || s.Enabled(1013) || s.Enabled(1014) || s.Enabled(1012));
         s.Return();
     },
     1,
     {3070}},
    {"each page's fields under their own codes; dU/dt shows 0 as Off",
     {{dudt, 0}},
     [](const Sheet& s) {
         s.Type(1011, "41");
         s.Tab(1);
         s.Type(1011, "62");
         s.Tab(2);
         EXPECT_EQ(s.Text(1048), "Off");
         s.Type(1011, "83");
         s.Type(1048, "7");
         s.Tab(3);
         s.Type(1031, "4");
         s.Type(1030, "95");
         s.Return();
     },
     1,
     {3141, 3262, 3383, 3407, 3895, 3704}},
    {"the plus-minus item is byte 0xB1 inside and the sign on screen; a text that is no number "
     "reads as 0",
     {{dudt, 5}},
     [](const Sheet& s) {
         s.Tab(2);
         s.Choose(1010, 2);
         EXPECT_EQ(s.Text(1010),
                   "\xB1"
                   "dP/dt");
         EXPECT_EQ(static_cast<QComboBox*>(s.Item(1010))->currentText(),
                   QString::fromUtf8("±dP/dt"));
         s.Type(1048, "7x");
         s.Return();
     },
     1,
     {3022, 3400}},
    {"timer range alone: range and both times in the new unit, and Ts",
     {},
     [](const Sheet& s) {
         s.Tab(3);
         s.Choose(1026, 1);
         EXPECT_EQ(s.Text(1034), "3.7");
         s.ClickOk();
     },
     1,
     {20012, 3031, 20012, 30025, 10037}},
    {"range there and back: a page shown before restores its time from its text",
     {{limit1Tr, 1234}, {limit2Tr, 2345}, {ts, 3456}},
     [](const Sheet& s) {
         s.Tab(3);
         s.Choose(1026, 1);
         s.Choose(1026, 0);
         EXPECT_EQ(s.Text(1034), "34.50");
         s.Return();
         EXPECT_EQ(parameterSet.editWords[limit2Tr], 2340);  // the never shown page
     },
     1,
     {13450}},
    {"hysteresis only with auto reset, however the mode is switched",
     {},
     [](const Sheet& s) {
         s.Tab(1);
         EXPECT_TRUE(s.Enabled(1011) && s.Enabled(1014));
         EXPECT_FALSE(s.Enabled(1012));
         s.Choose(1010, 0);
         s.Choose(1010, 2);
         EXPECT_FALSE(s.Enabled(1012));
         s.Choose(1014, 1);
         EXPECT_TRUE(s.Enabled(1012));
         s.Return();
     },
     1,
     {3012, 3076}},
    {"Escape after edits on two pages queues nothing",
     {},
     [](const Sheet& s) {
         s.Type(1011, "42");
         s.Tab(3);
         s.Choose(1029, 3);
         s.Escape();
         EXPECT_EQ(parameterSet.editWords[limit1Setpoint], 42);
     },
     0,
     {}},
    {"the close box cancels",
     {},
     [](const Sheet& s) {
         s.Choose(1010, 1);
         s.CloseBox();
     },
     0,
     {}},
};

TEST_F(SheetTest, UserEditsLeaveExactlyTheWordsTheyChanged) {
    for (const SheetCase& c : kSheetCases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const auto& [word, value] : c.device) {
            parameterSet.deviceWords[word] = value;
        }
        script = c.script;
        EXPECT_EQ(ShowParameterSheet(nullptr), c.result);
        EXPECT_EQ(DrainQueue(), c.sent);
        EXPECT_TRUE(recordedBoxes.empty());
    }
}

}  // namespace
