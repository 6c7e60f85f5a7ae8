// The 32-byte transmit ring between the window thread (producer) and the link's writer thread
// (consumer): one writer per index, each published with release ordering after its bytes.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"

inline constexpr int kTxRingSize = 32;

// Set by PutTxBytes to wake the writer thread; owned by the open link, null while closed.
inline std::atomic<platform::EventHandle> writeRequestEvent{nullptr};

// Appends the bytes and wakes the writer. A message that does not fit whole is dropped (never
// overwriting unsent bytes); returns false then.
bool PutTxBytes(const uint8_t* bytes, int count);
// Moves every pending byte, oldest first, into buffer (32 bytes) and returns how many (0..31).
int TakeTxBytes(uint8_t* buffer);
// True when the writer has taken every byte put so far (window thread).
bool TxRingEmpty();
