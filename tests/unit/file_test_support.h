// Helpers for tests that read and write files: a private temporary directory per test, whole-file
// reads and writes, and a recorder that takes the place of message boxes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/message_box.h"

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

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

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
