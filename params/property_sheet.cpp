// Each page shows its words from the edit copy, stores accepted input into it (an edit field when
// it loses the focus and again at OK, a list on every selection) and, at OK, queues its words
// that differ from the device copy. Rejected input is dropped without a message.
#include "params/property_sheet.h"

#include <cstdint>
#include <cstring>

#include "link/protocol.h"
#include "params/parameter_set.h"
#include "platform/property_sheet.h"
#include "records/language.h"
#include "resources/dialogs.h"

using platform::ControlNotification;
using platform::DialogHandle;
using platform::DialogMessage;
using platform::DialogMessageType;

namespace {

constexpr int kSlotOff = 3;
constexpr int kSlotOn = 4;
constexpr int kSlotNone = 19;
constexpr int kSlotFirstTab = 20;
constexpr int kSlotSheetCaption = 24;

// Control ids shared by the templates.
constexpr int kModeList = 1010;
constexpr int kSetpointField = 1011;
constexpr int kHysteresisField = 1012;
constexpr int kTrField = 1013;
constexpr int kAutoResetList = 1014;
constexpr int kDudtField = 1048;
constexpr int kTimerRangeList = 1026;
constexpr int kIoutList = 1027;
constexpr int kAnalogPolarityList = 1028;
constexpr int kFilterList = 1029;
constexpr int kP1MaxField = 1030;
constexpr int kP1MinField = 1031;
constexpr int kOutputPolarityList = 1033;
constexpr int kTsField = 1034;
constexpr int kAutoShutDownList = 1035;

uint16_t& Edit(int word) {
    return parameterSet.editWords[word];
}

// Queues word i as its transfer code plus its edit value, but only when the device holds
// something else.
void QueueIfChanged(int word) {
    if (Edit(word) != parameterSet.deviceWords[word].load(std::memory_order_relaxed)) {
        QueueWord(kParameterTable[word].transferCode, Edit(word));
    }
}

void SetSlotText(DialogHandle page, int controlId, int slot) {
    char text[kSlotSize];
    CopySlotText(text, slot);
    platform::SetDlgItemText(page, controlId, text);
}

// A list item is a slot text, or a fixed text where slot is 0.
struct ListItem {
    int slot;
    const char* text;
};

template <int N>
void FillList(DialogHandle page, int controlId, const ListItem (&items)[N]) {
    for (int i = 0; i < N; ++i) {
        char text[kSlotSize];
        if (items[i].slot != 0) {
            CopySlotText(text, items[i].slot);
        } else {
            std::strncpy(text, items[i].text, sizeof text - 1);
            text[sizeof text - 1] = 0;
        }
        platform::InsertListItem(page, controlId, i, text);
    }
}

// A number field's value, stored into word when the word's range takes it.
bool NumberAccepted(DialogHandle page, int controlId, int word) {
    return StoreTypedNumber(word, platform::GetDlgItemInt(page, controlId));
}

// A time field: its first 5 characters in the edit copy's unit, accepted up to 9999.
bool ReadTime(DialogHandle page, int controlId, uint16_t* value) {
    char text[6];
    const int length = platform::GetDlgItemText(page, controlId, text, sizeof text);
    const uint16_t time = ParseTimeText(text, length);
    if (time > 9999) {
        return false;
    }
    *value = time;
    return true;
}

void WriteTime(DialogHandle page, int controlId, uint16_t value) {
    char text[16];
    FormatTimeText(value, text);
    platform::SetDlgItemText(page, controlId, text);
}

// Stores a list's selection into word; false when there is none or it is the present value.
bool StoreSelection(DialogHandle page, int controlId, int word) {
    const int selection = platform::GetListSelection(page, controlId);
    if (selection < 0 || selection == Edit(word)) {
        return false;
    }
    Edit(word) = static_cast<uint16_t>(selection);
    return true;
}

bool KillFocus(const DialogMessage& message, int controlId) {
    return message.controlId == controlId && message.notification == ControlNotification::KillFocus;
}

bool SetpointAccepted(int word, DialogHandle page) {
    return NumberAccepted(page, kSetpointField, word);
}

bool HysteresisAccepted(int word, DialogHandle page) {
    return NumberAccepted(page, kHysteresisField, word);
}

// The answers to the messages every page treats alike. There is no Apply button, so nothing
// needs to be marked unchanged when a page is shown or left.
bool CommonAnswer(const DialogMessage& message) {
    return message.type != DialogMessageType::Command;
}

// Limit 1 and Limit 2 are one page on different words; Tr is in the edit copy's time unit.
struct LimitWords {
    int mode, setpoint, tr, autoReset, hysteresis;
};

constexpr LimitWords kLimit1Words = {limit1Mode, limit1Setpoint, limit1Tr, limit1AutoReset,
                                     limit1Hysteresis};
constexpr LimitWords kLimit2Words = {limit2Mode, limit2Setpoint, limit2Tr, limit2AutoReset,
                                     limit2Hysteresis};

bool LimitPageProc(const LimitWords& w, DialogHandle page, const DialogMessage& message) {
    switch (message.type) {
        case DialogMessageType::InitDialog:
            SetSlotText(page, 1052, 6);
            SetSlotText(page, 1053, 7);
            SetSlotText(page, 1054, 8);
            FillList(page, kModeList, {{kSlotOff, nullptr}, {0, "Min."}, {0, "Max."}});
            FillList(page, kAutoResetList, {{kSlotOff, nullptr}, {kSlotOn, nullptr}});
            return true;
        case DialogMessageType::SetActive: {
            const bool on = Edit(w.mode) != 0;
            platform::SetListSelection(page, kModeList, Edit(w.mode));
            platform::EnableDlgItem(page, kSetpointField, on);
            platform::EnableDlgItem(page, kTrField, on);
            platform::EnableDlgItem(page, kHysteresisField, on);
            platform::SetDlgItemInt(page, kSetpointField, Edit(w.setpoint));
            WriteTime(page, kTrField, Edit(w.tr));
            platform::SetListSelection(page, kAutoResetList, Edit(w.autoReset));
            if (Edit(w.autoReset) == 0) {
                platform::EnableDlgItem(page, kHysteresisField, false);
            } else if (on) {
                platform::EnableDlgItem(page, kHysteresisField, true);
            }
            platform::SetDlgItemInt(page, kHysteresisField, Edit(w.hysteresis));
            return true;
        }
        case DialogMessageType::Command:
            if (message.controlId == kModeList && StoreSelection(page, kModeList, w.mode)) {
                const bool on = Edit(w.mode) != 0;
                platform::EnableDlgItem(page, kSetpointField, on);
                platform::EnableDlgItem(page, kTrField, on);
                platform::EnableDlgItem(page, kAutoResetList, on);
                platform::EnableDlgItem(page, kHysteresisField, on && Edit(w.autoReset) != 0);
            } else if (message.controlId == kAutoResetList &&
                       StoreSelection(page, kAutoResetList, w.autoReset)) {
                platform::EnableDlgItem(page, kHysteresisField, Edit(w.autoReset) != 0);
            } else if (KillFocus(message, kSetpointField)) {
                SetpointAccepted(w.setpoint, page);
            } else if (KillFocus(message, kTrField)) {
                ReadTime(page, kTrField, &Edit(w.tr));
            } else if (KillFocus(message, kHysteresisField)) {
                HysteresisAccepted(w.hysteresis, page);
            }
            return false;
        case DialogMessageType::Apply:
            QueueIfChanged(w.mode);
            if (SetpointAccepted(w.setpoint, page)) {
                QueueIfChanged(w.setpoint);
            }
            if (ReadTime(page, kTrField, &Edit(w.tr))) {
                QueueIfChanged(w.tr);
            }
            QueueIfChanged(w.autoReset);
            if (HysteresisAccepted(w.hysteresis, page)) {
                QueueIfChanged(w.hysteresis);
            }
            return true;
        default:
            return CommonAnswer(message);
    }
}

// dU/dt 0 means off and shows as the word "Off", which reads back as 0.
void WriteDudt(DialogHandle page) {
    if (Edit(dudt) != 0) {
        platform::SetDlgItemInt(page, kDudtField, Edit(dudt));
    } else {
        SetSlotText(page, kDudtField, kSlotOff);
    }
}

void EnableDpdtFields(DialogHandle page) {
    const bool on = Edit(dpdtMode) != 0;
    platform::EnableDlgItem(page, kSetpointField, on);
    platform::EnableDlgItem(page, kDudtField, on);
}

bool DudtAccepted(DialogHandle page) {
    return NumberAccepted(page, kDudtField, dudt);
}

// P1Max and P1Min keep at least 10 points between them; each is tested against the other's
// value in the edit copy.
bool P1MaxAccepted(DialogHandle page) {
    return NumberAccepted(page, kP1MaxField, p1Max);
}

bool P1MinAccepted(DialogHandle page) {
    return NumberAccepted(page, kP1MinField, p1Min);
}

}  // namespace

