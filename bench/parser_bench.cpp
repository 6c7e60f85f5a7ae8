// Throughput of the receive parser on a device-like stream: mostly measurement messages with
// peaks, status codes and now and then a full parameter reply with identity, delivered in the
// reader thread's 4-byte chunks. Google Benchmark prints bytes per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "link/protocol.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"

namespace {

void AppendShort(std::vector<uint8_t>& out, uint8_t value) {
    uint8_t b0 = static_cast<uint8_t>((value & 0xF0) | 1);
    uint8_t b1 = static_cast<uint8_t>((value << 4) | 1);
    out.insert(out.end(), {b0, b1, static_cast<uint8_t>(b0 + b1), 13});
}

void AppendLong(std::vector<uint8_t>& out, uint16_t value) {
    uint8_t message[kLongMessageSize];
    EncodeLongMessage(value, message);
    out.insert(out.end(), message, message + kLongMessageSize);
}

std::vector<uint8_t> DeviceStream() {
    std::vector<uint8_t> stream;
    for (int second = 0; second < 20; ++second) {
        for (int i = 0; i < 50; ++i) {
            AppendShort(stream, static_cast<uint8_t>((second * 50 + i) % 200));
        }
        AppendLong(stream, 400 + 120);
        AppendLong(stream, 200 + 30);
        AppendLong(stream, 600 + 15);
        AppendLong(stream, 65005);
        if (second % 5 == 0) {
            for (int word = kParameterCount - 1; word >= 0; --word) {
                AppendLong(stream, kParameterTable[word].transferCode);
            }
            for (char c : "KORVEX PM-2 #0042") {
                AppendLong(stream, c == 0 ? MSG_IDENTITY_END : static_cast<uint16_t>(65200 + c));
            }
        }
    }
    return stream;
}

void BM_ParseInReaderChunks(benchmark::State& state) {
    const std::vector<uint8_t> stream = DeviceStream();
    ResetProtocolState();
    ResetTrendBuffer();
    for (auto _ : state) {
        for (size_t pos = 0; pos + 4 <= stream.size(); pos += 4) {
            ParseReceived(stream.data() + pos, 4);
        }
        benchmark::DoNotOptimize(liveValues.measurement.load());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size() / 4 * 4));
}
BENCHMARK(BM_ParseInReaderChunks);

}  // namespace
