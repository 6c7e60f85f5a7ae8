// The dialogs and the parameter sheet on the Win32 window system, built from the program's own
// layouts and driven through the shown hook with the window messages a user's keys make.
// Under Wine this needs a display (scripts/test-windows.sh gives it one).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/property_sheet.h"
#include "platform/win32/dialog_internal.h"
#include "resources/dialogs.h"

// After <windows.h>.
#include <commctrl.h>

namespace {

using platform::DialogHandle;
using platform::DialogMessage;
using platform::DialogMessageType;

std::string heard;  // what the procedures were told, in order
std::function<void(DialogHandle)> script;

void Record(int page, const DialogMessage& message) {
    static const char kTypes[] = "ICSKAR";
    heard += std::to_string(page) + kTypes[static_cast<int>(message.type)];
    if (message.type == DialogMessageType::Command) {
        heard += std::to_string(message.controlId) + "-ksc"[static_cast<int>(message.notification)];
    }
    heard += ' ';
}

// Runs the posted messages (keys) through the dialog, as a dialog's loop would.
void Pump(HWND dialog) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!::IsDialogMessageW(dialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

// A key pressed where the focus is, Ctrl held down or not.
void Key(HWND dialog, WPARAM key, bool control = false) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
    Pump(dialog);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
}

HWND Item(DialogHandle dialog, int id) {
    return dialog != nullptr ? ::GetDlgItem(dialog->window, id) : nullptr;
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        heard.clear();
        platform::SetDialogShownHook([](DialogHandle dialog) {
            script(dialog);
            // A dialog that the script could not end fails in seconds instead of hanging.
            ::SetTimer(dialog->window, 1, 5000, [](HWND window, UINT, UINT_PTR, DWORD) {
                ADD_FAILURE() << "the dialog did not end";
                if (PropSheet_GetTabControl(window) != nullptr) {
                    ::DestroyWindow(window);
                } else {
                    ::EndDialog(window, -2);
                }
            });
        });
    }
    void TearDown() override {
        platform::SetDialogShownHook(nullptr);
        script = nullptr;
    }
};

bool ModalProc(DialogHandle dialog, const DialogMessage& message) {
    Record(0, message);
    if (message.type == DialogMessageType::Command &&
        (message.controlId == platform::kIdOk || message.controlId == platform::kIdCancel)) {
        platform::EndDialog(dialog, message.controlId == platform::kIdOk ? 7 : 9);
    }
    return true;
}

TEST_F(DialogTest, AboutBoxEndsByReturnOrEscapeAndShowsItsLogo) {
    for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        heard.clear();
        script = [key](DialogHandle dialog) {
            EXPECT_EQ(heard, "0I ");
            // The logo is shown, and beside the program's name, not over it.
            HWND logo = Item(dialog, 1051);
            EXPECT_NE(::SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
            RECT picture{};
            ::GetWindowRect(logo, &picture);
            ::MapWindowPoints(nullptr, dialog->window, reinterpret_cast<POINT*>(&picture), 2);
            RECT name{49, 10, 59, 8};
            ::MapDialogRect(dialog->window, &name);
            EXPECT_GT(picture.right - picture.left, 30);
            EXPECT_LT(picture.right, name.left);
            Key(dialog->window, key);
        };
        EXPECT_EQ(platform::ShowModalDialog(nullptr, kAboutDialogLayout, ModalProc),
                  key == VK_RETURN ? 7 : 9);
        EXPECT_EQ(heard, key == VK_RETURN ? "0I 0C1c " : "0I 0C2c ");
    }
}

