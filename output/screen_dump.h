// The screen dump: a picture of the main window saved as a Windows bitmap file. The picture is
// described by a bitmap description block: a 40-byte little-endian header and its colour table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"
#include "platform/handles.h"

// Menu command Screen dump: refresh the identity bar, capture the window, ask for a file name,
// write the bitmap. Every failure is shown under the caption "Screen Dump".
void RunScreenDumpCommand(platform::WindowHandle owner);

// The description block for the bitmap at the depth d derived from its planes and bits per
// pixel: 40 + 4 x 2^d bytes below 24 bits, 40 bytes for 24 and 32. nullptr after a failure shown
// to owner. Freed by WriteBitmapFile, or by FreeBitmapInfo.
uint8_t* BuildBitmapInfo(platform::WindowHandle owner, platform::BitmapHandle bitmap);
void FreeBitmapInfo(uint8_t* info);
// Reads the pixels, asks for the file and writes it; frees info on every path. Nothing happens
// for a null info.
void WriteBitmapFile(platform::WindowHandle owner, uint8_t* info, platform::BitmapHandle bitmap);
