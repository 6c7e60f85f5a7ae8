#include "app/commands.h"

#include <cerrno>

#include "app/main_window.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "output/report.h"
#include "output/screen_dump.h"
#include "output/trend_buffer.h"
#include "params/about_dialog.h"
#include "params/parameter_file_commands.h"
#include "params/parameter_set.h"
#include "params/property_sheet.h"
#include "platform/stock_dialog_language.h"
#include "records/language.h"
#include "records/settings.h"
#include "records/window_state.h"
#include "resources/menus.h"

namespace {

constexpr int kProbeAfterPortChangeMs = 3000;
constexpr int kReplyWaitMs = 2000;
constexpr int kPortCount = 8;

constexpr int kSlotNotConnectedQuestion = 70;
constexpr int kSlotSheetNotCreated = 90;
constexpr int kSlotNotFound = 92;
constexpr int kSlotNotParameterFile = 84;
constexpr int kSlotNotRead = 87;
constexpr int kSlotNotSaved = 88;
constexpr int kCaptionError = 33;
constexpr int kCaptionCommunication = 5;

void StoreComPort(int value) {
    settings.comPort.store(static_cast<uint16_t>(value), std::memory_order_relaxed);
}

int StoredComPort() {
    return settings.comPort.load(std::memory_order_relaxed);
}

void SelectPort(platform::WindowHandle window, int id) {
    const int port = id - kCmdPortBase;
    int stored = StoredComPort();
    if (port == stored) {
        return;  // the open port again; a port stored with the marker is tried again below
    }
    if (stored > kNotOpenMarker) {
        stored -= kNotOpenMarker;  // nothing is open
    } else {
        CloseLink();
    }
    platform::CheckMenuItem(window, kCmdPortBase + stored, false);
    platform::CheckMenuItem(window, id, true);
    StoreComPort(port);
    if (OpenLink(port, kBaud) == 1) {
        ShowSettingsSaveResult(window, SaveSettings(settings));
        // The first poll of the new port runs after this command has returned.
        platform::PostCommand(window, kCmdProbePort);
    } else {
        // Marked before the box, whose own loop may run anything that reads the port.
        StoreComPort(port + kNotOpenMarker);
        ShowPortNotOpenMessage(window);
    }
}

void AutoConnect(platform::WindowHandle window) {
    platform::SetWaitCursor(window, true);
    const int before = StoredComPort();
    if (before < kNotOpenMarker) {
        CloseLink();
    }
    int found = 0;
    for (int port = 1; port <= kPortCount && found == 0; ++port) {
        if (OpenLink(port, kBaud) != 1) {
            continue;
        }
        if (PollAndWait(kReplyWaitMs)) {
            found = port;
        } else {
            CloseLink();
        }
    }
    platform::SetWaitCursor(window, false);
    if (found != 0) {
        SendPoll();
        platform::CheckMenuItem(window, kCmdPortBase + SelectedPort(), false);
        StoreComPort(found);
        platform::CheckMenuItem(window, kCmdPortBase + found, true);
        ShowSettingsSaveResult(window, SaveSettings(settings));
        return;
    }
    if (before < kNotOpenMarker && OpenLink(before, kBaud) != 1) {
        StoreComPort(before + kNotOpenMarker);
    }
    ShowSlotMessage(window, kSlotNotFound, kCaptionCommunication, 0);
}

void EditParameters(platform::WindowHandle window) {
    if (!PollAndWait(kReplyWaitMs)) {
        char question[kSlotSize];
        CopySlotText(question, kSlotNotConnectedQuestion);
        if (platform::ShowMessageBox(window, question, titleBuffer, platform::MessageIcon::Warning,
                                     platform::MessageButtons::YesNo) !=
            platform::MessageResult::Yes) {
            return;
        }
    }
    errno = 0;
    const int result = ShowParameterSheet(window);
    if (result == 1) {
        windowFlags.confirmPending.store(1, std::memory_order_relaxed);
    } else if (result == -1) {
        ShowSlotMessage(window, kSlotSheetNotCreated, kCaptionError, errno != 0 ? errno : -1);
    }
}

void SaveParameters(platform::WindowHandle window) {
    if (SaveParameterFile(window) != 0) {
        ShowSlotMessage(window, kSlotNotSaved, kCaptionError, 0);
    }
}

void LoadParameters(platform::WindowHandle window) {
    const int32_t result = LoadParameterFile(window);
    if (result == 0) {
        CopyDeviceToEdit();
        QueueAllParameters();
        windowFlags.confirmPending.store(1, std::memory_order_relaxed);
        // The panel shows the loaded identity from its next repaint on.
        windowFlags.valuesChanged.store(1, std::memory_order_relaxed);
    } else if (result == kResultNotParameterFile) {
        ShowSlotMessage(window, kSlotNotParameterFile, kCaptionError, 0);
    } else if (result != kResultNothingMore) {
        ShowSlotMessage(window, kSlotNotRead, kCaptionError, result);
    }
}

void ChooseRoll(platform::WindowHandle window, int id) {
    const int roll = id - kCmdRollBase;
    const int current = settings.rollIndex.load(std::memory_order_relaxed);
    if (roll == current) {
        return;
    }
    platform::CheckMenuItem(window, kCmdRollBase + current, false);
    platform::CheckMenuItem(window, id, true);
    settings.rollIndex.store(static_cast<uint16_t>(roll), std::memory_order_relaxed);
    ShowSettingsSaveResult(window, SaveSettings(settings));
    ResyncTrend();
    platform::InvalidateRect(window, nullptr, true);
}

void ToggleStopAtAlarm(platform::WindowHandle window) {
    const uint16_t on = settings.stopAtAlarm.load(std::memory_order_relaxed) ^ 1;
    settings.stopAtAlarm.store(on, std::memory_order_relaxed);
    platform::CheckMenuItem(window, kCmdStopAtAlarm, on != 0);
    ShowSettingsSaveResult(window, SaveSettings(settings));
}

void ChooseLanguage(platform::WindowHandle window, int id) {
    settings.languageBase.store(static_cast<uint16_t>(id - kCmdLanguageBase),
                                std::memory_order_relaxed);
    AttachMenu(window);
    ApplyLanguage(window);
    ShowSettingsSaveResult(window, SaveSettings(settings));
    platform::InvalidateRect(window, nullptr, true);
}

}  // namespace

