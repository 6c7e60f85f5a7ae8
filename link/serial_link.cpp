// The link's two threads. The reader waits on the port and its stop event and hands the bytes
// to the parser four at a time; the writer sleeps until the transmit ring has bytes. Only the
// window thread opens and closes the link; everything the threads share is atomic.
#include "link/serial_link.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "link/protocol.h"
#include "link/tx_ring.h"
#include "platform/event.h"
#include "platform/serial_port.h"

namespace {

constexpr int kReadChunk = 4;
// How long the reader lets the line gather after a read (0: it reads every message as it comes).
std::atomic<int> gatherMs{0};
// After a hang-up the reader looks for the device again this often.
constexpr int kReopenIntervalMs = 1000;
// The reason given when the system refused an event or a thread (ENOMEM).
constexpr int32_t kNoResources = 12;

void ReleaseLink();

struct LinkState {
    platform::SerialPortHandle portHandle = nullptr;
    platform::EventHandle readerStopEvent = nullptr;
    platform::EventHandle writerStopEvent = nullptr;
    std::thread reader;
    std::thread writer;

    LinkState() = default;
    LinkState(const LinkState&) = delete;
    LinkState& operator=(const LinkState&) = delete;
    // A running thread destroyed ends the process with std::terminate, the line left raw and
    // locked. The program closes the link itself on every way out it controls; this is for an
    // exit() that comes from elsewhere while the link is open.
    ~LinkState() { Stop(); }

    // Stops and joins both threads, then releases the port (its line settings restored).
    void Stop() {
        if (portHandle == nullptr) {
            return;
        }
        platform::SetEvent(readerStopEvent);
        platform::SetEvent(writerStopEvent);
        reader.join();
        writer.join();
        ReleaseLink();
    }
};

// Window thread only: the threads get their port and events as arguments.
LinkState linkState;

std::atomic<ReceiveHook> receiveHook{nullptr};
std::atomic<ReadHook> readHook{nullptr};
// 1 from the writer's wake-up until its drain has handed every byte to the port.
std::atomic<int> writerBusy{0};
// The reason the last OpenLink failed (window thread only).
int32_t linkOpenError = 0;

void Deliver(const uint8_t* chunk) {
    if (ReceiveHook hook = receiveHook.load(std::memory_order_acquire)) {
        hook(chunk, kReadChunk);
    }
    ParseReceived(chunk, kReadChunk);
}

void ReaderThread(platform::SerialPortHandle port, platform::EventHandle stop) {
    // Bytes beyond the last whole chunk wait here for the rest of their chunk.
    uint8_t buffer[64];
    int held = 0;
    for (;;) {
        const int room = static_cast<int>(sizeof buffer) - held;
        int n = platform::ReadSerialPort(port, buffer + held, room, stop);
        if (n == platform::kPortStopped) {
            return;
        }
        if (n == platform::kPortHungUp) {
            // The device went away (adapter unplugged, other end closed). A part chunk from it
            // is meaningless now. Look for the same device once a second; the values blank by
            // the link tick meanwhile, and reading resumes without the user doing anything.
            held = 0;
            for (;;) {
                if (platform::WaitForEvent(stop, kReopenIntervalMs)) {
                    return;
                }
                if (platform::ReopenSerialPort(port)) {
                    break;
                }
            }
            continue;
        }
        if (ReadHook hook = readHook.load(std::memory_order_acquire)) {
            hook(held, n);
        }
        held += n;
        int offset = 0;
        for (; held - offset >= kReadChunk; offset += kReadChunk) {
            Deliver(buffer + offset);
        }
        held -= offset;
        std::memmove(buffer, buffer + offset, static_cast<size_t>(held));
        // A full buffer means more is waiting: read on at once.
        const int gather = gatherMs.load(std::memory_order_relaxed);
        if (gather > 0 && n < room && platform::WaitForEvent(stop, gather)) {
            return;
        }
    }
}

// Writes every byte the ring holds, including those put while it runs. False when the stop
// came during a write.
bool DrainTxRing(platform::SerialPortHandle port, platform::EventHandle stop) {
    uint8_t buffer[kTxRingSize];
    for (;;) {
        int n = TakeTxBytes(buffer);
        if (n == 0) {
            return true;
        }
        // Bytes that could not be written (device gone) are dropped; the next put wakes us.
        if (platform::WriteSerialPort(port, buffer, n, stop) == platform::kPortStopped) {
            return false;
        }
    }
}

void WriterThread(platform::SerialPortHandle port, platform::EventHandle stop,
                  platform::EventHandle request) {
    const platform::EventHandle events[2] = {stop, request};
    for (;;) {
        if (platform::WaitForEvents(events, 2, platform::kInfinite) != 1) {
            return;  // the stop, or a wait that cannot work
        }
        // Reset before draining, not after: a put that lands after the reset sets the event
        // again, so its bytes are written by this drain or by the next one; none is lost.
        writerBusy.store(1, std::memory_order_release);
        platform::ResetEvent(request);
        const bool carryOn = DrainTxRing(port, stop);
        writerBusy.store(0, std::memory_order_release);
        if (!carryOn) {
            return;
        }
    }
}

void ReleaseLink() {
    platform::EventHandle request = writeRequestEvent.exchange(nullptr, std::memory_order_acq_rel);
    platform::CloseEvent(linkState.readerStopEvent);
    platform::CloseEvent(linkState.writerStopEvent);
    platform::CloseEvent(request);
    platform::CloseSerialPort(linkState.portHandle);
    linkState.readerStopEvent = nullptr;
    linkState.writerStopEvent = nullptr;
    linkState.portHandle = nullptr;
}

}  // namespace

