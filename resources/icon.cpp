#include "resources/icon.h"

#include "resources/kvxmon_icon.xpm"

const char* const* const kProgramIcon = kvxmon_icon_xpm;
