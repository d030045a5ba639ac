// Conversion speed against the I/O floor: the same bytes read and written
// with plain buffered stdio. Both run on the same generated files in one
// process, so their ratio can be read off one run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "convert/detect.h"

extern char** environ;

namespace {

using namespace tarvel;

class CQuietPrompt : public CPrompt {
public:
    int MessageBox(const std::string&, int) override { return kIdOk; }
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
                         101 + i % 50 * 0.25, 99 + i % 50 * 0.25, 100.5 + i % 50 * 0.25, 10000 + i,
                         5000 + i % 977);
        }
        std::fclose(f);
    }
    return path;
}

// range(1): 1 to detect the layout first, as `tarvel-cli convert FILE` does.
void BM_Convert(benchmark::State& state) {
    int rows = static_cast<int>(state.range(0));
    const bool detect = state.range(1) != 0;
    std::string input = InputFile(rows);
    std::filesystem::path out = WorkDir() / "portfolio";
    auto platform = MakeSystemPlatform();
    CQuietPrompt prompt;
    CNoSettingsWriter settings;
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
        job.m_bUseExistingMaster = 0;
        for (int f = 0; f < kFieldCount; ++f) {
            job.m_bFieldOn[f] = 1;
            job.m_nFieldColumn[f] = f;
        }
        if (detect && !FillConverterFromLayout(DetectFileLayout(*platform, input), job)) {
            state.SkipWithError("no layout detected");
        }
        if (job.Run() != 0) state.SkipWithError("conversion failed");
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
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
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

// Writes `size` bytes durably as a conversion writes each file: under a
// temporary name, synced, renamed into place, the directory synced (unless
// the caller syncs it once for many files).
void WriteDurably(const std::filesystem::path& path, const char* bytes, std::size_t size,
                  bool syncDirectory = true) {
    std::filesystem::path temp = path.string() + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, bytes, size) != static_cast<ssize_t>(size)) std::abort();
    ::fdatasync(fd);
    ::close(fd);
    std::filesystem::rename(temp, path);
    if (!syncDirectory) return;
    int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dir);
    ::close(dir);
}

// The I/O floor of a conversion: the input read line by line and the bytes a
// conversion writes (28 per row plus headers, the field description, a new
// MASTER and its backup) written with the same durability, so that the ratio
// to BM_Convert is what parsing, checking and sorting cost.
void BM_DurableFloor(benchmark::State& state) {
    int rows = static_cast<int>(state.range(0));
    std::string input = InputFile(rows);
    std::filesystem::path dir = WorkDir() / "floor";
    std::filesystem::create_directories(dir);
    char line[300];
    std::string data, small(106, '\0');
    for (auto _ : state) {
        data.clear();
        std::FILE* in = std::fopen(input.c_str(), "r");
        while (std::fgets(line, sizeof line, in)) data.append(28, '\0');
        std::fclose(in);
        data.append(28, '\0');
        WriteDurably(dir / "F1.DAT", data.data(), data.size());
        WriteDurably(dir / "F1.DOP", small.data(), 80);
        WriteDurably(dir / "MASTER.BAK", small.data(), 53);
        WriteDurably(dir / "MASTER", small.data(), small.size());
    }
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

// --- Detection of a file's layout from its 64 KiB head ---------------------

// A 64 KiB head of a download in one of two shapes: 0 the generated rows of
// InputFile (no header, eight-digit dates); 1 a named table with month-name
// dates, quoted thousands and columns no field comes from.
std::string DetectHead(int shape) {
    std::string head;
    if (shape == 0) {
        std::FILE* f = std::fopen(InputFile(65534).c_str(), "rb");
        head.resize(kDetectBytes);
        head.resize(std::fread(head.data(), 1, head.size(), f));
        std::fclose(f);
        return head;
    }
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    head = "\"Date\",\"Price\",\"Open\",\"High\",\"Low\",\"Vol.\",\"Change %\",\"Trades\"\n";
    for (int i = 0; head.size() < kDetectBytes; ++i) {
        char line[160];
        const double p = 4000 + i % 97 * 1.25;
        std::snprintf(line, sizeof line,
                      "\"%s %02d, %d\",\"%.2f\",\"%.2f\",\"%.2f\",\"%.2f\",\"%d.%02dM\",\"%.2f%%\",%d\n",
                      kMonths[11 - i / 28 % 12], 28 - i % 28, 2024 - i / 336, p, p - 3, p + 9, p - 7,
                      100 + i % 800, i % 100, (i % 7 - 3) * 0.31, 100000 + i * 37 % 900000);
        head += line;
    }
    head.resize(kDetectBytes);
    return head;
}

void BM_DetectHead(benchmark::State& state) {
    const std::string head = DetectHead(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CDetectedLayout layout = DetectLayout(head);
        if (!layout.IsComplete()) state.SkipWithError("no layout detected");
        benchmark::DoNotOptimize(layout);
    }
}

// The floor for detection: every byte of the head looked at once, as
// splitting it into lines must.
void BM_ScanHead(benchmark::State& state) {
    const std::string head = DetectHead(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::size_t lines = static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
        benchmark::DoNotOptimize(lines);
    }
}

// --- Batches: a folder of files in one run --------------------------------

constexpr int kBatchRows = 5000;

// `files` inputs of kBatchRows rows each, with a header as downloads have,
// in their own folder; written once.
std::filesystem::path BatchFolder(int files) {
    std::filesystem::path dir = WorkDir() / ("batch-" + std::to_string(files));
    if (std::filesystem::exists(dir)) return dir;
    std::filesystem::create_directories(dir);
    for (int n = 0; n < files; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "S%04d.csv", n);
        std::FILE* f = std::fopen((dir / name).c_str(), "w");
        std::fputs("Date,Open,High,Low,Close,Volume\n", f);
        for (int i = 0; i < kBatchRows; ++i) {
            int day = i % 28 + 1, month = i / 28 % 12 + 1, year = 1980 + i / 336;
            double p = 10 + n % 90 + i % 50 * 0.25;
            std::fprintf(f, "%04d-%02d-%02d,%.2f,%.2f,%.2f,%.2f,%d\n", year, month, day, p, p + 1, p - 1,
                         p + 0.5, 10000 + i);
        }
        std::fclose(f);
    }
    return dir;
}

