#include "resources/dialogs.h"

#include "resources/kvxmon_logo.xpm"

using platform::ControlKind;
using platform::DialogControl;

namespace {

constexpr ControlKind kList = ControlKind::List;
constexpr ControlKind kEdit = ControlKind::Edit;
constexpr ControlKind kLabel = ControlKind::Label;
constexpr ControlKind kUnit = ControlKind::UnitLabel;
constexpr ControlKind kGroup = ControlKind::GroupBox;

// Templates 200 and 203 are the same page for limit 1 and limit 2.
constexpr DialogControl kLimitControls[] = {
    {1010, kList, 60, 8, 41, 51, "", nullptr},
    {1011, kEdit, 60, 31, 40, 12, "", nullptr},
    {1013, kEdit, 60, 55, 40, 12, "", nullptr},
    {1014, kList, 60, 79, 41, 51, "", nullptr},
    {1012, kEdit, 60, 103, 40, 12, "", nullptr},
    {1052, kLabel, 12, 9, 41, 8, "Limit", nullptr},
    {1053, kLabel, 7, 33, 46, 8, "Setpoint", nullptr},
    {0, kLabel, 24, 57, 29, 8, "Tr", nullptr},
    {0, kLabel, 19, 80, 34, 8, "Auto Reset", nullptr},
    {0, kUnit, 104, 33, 8, 8, "%", nullptr},
    {0, kUnit, 104, 105, 8, 8, "%", nullptr},
    {0, kUnit, 104, 57, 8, 8, "s", nullptr},
    {1054, kLabel, 12, 104, 41, 8, "Hysteresis", nullptr},
};

constexpr DialogControl kDpdtControls[] = {
    {1010, kList, 60, 8, 41, 51, "", nullptr},
    {1011, kEdit, 60, 31, 40, 12, "", nullptr},
    {1048, kEdit, 60, 55, 40, 12, "", nullptr},
    {1052, kLabel, 12, 9, 41, 8, "Limit", nullptr},
    {1053, kLabel, 7, 33, 46, 8, "Setpoint", nullptr},
    {0, kLabel, 24, 57, 29, 8, "dU/dt", nullptr},
    {0, kUnit, 104, 33, 8, 8, "%", nullptr},
    {0, kUnit, 104, 57, 8, 8, "%", nullptr},
};

// The Filter list comes last in the tab order, as it always has.
constexpr DialogControl kSetupControls[] = {
    {1026, kList, 75, 15, 41, 32, "", nullptr},
    {1034, kEdit, 75, 29, 40, 12, "", nullptr},
    {1027, kList, 75, 57, 41, 53, "", nullptr},
    {1028, kList, 75, 71, 41, 32, "", nullptr},
    {1030, kEdit, 75, 114, 40, 12, "", nullptr},
    {1031, kEdit, 75, 129, 40, 12, "", nullptr},
    {1033, kList, 75, 162, 41, 50, "", nullptr},
    {1035, kList, 75, 197, 41, 50, "", nullptr},
    {1056, kLabel, 27, 16, 41, 8, "Timer Range", nullptr},
    {0, kLabel, 27, 31, 41, 8, "Ts", nullptr},
    {1058, kLabel, 39, 59, 29, 8, "Iout", nullptr},
    {1059, kLabel, 37, 73, 31, 8, "Polarity", nullptr},
    {0, kLabel, 42, 117, 26, 8, "P1Max", nullptr},
    {0, kLabel, 34, 131, 34, 8, "P1Min", nullptr},
    {1055, kGroup, 7, 3, 128, 41, "Timers", nullptr},
    {1057, kGroup, 7, 48, 128, 53, "Analogue output", nullptr},
    {1061, kGroup, 7, 104, 128, 42, "Zoom", nullptr},
    {1062, kGroup, 7, 149, 128, 32, "Outputs", nullptr},
    {0, kUnit, 117, 116, 8, 8, "%", nullptr},
    {0, kUnit, 117, 131, 8, 8, "%", nullptr},
    {0, kUnit, 117, 31, 8, 8, "s", nullptr},
    {1063, kLabel, 36, 163, 32, 8, "Polarity", nullptr},
    {0, kUnit, 117, 17, 8, 8, "s", nullptr},
    {1064, kGroup, 7, 184, 128, 32, "Control functions", nullptr},
    {1065, kLabel, 12, 198, 59, 8, "Auto Shut Down", nullptr},
    {1060, kLabel, 45, 87, 23, 8, "Filter", nullptr},
    {1029, kList, 75, 85, 41, 46, "", nullptr},
};

constexpr DialogControl kAboutControls[] = {
    {0, kUnit, 49, 10, 59, 8, "KVXMon", nullptr},
    {0, kUnit, 49, 22, 119, 8, "Version: 2.2", nullptr},
    {1051, ControlKind::Bitmap, 10, 10, 0, 0, nullptr, kvxmon_logo_xpm},
    {platform::kIdOk, ControlKind::PushButton, 195, 6, 30, 11, "OK", nullptr},
};

template <int N>
constexpr int Count(const DialogControl (&)[N]) {
    return N;
}

}  // namespace

const platform::DialogTemplate kLimit1PageLayout = {
    200, "", 142, 134, kLimitControls, Count(kLimitControls)};
const platform::DialogTemplate kSetupPageLayout = {
    202, "", 189, 269, kSetupControls, Count(kSetupControls)};
const platform::DialogTemplate kLimit2PageLayout = {
    203, "", 142, 134, kLimitControls, Count(kLimitControls)};
const platform::DialogTemplate kDpdtPageLayout = {
    204, "", 142, 134, kDpdtControls, Count(kDpdtControls)};
const platform::DialogTemplate kAboutDialogLayout = {101, "About",        230,
                                                     75,  kAboutControls, Count(kAboutControls)};

const char* const* const kLogoBitmap = kvxmon_logo_xpm;
