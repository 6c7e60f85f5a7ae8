// The trend samples: a 500-entry ring the reader thread appends to and the window thread plots
// from, and the 500-entry history of plotted samples that full redraws and the printout draw.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kTrendSize = 500;

struct TrendBuffer {
    std::atomic<int32_t> sampleRing[kTrendSize] = {};  // plot heights, measurement x 2
    std::atomic<uint16_t> sampleWrite{0};              // written by the reader thread only
    std::atomic<uint16_t> sampleRead{0};               // written by the window thread only
    int32_t historyRing[kTrendSize] = {};              // window thread only from here on
    uint16_t historyPos = 0;
    uint16_t historyCount = 0;  // plotted samples the history holds, up to 500
    int32_t lastPlotted = 0;
    bool awaitingFirstSample = true;
};

inline TrendBuffer trendBuffer;

// Measurement messages per trend sample and stop-at-alarm ticks, by rollIndex.
inline constexpr int kRollDivider[3] = {1, 3, 6};
inline constexpr int kRollStopTicks[3] = {40, 120, 240};

// Reader thread: records the current measurement as the next sample.
void AppendTrendSample();
// Window thread: drops samples not yet plotted (after a roll time change).
void ResyncTrend();
// Back to the start-up state: empty rings, first sample awaited (tests; no reader may run).
void ResetTrendBuffer();
// One plotted step of the curve: a line from height `from` to height `to`, unless it is the
// very first sample plotted, which is not connected to anything.
struct TrendStep {
    int32_t from;
    int32_t to;
    bool connect;
};
// Window thread: takes the next unplotted sample into the history (and lastPlotted); false when
// none is pending.
bool TakeTrendSample(TrendStep* step);
