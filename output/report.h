// The printed one-page report: header with identity, date and peaks, the trend graph and the
// listing of all 22 parameter words.
#pragma once

#include "platform/handles.h"

// Menu command Printer: choose the printer, print the report, report failures to owner.
void RunPrintCommand(platform::WindowHandle owner);
