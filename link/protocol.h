// The line protocol: every message is one number sent nibble by nibble with an additive checksum
// and a carriage return; its value range says what it means. Parsing runs on the reader thread,
// sending and the command queue on the window thread.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint16_t CMD_POLL = 65050;
inline constexpr uint16_t CMD_SPACE = 65051;
inline constexpr uint16_t MSG_DUDT = 65052;
inline constexpr uint16_t CMD_RESET_MAX_PEAK = 65053;
inline constexpr uint16_t CMD_RESET_MIN_PEAK = 65054;
inline constexpr uint16_t CMD_RESET_DPDT_PEAK = 65055;
inline constexpr uint16_t MSG_IDENTITY_END = 65213;

inline constexpr int kIdentitySize = 44;
inline constexpr int kLongMessageSize = 6;

// Shared between the reader thread (parser) and the window thread (panel, link tick, file load).
struct LiveValues {
    std::atomic<int32_t> measurement{-1};  // percent, -1 for no value
    std::atomic<int32_t> maxPeak{-1};
    std::atomic<int32_t> minPeak{-1};
    std::atomic<int32_t> dPdtPeak{-1};
    std::atomic<int32_t> dUdtEvent{0};
    std::atomic<char> identity[kIdentitySize] = {};  // zero-terminated text, read at any moment
    std::atomic<int32_t> identityPos{0};
    std::atomic<uint8_t> linkTimeout{20};
};

inline LiveValues liveValues;

// Copies the identity text out (always terminated within 44 bytes) or replaces it whole.
void ReadIdentity(char out[kIdentitySize]);
void StoreIdentity(const char in[kIdentitySize]);

// Receive side, reader thread only. Chunks may split messages anywhere.
void ParseReceived(const uint8_t* bytes, int count);
// Observer of every valid message, called on the reader thread with its value after the message
// has taken effect (a command-line monitor logs each measurement and status code this way).
using MessageHook = void (*)(uint16_t value);
void SetMessageHook(MessageHook hook);
// Called on the reader thread after every valid message has taken effect: the window wakes its
// sleeping timers this way, since a message may give a tick work again.
void SetReceiveWakeHook(void (*hook)());
// Where the next received byte goes in the 8-byte line buffer (0..7): the fuzz target and the
// tests check that no stream moves it out.
int ReceivePosition();
// Back to the start-up state of the receiver and the live values (tests and start-up). Only
// while no reader thread runs: the line buffer belongs to that thread.
void ResetProtocolState();

// Send side, window thread only.
void EncodeLongMessage(uint16_t word, uint8_t out[kLongMessageSize]);
void SendCommand(uint16_t word);
void SendPoll();
// Queues transfer code + value; on a full queue the new word is dropped, never a pending one.
// Returns false when it was dropped.
bool QueueWord(uint16_t transferCode, uint16_t value);
bool CommandQueueEmpty();
// Forgets every queued word (tests and start-up).
void ResetCommandQueue();
// The link tick invalidates the whole main window through this hook when the values are blanked;
// the window installs it. Without a hook nothing is invalidated.
void SetInvalidateWindowHook(void (*hook)(bool erase));
// Timer 50: send one queued word, or confirm a transfer, or count the link timeout down, or
// blank the values once after link loss.
void LinkTick();
// True when a link tick now would do nothing: nothing queued, no transfer to confirm, and the
// link timeout run out with the values already blanked.
bool LinkTickIdle();