// Runs tarvel-cli with `args`, its output thrown away; its peak resident
// memory in KiB goes to *maxRssKiB.
bool RunCli(const std::vector<std::string>& args, long* maxRssKiB = nullptr) {
    std::vector<char*> argv;
    // TARVEL_BENCH_CLI measures another build (an older one, say) in the same run.
    const char* other = std::getenv("TARVEL_BENCH_CLI");
    std::string program = other != nullptr ? other : TARVEL_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    bool ok = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    ok = ok && ::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (maxRssKiB != nullptr) *maxRssKiB = usage.ru_maxrss;
    return ok;
}

std::filesystem::path FreshPortfolio() {
    std::filesystem::path out = WorkDir() / "batch-portfolio";
    std::filesystem::remove_all(out);
    return out;
}

// One `tarvel-cli convert FOLDER --out DIR` of range(0) files.
void BM_BatchRun(benchmark::State& state) {
    int files = static_cast<int>(state.range(0));
    std::filesystem::path folder = BatchFolder(files);
    long maxRss = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::path out = FreshPortfolio();
        state.ResumeTiming();
        if (!RunCli({"convert", folder.string(), "--out", out.string()}, &maxRss))
            state.SkipWithError("batch failed");
    }
    state.counters["files"] = files;
    state.counters["peak_KiB"] = static_cast<double>(maxRss);
}

// One whole `tarvel-cli convert FILE --out DIR --symbol BENCH` process of
// range(0) rows, the layout detected: start-up, detection, conversion and the
// durable commit, to set against BM_DurableFloor.
void BM_ProcessConvert(benchmark::State& state) {
    std::string input = InputFile(static_cast<int>(state.range(0)));
    std::string settings = (WorkDir() / "bench-settings.ini").string();
    ::setenv("TARVEL_SETTINGS", settings.c_str(), 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::path out = FreshPortfolio();
        std::filesystem::create_directories(out);
        state.ResumeTiming();
        if (!RunCli({"convert", input, "--out", out.string(), "--symbol", "BENCH"})) {
            state.SkipWithError("conversion failed");
        }
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// The same files, one `tarvel-cli convert FILE --out DIR` each.
void BM_SingleRuns(benchmark::State& state) {
    int files = static_cast<int>(state.range(0));
    std::filesystem::path folder = BatchFolder(files);
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::path out = FreshPortfolio();
        state.ResumeTiming();
        for (const auto& input : inputs) {
            if (!RunCli({"convert", input.string(), "--out", out.string()}))
                state.SkipWithError("a run failed");
        }
    }
    state.counters["files"] = files;
}

// The I/O floor of a batch: every input read line by line, and for each
// file the bytes a conversion writes (a price file of 24 bytes a row and
// its header, a field description) written and synced under a temporary
// name and renamed, then MASTER and EMASTER once, the directory synced.
void BM_BatchDurableFloor(benchmark::State& state) {
    int files = static_cast<int>(state.range(0));
    std::filesystem::path folder = BatchFolder(files);
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) inputs.push_back(entry.path());
    char line[300];
    std::string data, small(192 * 256, '\0');
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::path out = FreshPortfolio();
        std::filesystem::create_directories(out);
        state.ResumeTiming();
        int n = 0;
        for (const auto& input : inputs) {
            data.clear();
            std::FILE* in = std::fopen(input.c_str(), "r");
            while (std::fgets(line, sizeof line, in)) data.append(24, '\0');
            std::fclose(in);
            ++n;
            WriteDurably(out / DataFileName(n), data.data(), data.size(), false);
            WriteDurably(out / DescriptionFileName(n), small.data(), 80, false);
        }
        WriteDurably(out / "MASTER", small.data(), 53 * 256);
        WriteDurably(out / "EMASTER", small.data(), small.size());
    }
    state.counters["files"] = files;
}

BENCHMARK(BM_BatchRun)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SingleRuns)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_BatchDurableFloor)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK(BM_ProcessConvert)->Arg(65534)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DetectHead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanHead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Args({1000, 0})->Args({65534, 0})->Args({65534, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioFloor)->Arg(1000)->Arg(65534)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DurableFloor)->Arg(1000)->Arg(65534)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
