#include "output/report.h"

void RunPrintCommand(platform::WindowHandle) {}