TEST_F(DialogTest, FieldsAndListsKeepTheProgramsRules) {
    script = [](DialogHandle d) {
        const std::pair<const char*, uint32_t> numbers[] = {
            {" 42\t", 42},     {"4294967295", 4294967295u},
            {"4294967296", 0}, {"-1", 0},
            {"12a", 0},        {"1 2", 0},
            {"", 0},           {"007", 7}};
        for (const auto& [text, value] : numbers) {
            platform::SetDlgItemText(d, 1011, text);
            EXPECT_EQ(platform::GetDlgItemInt(d, 1011), value) << text;
        }
        char text[9];
        platform::SetDlgItemText(d, 1053, "Gr\xE6nse \x80");  // Windows-1252 both ways
        EXPECT_EQ(platform::GetDlgItemText(d, 1053, text, sizeof text), 8);
        EXPECT_STREQ(text, "Gr\xE6nse \x80");
        EXPECT_EQ(platform::GetDlgItemText(d, 4711, text, sizeof text), 0);

        platform::InsertListItem(d, 1010, 0, "Max");
        platform::InsertListItem(d, 1010, -1, "Min");
        platform::SetListSelection(d, 1010, 1);
        platform::InsertListItem(d, 1010, 0, "Off");  // the selected item stays selected
        EXPECT_EQ(platform::GetListSelection(d, 1010), 2);
        platform::SetListSelection(d, 1010, 3);
        EXPECT_EQ(platform::GetListSelection(d, 1010), -1);
        platform::SetListSelection(d, 1010, 0);
        EXPECT_EQ(heard, "0I ");  // the program's own changes are not the user's
        ::SetFocus(Item(d, 1010));
        Key(d->window, VK_DOWN);  // the user's choice, and the field losing the focus
        // In the dropped-down list the choice counts once, when the list closes on it.
        ::SendMessageW(Item(d, 1010), CB_SHOWDROPDOWN, TRUE, 0);
        Key(d->window, VK_DOWN);
        Key(d->window, VK_UP);
        Key(d->window, VK_UP);
        EXPECT_EQ(heard, "0I 0C1010s ");
        Key(d->window, VK_RETURN);
        ::SetFocus(Item(d, 1011));
        ::SetFocus(Item(d, 1013));
        EXPECT_EQ(platform::GetListSelection(d, 1010), 0);
        platform::EnableDlgItem(d, 1013, false);
        EXPECT_FALSE(platform::IsDlgItemEnabled(d, 1013));
        EXPECT_NE(::GetFocus(), Item(d, 1013));
        platform::EndDialog(d, 3);
    };
    EXPECT_EQ(platform::ShowModalDialog(nullptr, kLimit1PageLayout, ModalProc), 3);
    EXPECT_EQ(heard, "0I 0C1010s 0C1010s 0C1011k 0C1013k ");
}

// Each page fills its lists, so a page key that reached a list would change its selection.
template <int Page>
bool PageProc(DialogHandle page, const DialogMessage& message) {
    if (message.type == DialogMessageType::InitDialog) {
        for (int id : {1010, 1026}) {
            for (const char* item : {"Off", "Max", "Min"}) {
                platform::InsertListItem(page, id, -1, item);
            }
            platform::SetListSelection(page, id, 0);
        }
    }
    if (message.type != DialogMessageType::Command ||
        message.notification == platform::ControlNotification::SelectionChanged) {
        Record(Page, message);
    }
    return true;
}

const platform::PropertySheetPage kPages[] = {{&kLimit1PageLayout, "Grænse 1", PageProc<0>},
                                              {&kLimit2PageLayout, "Limit 2", PageProc<1>},
                                              {&kDpdtPageLayout, "dP/dt", PageProc<2>},
                                              {&kSetupPageLayout, "Setup", PageProc<3>}};

struct SheetCase {
    const char* name;
    std::function<void(DialogHandle)> script;
    int result;
    const char* heard;
};

const SheetCase kSheetCases[] = {
    {"page keys from a list, then Return: every shown page applies, in page order",
     [](DialogHandle sheet) {
         Pump(sheet->window);
         EXPECT_EQ(::GetFocus(), Item(platform::SheetPage(sheet, 0), 1010));
         Key(sheet->window, VK_NEXT, true);
         EXPECT_EQ(platform::CurrentSheetPage(sheet), platform::SheetPage(sheet, 1));
         EXPECT_EQ(::GetFocus(), Item(platform::SheetPage(sheet, 1), 1010));
         Key(sheet->window, VK_TAB, true);
         Key(sheet->window, VK_TAB, true);
         EXPECT_EQ(::GetFocus(), Item(platform::SheetPage(sheet, 3), 1026));
         EXPECT_NE(platform::SheetPage(sheet, 2), nullptr);
         ::SendMessageW(sheet->window, PSM_SETCURSEL, 1, 0);
         Key(sheet->window, VK_RETURN);
     },
     1, "0I 0S 0K 1I 1S 1K 2I 2S 2K 3I 3S 3K 1S 1K 0A 1A 2A 3A "},
    {"Escape: the shown pages reset, the others never exist",
     [](DialogHandle sheet) {
         Pump(sheet->window);
         ::SendMessageW(sheet->window, PSM_SETCURSEL, 3, 0);
         EXPECT_EQ(platform::SheetPage(sheet, 1), nullptr);
         Key(sheet->window, VK_ESCAPE);
     },
     0, "0I 0S 0K 3I 3S 0R 3R "},
};

TEST_F(DialogTest, SheetRunsItsPagesAsTheUserGoes) {
    for (const SheetCase& c : kSheetCases) {
        heard.clear();
        script = c.script;
        const platform::PropertySheetSpec spec{"Korvex Parameter", kPages, 4, 0};
        EXPECT_EQ(platform::ShowPropertySheet(nullptr, spec), c.result) << c.name;
        EXPECT_EQ(heard, c.heard) << c.name;
    }
    const platform::PropertySheetPage noProcedure[] = {{&kLimit1PageLayout, "x", nullptr}};
    EXPECT_EQ(platform::ShowPropertySheet(nullptr, {"x", noProcedure, 1, 0}), -1);
}

}  // namespace