bool Limit1PageProc(DialogHandle page, const DialogMessage& message) {
    return LimitPageProc(kLimit1Words, page, message);
}

bool Limit2PageProc(DialogHandle page, const DialogMessage& message) {
    return LimitPageProc(kLimit2Words, page, message);
}

bool DpdtPageProc(DialogHandle page, const DialogMessage& message) {
    switch (message.type) {
        case DialogMessageType::InitDialog:
            SetSlotText(page, 1052, 6);
            SetSlotText(page, 1053, 7);
            FillList(page, kModeList,
                     {{kSlotOff, nullptr},
                      {0, "+dP/dt"},
                      {0,
                       "\xB1"
                       "dP/dt"}});
            return true;
        case DialogMessageType::SetActive:
            platform::SetListSelection(page, kModeList, Edit(dpdtMode));
            EnableDpdtFields(page);
            platform::SetDlgItemInt(page, kSetpointField, Edit(dpdtSetpoint));
            WriteDudt(page);
            return true;
        case DialogMessageType::Command:
            if (message.controlId == kModeList && StoreSelection(page, kModeList, dpdtMode)) {
                EnableDpdtFields(page);
            } else if (KillFocus(message, kSetpointField)) {
                SetpointAccepted(dpdtSetpoint, page);
            } else if (KillFocus(message, kDudtField)) {
                DudtAccepted(page);
            }
            return false;
        case DialogMessageType::Apply:
            QueueIfChanged(dpdtMode);
            if (SetpointAccepted(dpdtSetpoint, page)) {
                QueueIfChanged(dpdtSetpoint);
            }
            if (DudtAccepted(page)) {
                QueueIfChanged(dudt);
            }
            return true;
        default:
            return CommonAnswer(message);
    }
}

