// The commands Save Parameters and Load Parameters: the system's file dialog for "*.KVX" files,
// then the parameter file itself. Kept apart from the file format, which kvxctl uses without any
// window.
#pragma once

#include <cstdint>

#include "params/parameter_file.h"
#include "platform/handles.h"

// The commands Save Parameters and Load Parameters: the file dialog owned by owner, then the
// file. Save: 0 (written, or cancelled) or the dialog's or the system's error code. Load: 0 when
// the device copy and identity now hold the file; kResultNothingMore when cancelled or after the
// short-file message; kResultNotParameterFile; or the dialog's or the system's error code.
int32_t SaveParameterFile(platform::WindowHandle owner);
int32_t LoadParameterFile(platform::WindowHandle owner);
