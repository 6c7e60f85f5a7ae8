// Test helpers for the line protocol: play the device's side of the line and read back what the
// program put on the wire.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "app/window_state.h"
#include "link/protocol.h"
#include "link/tx_ring.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"

inline std::vector<uint8_t> Bytes(uint16_t word) {
    uint8_t m[kLongMessageSize];
    EncodeLongMessage(word, m);
    return {m, m + kLongMessageSize};
}

inline void Feed(const std::vector<uint8_t>& bytes) {
    ParseReceived(bytes.data(), static_cast<int>(bytes.size()));
}

inline void FeedWords(std::initializer_list<uint16_t> words) {
    for (uint16_t w : words) {
        Feed(Bytes(w));
    }
}

inline std::vector<uint8_t> TakeAllTx() {
    std::vector<uint8_t> all;
    uint8_t buffer[kTxRingSize];
    while (int n = TakeTxBytes(buffer)) {
        all.insert(all.end(), buffer, buffer + n);
    }
    return all;
}

// Decodes the long messages taken from the ring; a malformed one fails the test.
inline std::vector<uint16_t> SentWords() {
    std::vector<uint8_t> b = TakeAllTx();
    EXPECT_EQ(b.size() % kLongMessageSize, 0u);
    std::vector<uint16_t> words;
    for (size_t i = 0; i + kLongMessageSize <= b.size(); i += kLongMessageSize) {
        uint16_t w = 0;
        for (size_t k = 0; k < 4; ++k) {
            w = static_cast<uint16_t>(w << 4 | b[i + k] >> 4);
        }
        EXPECT_EQ(b[i + 5], 13);
        EXPECT_EQ(Bytes(w), std::vector<uint8_t>(b.begin() + i, b.begin() + i + 6));
        words.push_back(w);
    }
    return words;
}

// The device: waits for a poll on the wire (up to 5 s), then answers with the given words.
inline std::thread AnswerPoll(std::vector<uint16_t> reply) {
    return std::thread([reply] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        const std::vector<uint8_t> poll = Bytes(CMD_POLL);
        std::vector<uint8_t> seen;
        auto polled = [&] {
            return seen.size() >= poll.size() &&
                   std::equal(poll.begin(), poll.end(), seen.end() - poll.size());
        };
        while (!polled() && std::chrono::steady_clock::now() < deadline) {
            std::vector<uint8_t> more = TakeAllTx();
            seen.insert(seen.end(), more.begin(), more.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (uint16_t w : reply) {
            Feed(Bytes(w));
        }
    });
}

inline void ResetLinkState() {
    ResetProtocolState();
    ResetCommandQueue();
    ResetTrendBuffer();
    TakeAllTx();
    SetInvalidateWindowHook(nullptr);
    settings.rollIndex = 1;
    settings.stopAtAlarm = 0;
    windowFlags.panelRepaint = 0;
    windowFlags.valuesChanged = 0;
    windowFlags.confirmPending = 0;
    windowFlags.alarmCountdown = 0;
    for (int i = 0; i < kParameterCount; ++i) {
        parameterSet.deviceWords[i] = 0;
        parameterSet.editWords[i] = 0;
    }
}
