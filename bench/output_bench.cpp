// The two outputs that leave the program as files: the screen dump (bitmap description, pixels
// read bottom-up, the file written) at 24 and 32 bits for the main window's picture, and one
// printed report page with a full trend history drawn into a PDF file. The file choice and the
// print dialog are answered by their hooks; the files go to the bench's scratch folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_window.h"
#include "output/report.h"
#include "output/screen_dump.h"
#include "output/trend_buffer.h"
#include "params/parameter_set.h"
#include "platform/bitmap.h"
#include "platform/file_dialog.h"
#include "platform/handles.h"
#include "platform/printer.h"

namespace {

std::string& OutputPath() {
    static std::string path;
    return path;
}

uint32_t AnswerSaveDialog(platform::FileDialogKind, const platform::FileDialogSpec&, char* path,
                          int size) {
    std::snprintf(path, static_cast<size_t>(size), "%s", OutputPath().c_str());
    return 0;
}

uint32_t AnswerPrintDialog(char* path, int size, bool* landscape) {
    std::snprintf(path, static_cast<size_t>(size), "%s", OutputPath().c_str());
    *landscape = false;
    return 0;
}

// The window's picture as Rgb() values, top row first, read through a 32-bit description.
std::vector<uint32_t> WindowPicture(platform::BitmapDescription* size) {
    platform::WindowHandle window = BenchWindow();
    platform::BitmapHandle capture = platform::CaptureWindow(window);
    platform::GetBitmapDescription(capture, size);
    const int w = size->width, h = size->height;
    uint8_t info[40] = {40};
    info[4] = static_cast<uint8_t>(w);
    info[5] = static_cast<uint8_t>(w >> 8);
    info[8] = static_cast<uint8_t>(h);
    info[9] = static_cast<uint8_t>(h >> 8);
    info[12] = 1;
    info[14] = 32;
    std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 4);
    platform::GetBitmapBits(capture, h, rows.data(), info);
    platform::DeleteBitmap(capture);
    std::vector<uint32_t> rgb(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = rows.data() + static_cast<size_t>(h - 1 - y) * w * 4;
        for (int x = 0; x < w; ++x) {
            rgb[static_cast<size_t>(y) * w + x] =
                platform::Rgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        }
    }
    return rgb;
}

void BM_ScreenDumpFile(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    platform::BitmapDescription size{};
    const std::vector<uint32_t> picture = WindowPicture(&size);
    platform::BitmapHandle bitmap = platform::CreateBitmap(
        size.width, size.height, static_cast<int>(state.range(0)), picture.data());
    OutputPath() = (BenchFolder() / "dump.bmp").string();
    platform::SetFileDialogHook(AnswerSaveDialog);
    for (auto _ : state) {
        WriteBitmapFile(window, BuildBitmapInfo(window, bitmap), bitmap);
    }
    platform::SetFileDialogHook(nullptr);
    platform::DeleteBitmap(bitmap);
    const auto fileSize = static_cast<int64_t>(std::filesystem::file_size(OutputPath()));
    state.SetBytesProcessed(state.iterations() * fileSize);
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height) + ", " +
                   std::to_string(fileSize) + " bytes");
}
BENCHMARK(BM_ScreenDumpFile)->Arg(24)->Arg(32)->UseRealTime()->Unit(benchmark::kMillisecond);

// The whole menu command: identity bar, capture at the display's depth, file.
void BM_ScreenDumpCommand(benchmark::State& state) {
    platform::WindowHandle window = BenchWindow();
    OutputPath() = (BenchFolder() / "command.bmp").string();
    platform::SetFileDialogHook(AnswerSaveDialog);
    for (auto _ : state) {
        RunScreenDumpCommand(window);
    }
    platform::SetFileDialogHook(nullptr);
    const auto fileSize = static_cast<int64_t>(std::filesystem::file_size(OutputPath()));
    state.SetBytesProcessed(state.iterations() * fileSize);
}
BENCHMARK(BM_ScreenDumpCommand)->UseRealTime()->Unit(benchmark::kMillisecond);

// One page, from the printer's context to the closed PDF file, with all 500 plotted samples.
void BM_ReportPage(benchmark::State& state) {
    BenchWindow();
    for (int i = 0; i < kTrendSize + 20; ++i) {
        liveValues.measurement.store(20 + (i * 13) % 160);
        AppendTrendSample();
        TrendStep step;
        TakeTrendSample(&step);
    }
    for (int word = 0; word < kParameterCount; ++word) {
        parameterSet.deviceWords[word].store(kParameterTable[word].maxValue);
    }
    OutputPath() = (BenchFolder() / "report.pdf").string();
    platform::SetPrintDialogHook(AnswerPrintDialog);
    for (auto _ : state) {
        platform::DeviceContext printer = nullptr;
        SelectPrinter(nullptr, &printer);
        if (printer == nullptr) {
            state.SkipWithError("no PDF printer context");
            break;
        }
        const int32_t result = PrintReport(printer);
        platform::DeletePrinterContext(printer);
        if (result != 0) {
            state.SkipWithError("the PDF printer refused the page");
            break;
        }
    }
    platform::SetPrintDialogHook(nullptr);
    state.SetLabel(std::to_string(std::filesystem::file_size(OutputPath())) + " bytes of PDF");
}
BENCHMARK(BM_ReportPage)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
