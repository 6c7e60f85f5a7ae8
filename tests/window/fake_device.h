// The fake device on a pseudo-terminal. Listening, it records every whole message, keeps the
// words it is sent, answers a poll (when told to) with words 1..21 then 0 as a Korvex does and can
// stream a measurement; not listening, the test reads and writes the raw bytes itself.
#pragma once

#include <termios.h>

#include <atomic>
#include <mutex>

#include "params/parameter_set.h"
#include "support/process_test.h"

class FakeDevice {
  public:
    explicit FakeDevice(bool answerPolls, bool listen = true) : answerPolls_(answerPolls) {
        opened_ = OpenPty(master_, slave_, path_);
        if (opened_ && listen) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~FakeDevice() { Close(); }
    // Unplugged: both ends closed, which hangs the line up.
    void Close() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
        for (int* fd : {&slave_, &master_}) {
            if (*fd >= 0) {
                close(*fd);
            }
            *fd = -1;
        }
    }
    bool opened() const { return opened_; }
    const std::string& path() const { return path_; }
    // The line settings the program left on its end.
    termios Line() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    void Write(const std::vector<uint8_t>& bytes) const {
        [[maybe_unused]] ssize_t n = write(master_, bytes.data(), bytes.size());
    }
    // Not listening: what the program sent, up to want bytes or until the limit passes.
    std::vector<uint8_t> Read(size_t want, int limitMs) const {
        std::vector<uint8_t> got(want);
        size_t have = 0;
        for (const auto start = Clock::now(); have < want && ElapsedMs(start) < limitMs;) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 10) == 1) {
                const ssize_t n = read(master_, got.data() + have, want - have);
                have += n > 0 ? static_cast<size_t>(n) : 0;
            }
        }
        got.resize(have);
        return got;
    }
    // Every long message received so far, in order.
    std::vector<uint16_t> Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // Waits until at least count messages have arrived (or the limit passes).
    std::vector<uint16_t> WaitForCount(size_t count, int limitMs = 2000) {
        WaitUntil([&] { return Received().size() >= count; }, limitMs);
        return Received();
    }
    std::atomic<int> measurement{-1};  // when not -1, sent as a short message every 50 ms

  private:
    void Run() {
        std::vector<uint8_t> line;
        uint16_t words[kParameterCount] = {};
        for (auto sent = Clock::now(); !stop_.load();) {
            if (const int m = measurement.load(); m >= 0 && ElapsedMs(sent) >= 50) {
                Write(ShortBytes(static_cast<uint8_t>(m)));
                sent = Clock::now();
            }
            pollfd p{master_, POLLIN, 0};
            uint8_t buffer[64];
            if (poll(&p, 1, 5) != 1) {
                continue;
            }
            const ssize_t n = read(master_, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                line.push_back(buffer[i]);
                if (buffer[i] != 13) {
                    continue;
                }
                // Only a whole message with its checksum counts.
                if (line.size() == kLongMessageSize && line == Bytes(WordsOf(line)[0])) {
                    Handle(WordsOf(line)[0], words);
                }
                line.clear();
            }
        }
    }
    void Handle(uint16_t word, uint16_t* words) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(word);
        }
        if (const int index = FindParameterBand(word); index >= 0 && word < 65000) {
            words[index] = static_cast<uint16_t>(word - kParameterTable[index].transferCode);
        }
        if (word == CMD_POLL && answerPolls_) {
            for (int i = 1; i <= kParameterCount; ++i) {
                const int index = i % kParameterCount;  // word 0 last
                Write(Bytes(
                    static_cast<uint16_t>(kParameterTable[index].transferCode + words[index])));
            }
        }
    }

    bool answerPolls_;
    bool opened_ = false;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<uint16_t> received_;
    std::thread thread_;
};
