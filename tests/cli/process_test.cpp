// Conversions and portfolio commands in processes of their own: killed at
// random moments, held up by another process's lock, and stopped short by a
// MASTER another program holds open.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "pricedb/journal.h"
#include "pricedb/recovery.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/child_process.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarvel {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::Files;
using test::Outcome;

// How many kills a sweep makes: in the plain build, under the sanitizers,
// and under Windows, where every process start costs a good part of a second.
constexpr int Kills(int plain, int sanitized, int windows) {
#if defined(__SANITIZE_ADDRESS__)
    (void)plain, (void)windows;
    return sanitized;
#elif defined(_WIN32)
    (void)plain, (void)sanitized;
    return windows;
#else
    (void)sanitized, (void)windows;
    return plain;
#endif
}

// Runs tarvel-cli with `args` (args[0] names it) to its end; its exit status.
int Spawn(const std::vector<std::string>& args) {
    return test::RunChild(TARVEL_CLI_PATH, {args.begin() + 1, args.end()});
}

// Starts tarvel-cli with `args` and kills it after `delay`.
void Kill(const std::vector<std::string>& args, std::chrono::microseconds delay) {
    test::CChild child(TARVEL_CLI_PATH, {args.begin() + 1, args.end()});
    std::this_thread::sleep_for(delay);
    child.Kill();
    child.Wait();
}

// `count` daily rows from day `from` (days from 1 January 2000) with a header
// when `from` is 0: dates as YYYY-MM-DD and six numbers.
std::string IsoRows(int from, int count, int base) {
    std::string text = from == 0 ? "Date,Open,High,Low,Close,Volume,OpenInt\n" : "";
    for (int d = from; d < from + count; ++d) {
        int year = 2000 + d / 336, month = 1 + d % 336 / 28, day = 1 + d % 28;
        char line[96];
        std::snprintf(line, sizeof line, "%04d-%02d-%02d,%d,%d,%d,%d,%d,%d\n", year, month, day,
                      base + d % 97, base + d % 97 + 2, base, base + 1, 100 * d, d % 13);
        text += line;
    }
    return text;
}

// Puts the files of `dir` back to `files`: what differs is written again,
// what is new removed (copying hundreds of files every time would be most
// of a sweep's time).
void PutBack(const std::string& dir, const Files& files) {
    for (const auto& [name, bytes] : test::Snapshot(dir)) {
        auto it = files.find(name);
        if (it == files.end()) {
            fs::remove(test::Join(dir, name));
        } else if (it->second != bytes) {
            test::WriteFile(test::Join(dir, name), it->second);
        }
    }
    for (const auto& [name, bytes] : files) {
        if (!test::FileExists(test::Join(dir, name))) test::WriteFile(test::Join(dir, name), bytes);
    }
}

// Kills conversions at random moments: every kill leaves the old
// portfolio or the new one, every earlier security byte for byte, and the
// next conversion succeeds.
TEST(KilledConversions, LeaveTheOldPortfolioOrTheNewOne) {
    test::CSettingsEnv env;
    const std::string out = env / "pf", fresh = env / "fresh", input = env / "in.csv";
    test::WriteFile(input, IsoRows(0, 4000, 1));
    auto convert = [&](const std::string& dir, const std::string& symbol, bool newMaster) {
        const char* master = newMaster ? "--new-master" : "--existing-master";
        return std::vector<std::string>{"tarvel-cli", "convert", input,       "--out",  dir, "--symbol",
                                        symbol,       master,    "--no-skip", "--wait", "0"};
    };
    auto reset = [&] {
        fs::remove_all(out);
        fs::create_directory(out);
        for (const char* symbol : {"AAA", "BBB", "CCC"}) {
            ASSERT_EQ(Spawn(convert(out, symbol, !test::FileExists(test::Join(out, "MASTER")))), 0);
        }
    };
    reset();
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Spawn(convert(out, "TIMED", false)), 0);
    const auto span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::int64_t> delay(0, span.count() * 5 / 4);
    // Each sanitized run, and each under Wine, starts slowly; the full sweep
    // runs in the plain build.
    constexpr int kKills = Kills(320, 40, 20);
    for (int k = 0; k < kKills; ++k) {
        if (k % 60 == 0) reset();
        const bool newMaster = k % 4 == 3;
        const std::string dir = newMaster ? fresh : out;
        if (newMaster) {
            fs::remove_all(fresh);
            fs::create_directory(fresh);
        }
        const Files before = test::Snapshot(dir);
        std::string symbol = std::string("K").append(std::to_string(k));
        Kill(convert(dir, symbol, newMaster), std::chrono::microseconds(delay(random)));
        EXPECT_EQ(test::CheckPortfolio(dir, true), "") << "kill " << k;
        Files after = test::Snapshot(dir);
        for (const auto& [name, bytes] : before) {
            if (name.starts_with("F") && !IsTemporaryName(name) && after[name] != bytes) {
                ADD_FAILURE() << "kill " << k << " changed " << name;
            }
        }
        // The next conversion into the same portfolio cleans up and succeeds.
        // A journal left by a killed commit makes MASTER when the next run
        // carries it out.
        bool exists =
            test::FileExists(test::Join(dir, "MASTER")) || test::FileExists(test::Join(dir, kJournalName));
        EXPECT_EQ(Spawn(convert(dir, std::string("N").append(std::to_string(k)), !exists)), 0)
            << "after kill " << k;
        EXPECT_EQ(test::CheckPortfolio(dir), "") << "after kill " << k;
    }
}

