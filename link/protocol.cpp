// The sending half of the line protocol: command words encoded into the transmit ring, the queue
// of parameter words that the link tick sends one at a time, and the link supervision.
#include "link/protocol.h"

#include "link/transfer.h"
#include "link/tx_ring.h"
#include "records/window_state.h"

namespace {

constexpr int kQueueSize = 32;
constexpr uint8_t kCarriageReturn = 13;

// Window thread only.
struct CommandQueue {
    uint16_t words[kQueueSize] = {};
    int32_t writeIndex = 0;
    int32_t readIndex = 0;
};

CommandQueue commandQueue;

std::atomic<void (*)(bool)> invalidateWindowHook{nullptr};

int32_t NextQueueIndex(int32_t index) {
    return index + 1 >= kQueueSize ? 0 : index + 1;
}

void BlankLiveValues() {
    liveValues.measurement.store(-1, std::memory_order_relaxed);
    liveValues.maxPeak.store(-1, std::memory_order_relaxed);
    liveValues.minPeak.store(-1, std::memory_order_relaxed);
    liveValues.dPdtPeak.store(-1, std::memory_order_relaxed);
    liveValues.identity[0].store(0, std::memory_order_relaxed);
    windowFlags.panelRepaint.store(1, std::memory_order_relaxed);
    // The panel's repaint flag decides what is filled again, so no erase is wanted.
    if (auto hook = invalidateWindowHook.load()) {
        hook(false);
    }
}

}  // namespace

void EncodeLongMessage(uint16_t word, uint8_t out[kLongMessageSize]) {
    // One nibble per byte, most significant first; the lower nibble 1 keeps every data byte clear
    // of 0 and 13, and the checksum's lower nibble is then always 4.
    uint8_t sum = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned nibble = (word >> (12 - 4 * i)) & 0x0Fu;
        out[i] = static_cast<uint8_t>(nibble * 16 + 1);
        sum = static_cast<uint8_t>(sum + out[i]);
    }
    out[4] = sum;
    out[5] = kCarriageReturn;
}

void SendCommand(uint16_t word) {
    uint8_t message[kLongMessageSize];
    EncodeLongMessage(word, message);
    // A message that finds the ring full is lost as a whole; the ring holds five messages and the
    // writer drains it within a few milliseconds whenever a link is open.
    PutTxBytes(message, kLongMessageSize);
}

void SendPoll() {
    SendCommand(CMD_POLL);
}

bool QueueWord(uint16_t transferCode, uint16_t value) {
    int32_t next = NextQueueIndex(commandQueue.writeIndex);
    if (next == commandQueue.readIndex) {
        // 31 words pending: dropping the new one keeps the ones already promised intact.
        return false;
    }
    commandQueue.words[commandQueue.writeIndex] = static_cast<uint16_t>(transferCode + value);
    commandQueue.writeIndex = next;
    return true;
}

bool CommandQueueEmpty() {
    return commandQueue.readIndex == commandQueue.writeIndex;
}

void ResetCommandQueue() {
    commandQueue = CommandQueue{};
}

void SetInvalidateWindowHook(void (*hook)(bool erase)) {
    invalidateWindowHook.store(hook);
}

bool LinkTickIdle() {
    return CommandQueueEmpty() && windowFlags.confirmPending.load(std::memory_order_relaxed) == 0 &&
           liveValues.linkTimeout.load(std::memory_order_relaxed) == 0 &&
           liveValues.measurement.load(std::memory_order_relaxed) == -1;
}

void LinkTick() {
    if (!CommandQueueEmpty()) {
        uint16_t word = commandQueue.words[commandQueue.readIndex];
        commandQueue.readIndex = NextQueueIndex(commandQueue.readIndex);
        SendCommand(word);
        return;
    }
    if (windowFlags.confirmPending.load(std::memory_order_relaxed) != 0) {
        ConfirmationStep();
        return;
    }
    // Only this thread counts down and the reader only ever reloads, so a positive value cannot
    // reach zero behind our back and the decrement cannot wrap.
    if (liveValues.linkTimeout.load(std::memory_order_relaxed) > 0) {
        liveValues.linkTimeout.fetch_sub(1, std::memory_order_relaxed);
        return;
    }
    if (liveValues.measurement.load(std::memory_order_relaxed) != -1) {
        BlankLiveValues();
    }
}
