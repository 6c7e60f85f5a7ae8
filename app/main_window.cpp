#include "app/main_window.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/commands.h"
#include "app/panel.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "output/trend_buffer.h"
#include "output/trend_graph.h"
#include "platform/device_context.h"
#include "records/language.h"
#include "records/settings.h"
#include "records/window_state.h"
#include "resources/icon.h"
#include "resources/menus.h"

namespace {

std::string screenshotPath;

// The link invalidates the window after link loss; it knows nothing of windows itself.
void InvalidateMainWindow(bool erase) {
    platform::WindowHandle window = mainWindow.load(std::memory_order_acquire);
    if (window != nullptr) {
        platform::InvalidateRect(window, nullptr, erase);
    }
}

// The stored port is opened as it was chosen. A port stored with the not-open marker (its open
// failed in an earlier run) is tried again as that port; if the open fails now, the marker is
// set, so that choosing the port in the menu retries it and the next run tries it again too.
void OpenStoredPort(platform::WindowHandle window) {
    const int port = SelectedPort();
    settings.comPort.store(static_cast<uint16_t>(port), std::memory_order_relaxed);
    if (OpenLink(port, kBaud) != 1) {
        settings.comPort.store(static_cast<uint16_t>(port + kNotOpenMarker),
                               std::memory_order_relaxed);
        ShowPortNotOpenMessage(window);
    }
}

// Whether a tick of the timer would change nothing now. While every timer's would, the window
// sleeps; a message from the line or anything the user does wakes it (SetReceiveWakeHook).
bool TimerIdle(int id) {
    switch (id) {
        case kGraphTimer:
            return TrendTickIdle();
        case kLinkTimer:
            return LinkTickIdle();
        case kPanelTimer:
            return PanelRepaintRuleIdle();
        case kIdentityTimer:
            return IdentityPollIdle();
        default:
            return false;  // the screenshot is taken when it is due
    }
}

void CreateDisplayObjects() {
    displayObjects.labelFont = platform::CreateFont(20, 400);
    displayObjects.bigValueFont = platform::CreateFont(40, 700);
    displayObjects.valueFont = platform::CreateFont(25, 700);
    displayObjects.scaleFont = platform::CreateFont(15, 400);
    displayObjects.panelBrush = platform::CreateSolidBrush(kPanelColour);
    displayObjects.curvePen = platform::CreatePen(1, platform::Rgb(0, 0, 255));
    displayObjects.axisPen = platform::CreatePen(1, platform::Rgb(0, 0, 0));
    displayObjects.limitPen = platform::CreatePen(1, platform::Rgb(255, 0, 0));
    displayObjects.erasePen = platform::CreatePen(1, kPanelColour);
}

void DeleteDisplayObjects() {
    platform::DeleteFont(displayObjects.labelFont);
    platform::DeleteFont(displayObjects.bigValueFont);
    platform::DeleteFont(displayObjects.valueFont);
    platform::DeleteFont(displayObjects.scaleFont);
    platform::DeleteBrush(displayObjects.panelBrush);
    platform::DeletePen(displayObjects.curvePen);
    platform::DeletePen(displayObjects.axisPen);
    platform::DeletePen(displayObjects.limitPen);
    platform::DeletePen(displayObjects.erasePen);
    displayObjects = DisplayObjects{};
}

void OnCreate(platform::WindowHandle window) {
    mainWindow.store(window, std::memory_order_release);
    SetInvalidateWindowHook(InvalidateMainWindow);
    ResetPanelState();
    ShowSettingsSaveResult(window, LoadSettings(settings));
    OpenStoredPort(window);
    ApplyLanguage(window);
    AttachMenu(window);
    platform::SetTimer(window, kGraphTimer, 20);
    platform::SetTimer(window, kLinkTimer, 47);
    platform::SetTimer(window, kPanelTimer, 300);
    platform::SetTimer(window, kIdentityTimer, 1000);
    platform::SetTimerIdleCheck(window, TimerIdle);
    SetReceiveWakeHook(platform::WakeWindowTimers);
    CreateDisplayObjects();
    platform::CreatePushButton(window, kResetMaxButton, "Reset", 260, 78, 60, 20);
    platform::CreatePushButton(window, kResetMinButton, "Reset", 260, 168, 60, 20);
    platform::CreatePushButton(window, kResetDpdtButton, "Reset", 260, 248, 60, 20);
    graphRect = platform::Rect{345, 60, 935, 325};
}

void KillTimers(platform::WindowHandle window) {
    for (int id : {kGraphTimer, kLinkTimer, kPanelTimer, kIdentityTimer}) {
        platform::KillTimer(window, id);
    }
}

void OnClose(platform::WindowHandle window) {
    // No code here: the user is leaving and only needs to know the choices were not kept.
    if (SaveSettings(settings) != 0) {
        ShowSlotMessage(window, 83, 33, 0);
    }
    KillTimers(window);
}

void OnDestroy(platform::WindowHandle window) {
    // The link goes first: once its threads are joined nothing else touches the event or the
    // window any more.
    CloseLink();
    SetReceiveWakeHook(nullptr);
    platform::CloseEvent(replyEvent.exchange(nullptr, std::memory_order_acq_rel));
    DeleteDisplayObjects();
    KillTimers(window);
    SetInvalidateWindowHook(nullptr);
    mainWindow.store(nullptr, std::memory_order_release);
    platform::PostQuitMessage(0);
}

bool OnCommand(platform::WindowHandle window, int id) {
    switch (id) {
        case kResetMaxButton:
        case kResetMinButton:
        case kResetDpdtButton:
            PanelResetButton(window, id);
            return true;
        default:
            return RunMenuCommand(window, id);
    }
}

bool OnTimer(platform::WindowHandle window, int id) {
    switch (id) {
        case kGraphTimer:
            TrendTick(window);
            return true;
        case kLinkTimer:
            LinkTick();
            return true;
        case kPanelTimer:
            PanelRepaintRule(window);
            return true;
        case kIdentityTimer:
            IdentityPoll();
            return true;
        case kScreenshotTimer:
            platform::KillTimer(window, kScreenshotTimer);
            if (platform::SaveClientImage(window, screenshotPath.c_str())) {
                std::fprintf(stderr, "kvxmon: screenshot saved to %s\n", screenshotPath.c_str());
            } else {
                std::fprintf(stderr, "kvxmon: cannot save a screenshot to %s\n",
                             screenshotPath.c_str());
            }
            return true;
        default:
            return false;
    }
}

bool IsResetButton(int controlId) {
    return controlId == kResetMaxButton || controlId == kResetMinButton ||
           controlId == kResetDpdtButton;
}

}  // namespace

