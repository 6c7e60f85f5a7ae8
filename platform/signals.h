// Termination requests from outside the program (SIGTERM, SIGINT, SIGHUP) reach the windows as
// the user's close does, so settings are saved and the port is restored on every way out. The
// handler only writes a byte to a pipe; the event loop does the closing.
#pragma once

namespace platform {

// Call once, after InitApplication and before the windows are created. Returns false when the
// pipe or the handlers cannot be set up (the signals then keep their default action).
bool CloseWindowsOnTerminationSignals();

}  // namespace platform