// Kills `--update` runs over a portfolio of MASTER, EMASTER and XMASTER
// securities at random moments: once what a killed run committed is carried
// out (as the next run does first), the portfolio is the one before the run
// or the one after it, every file of it, never a mix.
TEST(KilledConversions, AnUpdateLeavesEverySecurityOldOrNew) {
    test::CSettingsEnv env;
    const std::string base = env / "base", work = env / "pf", prices = env / "prices", newer = env / "newer";
    fs::create_directory(prices);
    fs::create_directory(newer);
    for (int i = 0; i < 258; ++i)
        test::WriteFile(test::Join(prices, "S") + std::to_string(i) + ".csv", IsoRows(0, 50, i));
    ASSERT_EQ(Spawn({"tarvel-cli", "convert", prices, "--out", base}), 0);
    ASSERT_TRUE(test::FileExists(test::Join(base, "XMASTER")));
    for (int i : {0, 1, 2, 255, 256, 257}) {
        test::WriteFile(test::Join(newer, "S") + std::to_string(i) + ".csv",
                        IsoRows(0, 50, i) + IsoRows(50, 2500, i));
    }
    const std::vector<std::string> update = {"tarvel-cli", "convert",  newer,    "--out",
                                             work,         "--update", "--wait", "0"};
    fs::copy(base, work, fs::copy_options::recursive);
    const Files baseFiles = test::Snapshot(base);
    auto reset = [&] { PutBack(work, baseFiles); };
    // The portfolio once what a killed run left is completed or removed, as
    // the next run does first.
    auto settled = [&] {
        auto platform = MakeSystemPlatform();
        RemoveLeftovers(*platform, work, test::Join(work, "MASTER"));
        Files files = test::Snapshot(work);
        files.erase("MASTER.BAK");
        return files;
    };
    reset();
    const Files before = settled();
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Spawn(update), 0);
    const auto span =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    const Files after = settled();
    ASSERT_NE(before, after);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::int64_t> delay(span.count() / 4, span.count() * 5 / 4);
    constexpr int kKills = Kills(160, 20, 100);
    for (int k = 0; k < kKills; ++k) {
        reset();
        Kill(update, std::chrono::microseconds(delay(random)));
        EXPECT_EQ(test::CheckPortfolio(work, true), "") << "kill " << k;
        Files now = settled();
        EXPECT_TRUE(now == before || now == after)
            << "kill " << k << " left a mix of the old portfolio and the new one";
        // The next run completes or repeats the update.
        EXPECT_EQ(Spawn(update), 0) << "after kill " << k;
        EXPECT_EQ(settled(), after) << "after kill " << k;
    }
}