int SelectedPort() {
    const int port = StoredComPort();
    return port > kNotOpenMarker ? port - kNotOpenMarker : port;
}

void ShowSettingsSaveResult(platform::WindowHandle window, int32_t result) {
    if (result != 0) {
        ShowSlotMessage(window, 83, kCaptionError, result);
    }
}

void AttachMenu(platform::WindowHandle window) {
    const int base = settings.languageBase.load(std::memory_order_relaxed);
    if (const platform::MenuResource* menu = FindMenuResource(kMenuBase + base)) {
        platform::SetMenu(window, menu);
    }
    platform::CheckMenuItem(window, kCmdPortBase + SelectedPort(), true);
    platform::CheckMenuItem(window, kCmdRollBase + settings.rollIndex.load(), true);
    if (settings.stopAtAlarm.load() != 0) {
        platform::CheckMenuItem(window, kCmdStopAtAlarm, true);
    }
    platform::CheckMenuItem(window, kCmdLanguageBase + base, true);
}

void ApplyLanguage(platform::WindowHandle window) {
    CopySlotText(titleBuffer, 34);
    platform::SetWindowTitle(window, titleBuffer);
    // A language whose translations Qt lacks keeps Qt's English dialog texts; nothing to report.
    const int base = settings.languageBase.load(std::memory_order_relaxed);
    platform::SetStockDialogLanguage(base == 100 ? "de" : base == 200 ? "da" : "en");
}

bool RunMenuCommand(platform::WindowHandle window, int id) {
    switch (id) {
        case kCmdAbout:
            ShowAboutDialog(window);
            return true;
        case kCmdExit:
            // Every settings change was saved when it was made, so leaving needs no save.
            platform::DestroyWindow(window);
            return true;
        case kCmdProbePort:
            // The reply, if any, fills the device copy and the identity; no reply says nothing.
            PollAndWait(kProbeAfterPortChangeMs);
            return true;
        case kCmdParameters:
            EditParameters(window);
            return true;
        case kCmdSaveParameters:
            SaveParameters(window);
            return true;
        case kCmdLoadParameters:
            LoadParameters(window);
            return true;
        case kCmdRollBase:
        case kCmdRollBase + 1:
        case kCmdRollBase + 2:
            ChooseRoll(window, id);
            return true;
        case kCmdStopAtAlarm:
            ToggleStopAtAlarm(window);
            return true;
        case kCmdLanguageBase:
        case kCmdLanguageBase + 100:
        case kCmdLanguageBase + 200:
            ChooseLanguage(window, id);
            return true;
        case kCmdScreenDump:
            RunScreenDumpCommand(window);
            return true;
        case kCmdPrint:
            RunPrintCommand(window);
            return true;
        case kCmdAutoConnect:
            AutoConnect(window);
            return true;
        default:
            if (id > kCmdPortBase && id <= kCmdPortBase + kPortCount) {
                SelectPort(window, id);
                return true;
            }
            return false;
    }
}
