// Unit test helpers: a private temporary directory per test with whole-file reads and writes,
// a recorder that takes the place of message boxes, and the device's side of the line protocol
// (what the program put on the wire, replies fed back to the parser).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "link/protocol.h"
#include "link/tx_ring.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "platform/message_box.h"
#include "records/settings.h"
#include "records/window_state.h"
#include "support/process_test.h"

class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvxtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

struct RecordedBox {
    std::string text, caption;
    platform::MessageIcon icon;
    platform::MessageButtons buttons;
};
inline std::vector<RecordedBox> recordedBoxes;

inline void StartRecordingBoxes() {
    recordedBoxes.clear();
    platform::SetMessageBoxHook([](const char* text, const char* caption,
                                   platform::MessageIcon icon, platform::MessageButtons buttons) {
        recordedBoxes.push_back({text, caption, icon, buttons});
        return platform::MessageResult::Ok;
    });
}

inline std::vector<uint8_t> Bytes(uint16_t word) {
    uint8_t m[kLongMessageSize];
    EncodeLongMessage(word, m);
    return {m, m + kLongMessageSize};
}
inline void Feed(const std::vector<uint8_t>& b) {
    ParseReceived(b.data(), int(b.size()));
}
inline void FeedWords(std::initializer_list<uint16_t> words) {
    for (uint16_t w : words)
        Feed(Bytes(w));
}
inline std::vector<uint8_t> TakeAllTx() {
    std::vector<uint8_t> all;
    uint8_t buffer[kTxRingSize];
    while (int n = TakeTxBytes(buffer))
        all.insert(all.end(), buffer, buffer + n);
    return all;
}
// The words of the long messages in the ring (nibbles in the upper half, checksum, CR).
inline std::vector<uint16_t> SentWords() {
    std::vector<uint8_t> b = TakeAllTx();
    std::vector<uint16_t> words;
    for (size_t i = 0; i + kLongMessageSize <= b.size(); i += kLongMessageSize) {
        words.push_back(
            uint16_t(b[i] >> 4 << 12 | b[i + 1] >> 4 << 8 | b[i + 2] >> 4 << 4 | b[i + 3] >> 4));
        EXPECT_EQ(Bytes(words.back()), std::vector<uint8_t>(b.begin() + i, b.begin() + i + 6));
    }
    EXPECT_EQ(b.size() % kLongMessageSize, 0u);
    return words;
}
// The device: waits (up to 5 s) for the poll on the wire, then answers with the given words.
inline std::thread AnswerPoll(std::vector<uint16_t> reply) {
    return std::thread([reply] {
        for (int ms = 0; ms < 5000 && TakeAllTx() != Bytes(CMD_POLL); ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (uint16_t w : reply)
            Feed(Bytes(w));
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
    windowFlags.panelRepaint = windowFlags.valuesChanged = windowFlags.confirmPending = 0;
    windowFlags.alarmCountdown = 0;
    for (int i = 0; i < kParameterCount; ++i)
        parameterSet.deviceWords[i] = parameterSet.editWords[i] = 0;
}