// remove, rename and undo killed at random moments: each leaves the
// portfolio as it was or as the command makes it, never a mix, and the
// next command (the same one, or check after a whole one) succeeds.
TEST(KilledConversions, RemoveRenameAndUndoLeaveTheOldPortfolioOrTheNew) {
    test::CSettingsEnv env;
    const std::string prices = env / "prices", work = env / "pf";
    fs::create_directory(prices);
    for (int i = 0; i < 258; ++i)
        test::WriteFile(test::Join(prices, "S") + std::to_string(i) + ".csv", IsoRows(0, 50, i));
    ASSERT_EQ(Spawn({"tarvel-cli", "convert", prices, "--out", work}), 0);
    const Files base = test::Snapshot(work);
    // The portfolio once what a killed run left is completed or removed.
    auto settled = [&] {
        auto platform = MakeSystemPlatform();
        RemoveLeftovers(*platform, work, test::Join(work, "MASTER"));
        return test::Snapshot(work);
    };
    struct Sweep {
        const char* name;
        std::vector<std::string> before;  // run first; its result is the old portfolio
        std::vector<std::string> command;
    };
    const std::vector<Sweep> sweeps = {
        // S0 is in MASTER, S99 (the last by name) in XMASTER.
        {"remove", {}, {"tarvel-cli", "remove", work, "S0", "S99"}},
        {"rename", {}, {"tarvel-cli", "rename", work, "S1", "--symbol", "R1", "--name", "Renamed one"}},
        {"undo", {"tarvel-cli", "remove", work, "S5", "S98"}, {"tarvel-cli", "undo", work}},
    };
    constexpr int kKills = Kills(150, 20, 6);
    for (const Sweep& sweep : sweeps) {
        SCOPED_TRACE(sweep.name);
        PutBack(work, base);
        if (!sweep.before.empty()) {
            ASSERT_EQ(Spawn(sweep.before), 0);
        }
        const Files old = settled();
        // The longest of three whole runs: kills up to twice as late land
        // both before the commit and after the run, even on a loaded machine.
        std::chrono::microseconds span{0};
        Files made;
        for (int run = 0; run < 3; ++run) {
            PutBack(work, old);
            auto started = std::chrono::steady_clock::now();
            ASSERT_EQ(Spawn(sweep.command), 0);
            span = std::max(span, std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - started));
            made = settled();
        }
        ASSERT_NE(old, made);
        std::mt19937 random(20261207);
        std::uniform_int_distribution<std::int64_t> delay(0, span.count() * 2);
        int mixed = 0, killedBefore = 0;
        for (int k = 0; k < kKills; ++k) {
            PutBack(work, old);
            Kill(sweep.command, std::chrono::microseconds(delay(random)));
            const Files now = settled();
            if (now == old) {
                ++killedBefore;
                EXPECT_EQ(Spawn(sweep.command), 0) << "after kill " << k;
                EXPECT_EQ(settled(), made) << "after kill " << k;
            } else if (now == made) {
                EXPECT_EQ(Spawn({"tarvel-cli", "check", work}), 0) << "after kill " << k;
            } else {
                ++mixed;
                ADD_FAILURE() << "kill " << k << " left a mix of the old portfolio and the new one";
            }
        }
        EXPECT_EQ(mixed, 0);
        // Kills before and after the commit both happened.
        EXPECT_GT(killedBefore, 0) << killedBefore << " of " << kKills << " kills left the old portfolio";
        EXPECT_LT(killedBefore, kKills)
            << killedBefore << " of " << kKills << " kills left the old portfolio";
    }
}

