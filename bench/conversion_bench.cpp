// Conversion speed against the I/O floor: the same bytes read and written
// with plain buffered stdio. Both run on the same generated files in one
// process, so their ratio can be read off one run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "convert/converter.h"

namespace {

using namespace tarvel;

class CQuietPrompt : public CPrompt {
public:
    int MessageBox(const std::string&, int) override { return kIdOk; }
};

class CNoSettings : public CSettingsWriter {
public:
    void WriteString(const char*, const char*, const std::string&) override {}
};

std::filesystem::path WorkDir() {
    static std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvel-bench-XXXXXX").string();
        return std::filesystem::path(::mkdtemp(pattern.data()));
    }();
    return dir;
}

// A file of `rows` rows with all seven fields, written once per size.
std::string InputFile(int rows) {
    std::filesystem::path path = WorkDir() / ("input-" + std::to_string(rows) + ".csv");
    if (!std::filesystem::exists(path)) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        for (int i = 0; i < rows; ++i) {
            int day = i % 28 + 1, month = i / 28 % 12 + 1, year = 1970 + i / 336 % 160;
            std::fprintf(f, "%04d%02d%02d,%.2f,%.2f,%.2f,%.2f,%d,%d\n", year, month, day, 100 + i % 50 * 0.25,
                         101 + i % 50 * 0.25, 99 + i % 50 * 0.25, 100.5 + i % 50 * 0.25, 10000 + i, 5000 + i % 977);
        }
        std::fclose(f);
    }
    return path;
}

void BM_Convert(benchmark::State& state) {
    int rows = static_cast<int>(state.range(0));
    std::string input = InputFile(rows);
    std::filesystem::path out = WorkDir() / "portfolio";
    auto platform = MakePosixPlatform();
    CQuietPrompt prompt;
    CNoSettings settings;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        state.ResumeTiming();
        CConverter job(*platform, prompt, settings);
        job.m_strPathIn = input;
        job.SetPathOut(out.string());
        job.SetSymbol("BENCH");
        job.SetName("BENCHMARK");
        job.m_nDateFormat = 8;
        for (int f = 0; f < kFieldCount; ++f) {
            job.m_bFieldOn[f] = 1;
            job.m_nFieldColumn[f] = f;
        }
        if (job.Run() != 0) state.SkipWithError("conversion failed");
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

// Reads the input line by line and writes as many bytes as the conversion
// writes (28 per row plus headers), with buffered stdio.
void BM_StdioFloor(benchmark::State& state) {
    int rows = static_cast<int>(state.range(0));
    std::string input = InputFile(rows);
    std::filesystem::path out = WorkDir() / "floor.dat";
    char line[300];
    char record[28] = {};
    for (auto _ : state) {
        std::FILE* in = std::fopen(input.c_str(), "r");
        std::FILE* dat = std::fopen(out.c_str(), "wb");
        while (std::fgets(line, sizeof line, in)) std::fwrite(record, sizeof record, 1, dat);
        std::fwrite(record, sizeof record, 1, dat);
        std::fclose(dat);
        std::fclose(in);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_Convert)->Arg(1000)->Arg(65534)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioFloor)->Arg(1000)->Arg(65534)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
