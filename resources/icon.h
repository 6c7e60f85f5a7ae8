// The program's icon (window, task bar): a small trend graph with a limit line, as XPM data.
#pragma once

extern const char* const* const kProgramIcon;