// Two processes into one portfolio: while one holds it, the next gives up at
// once with --wait 0, says it waits with --wait 1 and then gives up, and
// changes nothing; once it is free, the next converts.
TEST(OtherProcesses, AConversionWaitsForTheOneHoldingThePortfolio) {
    test::CSettingsEnv env;
    const std::string out = env / "pf", input = env.Write("ACME.csv", IsoRows(0, 20, 1));
    ASSERT_EQ(Spawn({"tarvel-cli", "convert", input, "--out", out}), 0);
    std::string canonical;
    auto platform = MakeSystemPlatform();
    ASSERT_TRUE(platform->CanonicalPath(out, &canonical));
    std::unique_ptr<CDirectoryLock> held;
    ASSERT_TRUE(platform->LockDirectory(canonical, 0, nullptr, &held));
    const Files before = test::Snapshot(out);
    const std::string busy =
        "Tarvel: " + canonical + " is busy with another conversion.\nConversion failed.\n";
    const std::string log = env / "log.txt";
    for (const char* wait : {"0", "1"}) {
        SCOPED_TRACE(wait);
        test::CChild next(TARVEL_CLI_PATH,
                          {"convert", env.Write("BETA.csv", IsoRows(0, 20, 2)), "--out", out, "--wait", wait},
                          log);
        EXPECT_EQ(next.Wait(), 1);
        EXPECT_EQ(test::ReadFile(log),
                  std::string(wait) == "0"
                      ? busy
                      : "Tarvel: Waiting for another conversion into " + canonical + "...\n" + busy);
        EXPECT_EQ(test::Snapshot(out), before);
    }
    held.reset();
    EXPECT_EQ(Spawn({"tarvel-cli", "convert", env / "BETA.csv", "--out", out, "--wait", "0"}), 0);
}

#ifdef _WIN32
// Opens `path` as a charting program reading it would: others may read and
// write it, but not delete or replace it.
HANDLE HoldOpen(const std::string& path) {
    return ::CreateFileW(PathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

// Another program holding MASTER open: released while the conversion waits,
// the conversion completes; held throughout, the conversion is saved, says
// so, and the next run completes it.
TEST(OtherProcesses, AMasterHeldOpenIsWaitedForThenLeftToTheNextRun) {
#ifndef _WIN32
    GTEST_SKIP() << "POSIX systems replace a file that another process holds open";
#else
    test::CSettingsEnv env;
    const std::string out = env / "pf", master = test::Join(out, "MASTER"), log = env / "log.txt";
    ASSERT_EQ(Spawn({"tarvel-cli", "convert", env.Write("ACME.csv", IsoRows(0, 20, 1)), "--out", out}), 0);
    std::string canonical;
    ASSERT_TRUE(MakeSystemPlatform()->CanonicalPath(out, &canonical));

    // Released once the new MASTER waits beside the old one.
    HANDLE reader = HoldOpen(master);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    {
        test::CChild conversion(TARVEL_CLI_PATH,
                                {"convert", env.Write("BETA.csv", IsoRows(0, 20, 2)), "--out", out}, log);
        for (int i = 0; i < 500 && !test::FileExists(master + ".~NU"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::CloseHandle(reader);
        EXPECT_EQ(conversion.Wait(), 0);
    }
    EXPECT_EQ(test::ReadFile(log).find("saved"), std::string::npos) << test::ReadFile(log);
    EXPECT_NE(Cli({"list", out}).out.find("BETA"), std::string::npos);

    // Held throughout: MASTER stays as it was until the next run.
    reader = HoldOpen(master);
    const std::string listed = test::ReadFile(master);
    test::CChild conversion(TARVEL_CLI_PATH,
                            {"convert", env.Write("GAMMA.csv", IsoRows(0, 20, 3)), "--out", out}, log);
    EXPECT_EQ(conversion.Wait(), 0);
    EXPECT_EQ(test::ReadFile(master), listed);
    ::CloseHandle(reader);
    const std::string said = test::ReadFile(log);
    EXPECT_NE(
        said.find("Tarvel: The conversion is saved, but " + canonical + " could not be brought up to date: "),
        std::string::npos)
        << said;
    EXPECT_NE(said.find(". The next conversion into it completes it.\n"), std::string::npos) << said;
    EXPECT_EQ(test::CheckPortfolio(out, true), "");
    EXPECT_EQ(Spawn({"tarvel-cli", "convert", env.Write("DELTA.csv", IsoRows(0, 20, 4)), "--out", out}), 0);
    const std::string all = Cli({"list", out}).out;
    for (const char* symbol : {"ACME", "BETA", "GAMMA", "DELTA"})
        EXPECT_NE(all.find(symbol), std::string::npos) << symbol;
    EXPECT_EQ(test::CheckPortfolio(out), "");
    EXPECT_FALSE(test::FileExists(test::Join(out, kJournalName)));
#endif
}

}  // namespace
}  // namespace tarvel
