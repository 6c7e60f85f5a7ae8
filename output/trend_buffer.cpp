// The sample ring has one producer (the reader thread) and one consumer (the window thread) and
// no lock: a sample is stored before the index that publishes it, and each index is stored
// already wrapped into 0..499.
#include "output/trend_buffer.h"

#include "link/protocol.h"

namespace {

uint16_t NextTrendIndex(uint16_t index) {
    return static_cast<uint16_t>(index + 1 >= kTrendSize ? 0 : index + 1);
}

}  // namespace

void AppendTrendSample() {
    int32_t measurement = liveValues.measurement.load(std::memory_order_relaxed);
    // The window thread may have blanked the value since the parser stored it; a blank is not a
    // sample, and a height of -2 would be drawn below the time axis.
    if (measurement < 0) {
        return;
    }
    uint16_t write = trendBuffer.sampleWrite.load(std::memory_order_relaxed);
    trendBuffer.sampleRing[write].store(measurement * 2, std::memory_order_relaxed);
    // Like the display it feeds, the ring does not detect overrun: 500 samples ahead of the
    // consumer it looks empty again, and only the newest count modulo 500 gets plotted.
    trendBuffer.sampleWrite.store(NextTrendIndex(write), std::memory_order_release);
}

void ResyncTrend() {
    if (trendBuffer.awaitingFirstSample) {
        return;
    }
    trendBuffer.sampleRead.store(trendBuffer.sampleWrite.load(std::memory_order_acquire),
                                 std::memory_order_release);
}

bool TakeTrendSample(TrendStep* step) {
    uint16_t read = trendBuffer.sampleRead.load(std::memory_order_relaxed);
    if (read == trendBuffer.sampleWrite.load(std::memory_order_acquire)) {
        return false;
    }
    int32_t value = trendBuffer.sampleRing[read].load(std::memory_order_relaxed);
    step->from = trendBuffer.lastPlotted;
    step->to = value;
    // The very first sample has no predecessor on screen to connect to.
    step->connect = !trendBuffer.awaitingFirstSample;
    trendBuffer.awaitingFirstSample = false;
    trendBuffer.lastPlotted = value;
    trendBuffer.historyRing[trendBuffer.historyPos] = value;
    trendBuffer.historyPos = NextTrendIndex(trendBuffer.historyPos);
    if (trendBuffer.historyCount < kTrendSize) {
        ++trendBuffer.historyCount;
    }
    trendBuffer.sampleRead.store(NextTrendIndex(read), std::memory_order_release);
    return true;
}

void ResetTrendBuffer() {
    for (auto& sample : trendBuffer.sampleRing) {
        sample.store(0);
    }
    trendBuffer.sampleWrite.store(0);
    trendBuffer.sampleRead.store(0);
    for (auto& sample : trendBuffer.historyRing) {
        sample = 0;
    }
    trendBuffer.historyPos = 0;
    trendBuffer.historyCount = 0;
    trendBuffer.lastPlotted = 0;
    trendBuffer.awaitingFirstSample = true;
}
