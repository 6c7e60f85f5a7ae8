// Single producer (window thread), single consumer (writer thread), no lock: each side alone
// writes its own index, and an index is only advanced after the bytes it hands over.
#include "link/tx_ring.h"

namespace {

struct TxRing {
    std::atomic<uint8_t> bytes[kTxRingSize] = {};
    std::atomic<int32_t> writeIndex{0};  // window thread only
    std::atomic<int32_t> readIndex{0};   // writer thread only
};

// Lives for the whole process: bytes left when a link closes go out on the next open link.
TxRing txRing;

int32_t Advance(int32_t index) {
    return index + 1 >= kTxRingSize ? 0 : index + 1;
}

int32_t Pending(int32_t write, int32_t read) {
    return (write - read + kTxRingSize) % kTxRingSize;
}

}  // namespace

bool PutTxBytes(const uint8_t* bytes, int count) {
    if (count <= 0 || bytes == nullptr) {
        return count == 0;
    }
    int32_t write = txRing.writeIndex.load(std::memory_order_relaxed);
    // Acquire: the consumer has finished reading the slots it gave back.
    int32_t read = txRing.readIndex.load(std::memory_order_acquire);
    // One slot always stays free so that a full ring is not mistaken for an empty one. A message
    // that does not fit whole is dropped: half a message would garble the next one on the wire.
    if (count > kTxRingSize - 1 - Pending(write, read)) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        txRing.bytes[write].store(bytes[i], std::memory_order_relaxed);
        write = Advance(write);
    }
    txRing.writeIndex.store(write, std::memory_order_release);
    if (platform::EventHandle event = writeRequestEvent.load(std::memory_order_acquire)) {
        platform::SetEvent(event);
    }
    return true;
}

int TakeTxBytes(uint8_t* buffer) {
    int32_t read = txRing.readIndex.load(std::memory_order_relaxed);
    int32_t write = txRing.writeIndex.load(std::memory_order_acquire);
    int count = 0;
    while (read != write) {
        buffer[count++] = txRing.bytes[read].load(std::memory_order_relaxed);
        read = Advance(read);
    }
    txRing.readIndex.store(read, std::memory_order_release);
    return count;
}

bool TxRingEmpty() {
    return txRing.readIndex.load(std::memory_order_acquire) ==
           txRing.writeIndex.load(std::memory_order_relaxed);
}
