// Unit test helpers: a private temporary directory per test with whole-file reads and writes,
// a recorder that takes the place of message boxes, and the device's side of the line protocol
// (what the program put on the wire, replies fed back to the parser).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "link/tx_ring.h"
#include "output/trend_buffer.h"
#include "params/parameter_file.h"
#include "params/parameter_set.h"
#include "platform/message_box.h"
#include "records/settings.h"
#include "records/window_state.h"
#include "support/process_test.h"

class TempDirTest : public ::testing::Test {
  protected:
    std::string PathOf(const char* name) const { return folder_ / name; }
    TempFolder folder_;
    const std::string& dir_ = folder_.path;
};

struct RecordedBox {
    std::string text, caption;
    platform::MessageIcon icon;
    platform::MessageButtons buttons;
};
inline std::vector<RecordedBox> recordedBoxes;
inline platform::MessageResult boxAnswer;  // what the user answers every box

inline void StartRecordingBoxes(platform::MessageResult answer = platform::MessageResult::Ok) {
    recordedBoxes.clear();
    boxAnswer = answer;
    platform::SetMessageBoxHook([](const char* text, const char* caption,
                                   platform::MessageIcon icon, platform::MessageButtons buttons) {
        recordedBoxes.push_back({text, caption, icon, buttons});
        return boxAnswer;
    });
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
// The words of the long messages in the ring, each checked whole (checksum and CR included).
inline std::vector<uint16_t> SentWords() {
    const std::vector<uint8_t> b = TakeAllTx();
    const std::vector<uint16_t> words = WordsOf(b);
    std::vector<uint8_t> rebuilt;
    for (uint16_t w : words) {
        const auto m = Bytes(w);
        rebuilt.insert(rebuilt.end(), m.begin(), m.end());
    }
    EXPECT_EQ(rebuilt, b);
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

// Puts every process-wide record the window uses back into its start-up state. No link thread
// runs between tests, so the records can simply be built anew.
inline void ResetProgramState() {
    auto renew = [](auto& record) {
        std::destroy_at(&record);
        std::construct_at(&record);
    };
    SetSettingsDefaults(settings);
    ResetProtocolState();
    ResetCommandQueue();
    renew(windowFlags);
    renew(trendBuffer);
    renew(parameterSet);
    uint8_t drained[kTxRingSize];
    while (TakeTxBytes(drained) > 0) {
    }
}
// The device's identity text as a poll leaves it.
inline void SetIdentity(const char* text) {
    char identity[kIdentitySize] = {};
    std::snprintf(identity, sizeof identity, "%s", text);
    StoreIdentity(identity);
}
// The parameter file's record as a save would write it now.
inline std::vector<uint8_t> ParameterRecord() {
    std::vector<uint8_t> image(kParameterFileSize);
    BuildParameterRecord(image.data());
    return image;
}
// Tests without a window: the start-up state, and no window to tell of changes.
inline void ResetLinkState() {
    ResetProgramState();
    SetInvalidateWindowHook(nullptr);
}
