#include "output/screen_dump.h"

void RunScreenDumpCommand(platform::WindowHandle) {}