bool SetupPageProc(DialogHandle page, const DialogMessage& message) {
    switch (message.type) {
        case DialogMessageType::InitDialog:
            for (int i = 0; i < 8; ++i) {
                SetSlotText(page, 1055 + i, 9 + i);
            }
            SetSlotText(page, 1063, 13);
            SetSlotText(page, 1064, 17);
            SetSlotText(page, 1065, 18);
            FillList(page, kTimerRangeList, {{0, "100"}, {0, "1000"}});
            FillList(page, kIoutList, {{0, "0-20mA"}, {0, "4-20mA"}});
            FillList(page, kAnalogPolarityList, {{0, "Norm."}, {0, "Inv."}});
            FillList(page, kFilterList, {{kSlotNone, nullptr}, {0, "3s"}, {0, "6s"}, {0, "10s"}});
            FillList(page, kOutputPolarityList, {{0, "n.inv"}, {0, "inv"}});
            FillList(page, kAutoShutDownList, {{kSlotOff, nullptr}, {kSlotOn, nullptr}});
            return true;
        case DialogMessageType::SetActive:
            platform::SetListSelection(page, kTimerRangeList, Edit(timerRange));
            WriteTime(page, kTsField, Edit(ts));
            platform::SetListSelection(page, kOutputPolarityList, Edit(outputPolarity));
            platform::SetListSelection(page, kIoutList, Edit(iout));
            platform::SetListSelection(page, kAnalogPolarityList, Edit(analogPolarity));
            platform::SetListSelection(page, kFilterList, Edit(filter));
            platform::SetDlgItemInt(page, kP1MaxField, Edit(p1Max));
            platform::SetDlgItemInt(page, kP1MinField, Edit(p1Min));
            platform::SetListSelection(page, kAutoShutDownList, Edit(autoShutDown));
            return true;
        case DialogMessageType::Command:
            switch (message.controlId) {
                case kTimerRangeList:
                    if (platform::GetListSelection(page, kTimerRangeList) >= 0) {
                        if (StoreSelection(page, kTimerRangeList, timerRange)) {
                            RescaleTimes(Edit(timerRange));
                        }
                        // The Limit pages show their rescaled Tr when they are next shown.
                        WriteTime(page, kTsField, Edit(ts));
                    }
                    break;
                case kIoutList:
                    StoreSelection(page, kIoutList, iout);
                    break;
                case kAnalogPolarityList:
                    StoreSelection(page, kAnalogPolarityList, analogPolarity);
                    break;
                case kFilterList:
                    StoreSelection(page, kFilterList, filter);
                    break;
                case kOutputPolarityList:
                    StoreSelection(page, kOutputPolarityList, outputPolarity);
                    break;
                case kAutoShutDownList:
                    StoreSelection(page, kAutoShutDownList, autoShutDown);
                    break;
                default:
                    if (KillFocus(message, kP1MaxField)) {
                        P1MaxAccepted(page);
                    } else if (KillFocus(message, kP1MinField)) {
                        P1MinAccepted(page);
                    } else if (KillFocus(message, kTsField)) {
                        ReadTime(page, kTsField, &Edit(ts));
                    }
                    break;
            }
            return false;
        case DialogMessageType::Apply:
            // A new range goes first, and both limit times follow it in the new unit, changed
            // or not: the device reads the times it holds in the range it is told.
            if (Edit(timerRange) !=
                parameterSet.deviceWords[timerRange].load(std::memory_order_relaxed)) {
                QueueWord(kParameterTable[timerRange].transferCode, Edit(timerRange));
                QueueWord(kParameterTable[limit1Tr].transferCode, Edit(limit1Tr));
                QueueWord(kParameterTable[limit2Tr].transferCode, Edit(limit2Tr));
            }
            if (ReadTime(page, kTsField, &Edit(ts))) {
                QueueIfChanged(ts);
            }
            QueueIfChanged(outputPolarity);
            QueueIfChanged(iout);
            QueueIfChanged(analogPolarity);
            QueueIfChanged(filter);
            if (P1MaxAccepted(page)) {
                QueueIfChanged(p1Max);
            }
            if (P1MinAccepted(page)) {
                QueueIfChanged(p1Min);
            }
            QueueIfChanged(autoShutDown);
            return true;
        default:
            return CommonAnswer(message);
    }
}

int ShowParameterSheet(platform::WindowHandle owner) {
    CopyDeviceToEdit();
    // The tab titles and the caption in the language of this opening.
    char titles[4][kSlotSize];
    for (int i = 0; i < 4; ++i) {
        CopySlotText(titles[i], kSlotFirstTab + i);
    }
    char caption[kSlotSize];
    CopySlotText(caption, kSlotSheetCaption);
    const platform::PropertySheetPage pages[4] = {
        {&kLimit1PageLayout, titles[0], Limit1PageProc},
        {&kLimit2PageLayout, titles[1], Limit2PageProc},
        {&kDpdtPageLayout, titles[2], DpdtPageProc},
        {&kSetupPageLayout, titles[3], SetupPageProc},
    };
    return platform::ShowPropertySheet(owner, platform::PropertySheetSpec{caption, pages, 4, 0});
}
