// monitor, reset and key: the commands that listen to the device's live messages, and the
// single commands it takes while it talks.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "cli/commands.h"
#include "cli/session.h"
#include "link/protocol.h"
#include "link/serial_link.h"
#include "link/transfer.h"
#include "platform/console.h"
#include "records/window_state.h"

namespace kvxctl {

namespace {

// One line of the monitor, made on the reader thread when a measurement message arrives and
// printed by the main thread.
struct MonitorLine {
    std::atomic<int64_t> timeUs{0};  // wall clock, when the message's last byte came in
    std::atomic<int32_t> measurement{0};
    std::atomic<int32_t> maxPeak{-1};
    std::atomic<int32_t> minPeak{-1};
    std::atomic<int32_t> dPdtPeak{-1};
    std::atomic<uint16_t> alarmCode[2] = {};  // one per status group, 0 for none
    std::atomic<int32_t> dUdt{0};
};

constexpr int kMonitorRing = 1024;
MonitorLine monitorRing[kMonitorRing];
std::atomic<int32_t> monitorWrite{0};  // reader thread only
std::atomic<int32_t> monitorRead{0};   // main thread only
std::atomic<int32_t> monitorDropped{0};

// Status codes and dU/dt events since the last measurement; reader thread only.
uint16_t pendingAlarm[2] = {};
bool pendingDudt = false;

constexpr uint16_t kStatusFirst = 65000;
constexpr uint16_t kStatusLast = 65049;
constexpr uint16_t kStatusGroup = 25;
constexpr uint16_t kFirstAlarmOffset = 13;
constexpr uint16_t kMeasurementLast = 199;

// A byte takes 10 bits at 9600 baud (start, 8 data, stop).
constexpr int64_t kByteNs = 10 * 1000000000LL / 9600;

// The wall clock at the steady clock's zero, so stamps never jump with a clock adjustment.
std::atomic<int64_t> wallOffsetNs{0};

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t WallUs(int64_t steadyNs) {
    return (steadyNs + wallOffsetNs.load(std::memory_order_relaxed)) / 1000;
}

// When each byte came off the line, reader thread only. A read returns the bytes the driver
// gathered: its last byte arrived at the latest when the read returned, and the ones before it
// one byte time apart each. A byte never arrives less than a byte time after the one before, which
// keeps the stamps strictly increasing across reads. Bytes wait here until the parser takes them,
// four at a time (a read holds at most 64).
constexpr int kByteRing = 128;
int64_t byteStampNs[kByteRing];
int byteIn = 0;
int byteOut = 0;
int64_t lastByteNs = 0;
// The stamp of the carriage return that ended the message the parser is taking now. A chunk of
// four bytes can end at most one valid message, at its first carriage return: a second one
// leaves at most two bytes before it, too few for a message.
int64_t messageStampNs = 0;

void OnRead(int held, int count) {
    const int64_t now = SteadyNs();
    // After a hang-up the link drops the part chunk it held; so are its stamps.
    byteOut = (byteIn - held + kByteRing) % kByteRing;
    for (int k = 0; k < count; ++k) {
        lastByteNs = std::max(now - (count - 1 - k) * kByteNs, lastByteNs + kByteNs);
        byteStampNs[byteIn] = lastByteNs;
        byteIn = (byteIn + 1) % kByteRing;
    }
}

void OnChunk(const uint8_t* bytes, int count) {
    bool ended = false;
    for (int k = 0; k < count && byteOut != byteIn; ++k) {
        if (bytes[k] == 13 && !ended) {
            messageStampNs = byteStampNs[byteOut];
            ended = true;
        }
        byteOut = (byteOut + 1) % kByteRing;
    }
}

void OnMonitorMessage(uint16_t value) {
    if (value >= kStatusFirst && value <= kStatusLast) {
        const int offset = value - kStatusFirst;
        if (offset % kStatusGroup >= kFirstAlarmOffset) {
            pendingAlarm[offset / kStatusGroup] = value;
        }
        return;
    }
    if (value == MSG_DUDT) {
        pendingDudt = true;
        return;
    }
    if (value > kMeasurementLast) {
        return;
    }
    const int32_t write = monitorWrite.load(std::memory_order_relaxed);
    const int32_t next = (write + 1) % kMonitorRing;
    if (next == monitorRead.load(std::memory_order_acquire)) {
        monitorDropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    MonitorLine& line = monitorRing[write];
    line.timeUs.store(WallUs(messageStampNs), std::memory_order_relaxed);
    line.measurement.store(value, std::memory_order_relaxed);
    line.maxPeak.store(liveValues.maxPeak.load(), std::memory_order_relaxed);
    line.minPeak.store(liveValues.minPeak.load(), std::memory_order_relaxed);
    line.dPdtPeak.store(liveValues.dPdtPeak.load(), std::memory_order_relaxed);
    for (int group = 0; group < 2; ++group) {
        line.alarmCode[group].store(pendingAlarm[group], std::memory_order_relaxed);
        pendingAlarm[group] = 0;
    }
    line.dUdt.store(pendingDudt ? 1 : 0, std::memory_order_relaxed);
    pendingDudt = false;
    monitorWrite.store(next, std::memory_order_release);
}

// ISO 8601 local time with milliseconds and the offset from UTC: 2026-12-07T18:20:01.123+01:00.
std::string IsoLocalTime(int64_t us) {
    const int64_t ms = us / 1000;
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const std::tm* utcTime = std::gmtime(&seconds);  // main thread only
    if (utcTime == nullptr) {
        return "?";
    }
    const std::tm utc = *utcTime;
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) {
        return "?";
    }
    // The two calendar days are at most one apart; a change of year shows as the other's day 0.
    int dayShift = local->tm_yday - utc.tm_yday;
    if (local->tm_year != utc.tm_year) {
        dayShift = local->tm_year > utc.tm_year ? 1 : -1;
    }
    const int offset =
        dayShift * 1440 + (local->tm_hour - utc.tm_hour) * 60 + (local->tm_min - utc.tm_min);
    const int magnitude = offset < 0 ? -offset : offset;
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%c%02d:%02d", date, static_cast<int>(ms % 1000),
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string Number(int32_t value, const char* unknown) {
    return value < 0 ? std::string(unknown) : std::to_string(value);
}

// Event rows are stamped by the main thread: never before the row above them.
int64_t lastPrintedUs = 0;

// False once stdout is gone (a closed pipe, a full disk), which ends the monitor.
bool PrintMonitorLine(const MonitorLine& line, MonitorFormat format) {
    std::string status;
    for (const auto& code : line.alarmCode) {
        if (const uint16_t value = code.load(std::memory_order_relaxed)) {
            status += (status.empty() ? "alarm " : " ") + std::to_string(value);
        }
    }
    if (line.dUdt.load(std::memory_order_relaxed) != 0) {
        status += status.empty() ? "dU/dt" : " dU/dt";
    }
    lastPrintedUs = line.timeUs.load(std::memory_order_relaxed);
    const std::string time = IsoLocalTime(lastPrintedUs);
    const int32_t measurement = line.measurement.load(std::memory_order_relaxed);
    const int32_t max = line.maxPeak.load(std::memory_order_relaxed);
    const int32_t min = line.minPeak.load(std::memory_order_relaxed);
    const int32_t dpdt = line.dPdtPeak.load(std::memory_order_relaxed);
    if (format == MonitorFormat::Csv) {
        platform::PrintFormatted(stdout, "%s,%d,%s,%s,%s,%s\n", time.c_str(), measurement,
                                 Number(max, "").c_str(), Number(min, "").c_str(),
                                 Number(dpdt, "").c_str(), status.c_str());
    } else if (format == MonitorFormat::Json) {
        platform::PrintFormatted(
            stdout,
            "{\"time\": \"%s\", \"measurement\": %d, \"max\": %s, \"min\": %s, \"dpdt\": %s, "
            "\"status\": \"%s\"}\n",
            time.c_str(), measurement, Number(max, "null").c_str(), Number(min, "null").c_str(),
            Number(dpdt, "null").c_str(), status.c_str());
    } else {
        platform::PrintFormatted(stdout, "%s  %3d %%  max %3s %%  min %3s %%  dP/dt %3s %%  %s\n",
                                 time.c_str(), measurement, Number(max, "--").c_str(),
                                 Number(min, "--").c_str(), Number(dpdt, "--").c_str(),
                                 status.c_str());
    }
    return FlushOutput();
}

bool PrintLinkEvent(bool lost, MonitorFormat format) {
    lastPrintedUs = std::max(WallUs(SteadyNs()), lastPrintedUs + 1000);
    const std::string time = IsoLocalTime(lastPrintedUs);
    const char* event = lost ? "link lost" : "link back";
    if (format == MonitorFormat::Csv) {
        // A row of its own keeps the file well-formed: no values, the event in the status.
        platform::PrintFormatted(stdout, "%s,,,,,%s\n", time.c_str(), event);
    } else if (format == MonitorFormat::Json) {
        platform::PrintFormatted(stdout, "{\"time\": \"%s\", \"event\": \"%s\"}\n", time.c_str(),
                                 event);
    } else {
        platform::PrintFormatted(
            stdout, "%s  %s\n", time.c_str(),
            lost ? "link lost: no message from the device; waiting for it" : "link back");
    }
    return FlushOutput();
}

std::atomic<int32_t> messagesHeard{0};

void CountMessage(uint16_t) {
    messagesHeard.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

int CommandMonitor(MonitorFormat format, double durationSeconds) {
    wallOffsetNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count() -
                       SteadyNs());
    SetReadHook(OnRead);
    SetReceiveHook(OnChunk);
    SetMessageHook(OnMonitorMessage);
    if (!Connect()) {
        SetMessageHook(nullptr);
        SetReceiveHook(nullptr);
        SetReadHook(nullptr);
        return kExitUsage;
    }
    if (format == MonitorFormat::Csv) {
        platform::PrintFormatted(stdout,
                                 "time,measurement (%%),max (%%),min (%%),dpdt (%%),status\n");
    }
    bool outputOpen = FlushOutput();
    const auto start = std::chrono::steady_clock::now();
    auto nextTick = start;
    bool lost = false;
    int32_t dropped = 0;
    while (outputOpen && !Interrupted()) {
        const auto now = std::chrono::steady_clock::now();
        if (durationSeconds > 0 &&
            std::chrono::duration<double>(now - start).count() >= durationSeconds) {
            break;
        }
        // The link supervision of the window's 47 ms timer: link loss is what blanks the values.
        if (now >= nextTick) {
            nextTick += std::chrono::milliseconds(kLinkTickMs);
            LinkTick();
            if (!lost && liveValues.linkTimeout.load() == 0 &&
                liveValues.measurement.load() == -1) {
                lost = true;
                outputOpen = PrintLinkEvent(true, format);
            }
        }
        for (int32_t read = monitorRead.load(std::memory_order_relaxed);
             outputOpen && read != monitorWrite.load(std::memory_order_acquire);) {
            if (lost) {
                lost = false;
                outputOpen = PrintLinkEvent(false, format) && outputOpen;
            }
            outputOpen = PrintMonitorLine(monitorRing[read], format) && outputOpen;
            read = (read + 1) % kMonitorRing;
            monitorRead.store(read, std::memory_order_release);
        }
        if (const int32_t total = monitorDropped.load(); total != dropped) {
            Fail("%s: %s lines dropped (output too slow)", portLabel,
                 std::to_string(total - dropped));
            dropped = total;
        }
        Pause(10);
    }
    CloseLink();
    SetMessageHook(nullptr);
    SetReceiveHook(nullptr);
    SetReadHook(nullptr);
    // A failed output is judged once everything is written (FinishOutput).
    return kExitOk;
}

// Waits until the command is on the line.
int SendSingleCommand(uint16_t command) {
    SetMessageHook(CountMessage);
    if (!Connect()) {
        SetMessageHook(nullptr);
        return kExitUsage;
    }
    int result = kExitOk;
    int waited = 0;
    while (messagesHeard.load() == 0 && waited < kReplyTimeoutMs && Pause(10)) {
        waited += 10;
    }
    if (Interrupted()) {
        result = kExitInterrupted;
    } else if (messagesHeard.load() == 0) {
        Fail("%s: no message from the device within 2 s; nothing sent", portLabel);
        result = kExitNoReply;
    } else {
        SendCommand(command);
        if (!FlushLink(1000)) {
            Fail("%s: the command could not be sent", portLabel);
            result = kExitUsage;
        }
    }
    CloseLink();
    SetMessageHook(nullptr);
    return result;
}

}  // namespace kvxctl