void SetReadGather(int ms) {
    gatherMs.store(ms > 0 ? ms : 0, std::memory_order_relaxed);
}

int OpenLink(int port, int baud) {
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", port);
    return OpenLinkByName(name, baud);
}

int OpenLinkByName(const char* name, int baud) {
    // A caller that opens without closing first would otherwise leak the running linkState.
    CloseLink();
    linkState.portHandle = platform::OpenSerialPort(name, baud, &linkOpenError);
    if (linkState.portHandle == nullptr) {
        return 0;
    }
    // Manual-reset stops: once set they stay set, so whichever wait of a thread sees one, the
    // thread ends.
    linkState.readerStopEvent = platform::CreateEvent(true, false);
    linkState.writerStopEvent = platform::CreateEvent(true, false);
    platform::EventHandle request = platform::CreateEvent(true, false);
    writeRequestEvent.store(request, std::memory_order_release);
    if (linkState.readerStopEvent == nullptr || linkState.writerStopEvent == nullptr ||
        request == nullptr) {
        linkOpenError = kNoResources;
        ReleaseLink();
        return 0;
    }
    // std::thread reports a refused thread only by throwing; catch it here so that a half-made
    // link is taken down again instead of ending the program.
    try {
        linkState.reader =
            std::thread(ReaderThread, linkState.portHandle, linkState.readerStopEvent);
        linkState.writer =
            std::thread(WriterThread, linkState.portHandle, linkState.writerStopEvent, request);
    } catch (const std::system_error&) {
        linkOpenError = kNoResources;
        platform::SetEvent(linkState.readerStopEvent);
        if (linkState.reader.joinable()) {
            linkState.reader.join();
        }
        ReleaseLink();
        return 0;
    }
    return 1;
}

void CloseLink() {
    linkState.Stop();
}

int32_t LinkOpenError() {
    return linkOpenError;
}

bool FlushLink(int timeoutMs) {
    if (linkState.portHandle == nullptr) {
        return false;
    }
    constexpr int kStepMs = 2;
    int waited = 0;
    // The ring empties when the writer takes the bytes; they are on the port once it is idle.
    while (!TxRingEmpty() || writerBusy.load(std::memory_order_acquire) != 0) {
        if (waited >= timeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
        waited += kStepMs;
    }
    return platform::WaitSerialOutputSent(linkState.portHandle, timeoutMs - waited);
}

void SetReadHook(ReadHook hook) {
    readHook.store(hook, std::memory_order_release);
}

void SetReceiveHook(ReceiveHook hook) {
    receiveHook.store(hook, std::memory_order_release);
}
