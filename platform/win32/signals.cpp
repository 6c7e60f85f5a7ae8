// Placeholder: the Win32 termination handling is being built; this lets KVXMon.exe link until it lands.
#include "platform/signals.h"

namespace platform {

bool CloseWindowsOnTerminationSignals() { return false; }

}  // namespace platform