bool MainWindowProc(platform::WindowHandle window, const platform::WindowMessage& message) {
    switch (message.type) {
        case platform::MessageType::Create:
            OnCreate(window);
            return true;
        case platform::MessageType::Close:
            OnClose(window);
            return false;
        case platform::MessageType::Destroy:
            OnDestroy(window);
            return false;
        case platform::MessageType::SetFocus:
            // A Reset button hands the focus back after every click; that must not redraw all.
            if (!IsResetButton(message.focusFromControl)) {
                windowFlags.fullRepaint.store(1, std::memory_order_relaxed);
            }
            return false;
        case platform::MessageType::EraseBackground:
            windowFlags.fullRepaint.store(1, std::memory_order_relaxed);
            return false;
        case platform::MessageType::Paint:
            PaintMainWindow(window);
            return true;
        case platform::MessageType::KeyDown:
            PanelKeyDown(message.key);
            return true;
        case platform::MessageType::KeyUp:
            PanelKeyUp();
            return true;
        case platform::MessageType::Command:
            return OnCommand(window, message.id);
        case platform::MessageType::Timer:
            return OnTimer(window, message.id);
    }
    return false;
}

platform::WindowHandle StartMainWindow() {
    CopySlotText(titleBuffer, 34);
    platform::WindowHandle window = platform::CreateMainWindow(
        titleBuffer, kClientWidth, kClientHeight, kClassBackground, MainWindowProc);
    if (window == nullptr) {
        return nullptr;
    }
    errno = 0;
    platform::EventHandle event = platform::CreateEvent(true, false);
    if (event == nullptr) {
        ShowSlotMessage(window, 80, 34, errno != 0 ? errno : -1);
    }
    replyEvent.store(event, std::memory_order_release);
    platform::SetWindowIcon(window, kProgramIcon);
    platform::ShowWindow(window);
    platform::UpdateWindow(window);
    return window;
}

void ScheduleScreenshot(platform::WindowHandle window, const char* path, int delayMs) {
    screenshotPath = path;
    platform::SetTimer(window, kScreenshotTimer, delayMs);
}
