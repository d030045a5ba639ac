// Hostile inputs, damaged and hostile portfolios, competing conversions and
// conversions killed at random moments, all through tarvel-cli.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "pricedb/find_security.h"
#include "pricedb/portfolio.h"
#include "pricedb/recovery.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/master_builder.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"

extern char** environ;

namespace tarvel {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::Files;
using test::Outcome;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// `rows` consecutive days from 2 January 1990 as MMDDYY rows of seven fields.
std::string Rows(int rows, int base = 1) {
    std::string text;
    int year = 90, month = 1, day = 2;
    for (int i = 0; i < rows; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%02d%02d%02d,%d,%d,%d,%d,%d,%d\n", month, day, year, base + i,
                      base + i + 2, base, base + i + 1, 100 * i, i);
        text += line;
        if (++day > 28) {
            day = 1;
            if (++month > 12) {
                month = 1;
                year = (year + 1) % 100;
            }
        }
    }
    return text;
}

// The first line of standard error.
std::string FirstLine(const std::string& err) { return err.substr(0, err.find('\n')); }

class HostileInputTest : public ::testing::Test {
protected:
    HostileInputTest() : m_cwd(fs::current_path()) {
        m_out = m_env / "pf";
        fs::create_directory(m_out);
        m_input = m_env / "input.txt";
    }
    ~HostileInputTest() override { fs::current_path(m_cwd); }
    Outcome Convert(const std::string& input, std::vector<std::string> extra = {}) {
        test::WriteFile(m_input, input);
        std::vector<std::string> args = {"convert", m_input,         "--out",  m_out,         "--symbol",
                                         "HOST",    "--date-format", "MMDDYY", "--delimiter", "comma"};
        args.push_back(test::FileExists(test::Join(m_out, "MASTER")) ? "--existing-master" : "--new-master");
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }

    fs::path m_cwd;
    test::CSettingsEnv m_env;
    std::string m_out;
    std::string m_input;
};

TEST_F(HostileInputTest, ConvertsWhatReadsAndChangesNothingOtherwise) {
    std::string sameDay;
    for (int i = 0; i < 70000; ++i) sameDay += "010500,1,2,3,4,5," + std::to_string(i) + "\n";
    struct Case {
        const char* name;
        std::string input;
        int status;
        std::string message;        // the first line of standard error; "" for none
        std::string exported = "";  // the rows `export` gives back after a conversion
        std::vector<std::string> options = {};
    };
    const Case cases[] = {
        {"one line of 100 MB", std::string(100 * 1024 * 1024, '7'), 1,
         "Tarvel: 1 row was skipped. It was line 1: the line is longer than 64 KiB."},
        {"dates out of range",
         "01/05/1899,1\n01/05/2141,1\n13/05/2000,1\n01/32/2000,1\n01/06/1950,1\n",
         0,
         "Tarvel: 4 rows were skipped. The first was line 1: the date in column 1 lies outside 1900-01-01 to "
         "2140-06-04.",
         "1950-01-06,1\n",
         {"--date-format", "MM_DD_CCYY", "--no-skip", "--no-open", "--no-high", "--no-low", "--no-volume",
          "--no-oi", "--close-col", "2"}},
        {"numbers beyond single precision", "010500,1e39,-1e39,1e-40,7,5,6\n", 0, "",
         "2000-01-05,1.7014117e+38,-1.7014117e+38,0,7,5,6\n"},
        {"70,000 rows of one day: the last stays", sameDay, 0,
         "Tarvel: 69999 rows were skipped. The first was line 1: line 70000 has the same date.",
         "2000-01-05,1,2,3,4,5,69999\n"},
        {"a FIFO", "", 1, "Tarvel: %IN% is not a regular file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_out);
        fs::create_directory(m_out);
        Outcome outcome;
        std::string input = m_input;
        if (std::string(c.name) == "a FIFO") {
            input = m_env / "fifo";
            ::mkfifo(input.c_str(), 0644);
            outcome = Cli({"convert", input, "--out", m_out, "--symbol", "HOST", "--new-master"});
        } else {
            outcome = Convert(c.input, c.options);
        }
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(outcome.out,
                  c.status == 0 ? "Conversion completed successfully!\n" : "Conversion failed.\n");
        std::string message = c.message;
        if (auto at = message.find("%IN%"); at != std::string::npos) message.replace(at, 4, input);
        EXPECT_EQ(FirstLine(outcome.err), message);
        if (c.status == 0) {
            EXPECT_EQ(test::CheckPortfolio(m_out), "");
            Outcome exported = Cli({"export", m_out, "HOST"});
            EXPECT_EQ(exported.out.substr(exported.out.find('\n') + 1), c.exported);
        } else {
            EXPECT_EQ(test::ListDir(m_out), std::vector<std::string>{});
        }
    }
}

// A portfolio of two securities made by real conversions, a file outside it
// that nothing may touch, and a damage or trap laid in it per case.
class HostilePortfolioTest : public HostileInputTest {
protected:
    void SetUp() override {
        test::WriteFile(m_input, Rows(5000));
        ASSERT_EQ(Cli({"convert", m_input, "--out", m_out, "--symbol", "AAA", "--new-master", "--date-format",
                       "MMDDYY", "--delimiter", "comma", "--no-skip"})
                      .status,
                  0);
        test::WriteFile(m_input, Rows(30, 7));
        ASSERT_EQ(Cli({"convert", m_input, "--out", m_out, "--symbol", "BBB", "--existing-master"}).status,
                  0);
        fs::remove(test::Join(m_out, "MASTER.BAK"));
        m_before = test::Snapshot(m_out);
        m_outside = m_env / "outside";
        test::WriteFile(m_outside, "outside bytes");
        m_master = test::Join(m_out, "MASTER");
    }

    // The earlier securities' files are as they were.
    void ExpectEarlierSecuritiesWhole() {
        Files after = test::Snapshot(m_out);
        for (const char* name : {"F1.DAT", "F1.DOP", "F2.DAT", "F2.DOP"})
            EXPECT_EQ(after[name], m_before[name]) << name;
        EXPECT_EQ(test::ReadFile(m_outside), "outside bytes");
    }

    Files m_before;
    std::string m_outside;
    std::string m_master;
};

TEST_F(HostilePortfolioTest, DamagedMastersAreRefusedByEveryCommand) {
    const std::string a = test::SecurityRecord(1, "AAA"), b = test::SecurityRecord(2, "BBB");
    struct Case {
        const char* name;
        std::string master;
        std::string problem;  // after "The Master file <path> is damaged: "
        std::string file = "MASTER";
    };
    std::string e3 = m_before["EMASTER"], e9 = m_before["EMASTER"];
    e3[0] = 3;
    e9[2 * 192 + 2] = 9;
    const std::string x = test::XMasterRecord(256, "XXX", "XXX", 63, 20240102, 20240103);
    const Case cases[] = {
        {"EMASTER truncated", m_before["EMASTER"].substr(0, 100),
         "it is 100 bytes long, not a whole number of 192-byte records.", "EMASTER"},
        {"EMASTER counting more than it holds", e3, "it counts 3 securities but holds 2.", "EMASTER"},
        {"EMASTER naming another file", e9, "record 2 is file number 9 but MASTER's is 2.", "EMASTER"},
        {"EMASTER holding fewer than MASTER", m_before["EMASTER"].substr(0, 2 * 192).replace(0, 1, "\1"),
         "it holds 1 securities but MASTER holds 2.", "EMASTER"},
        {"XMASTER without its mark", std::string(150, '\0') + x, "it has no XMASTER mark.", "XMASTER"},
        {"XMASTER with number 5", test::XMasterFile({test::XMasterRecord(5, "X", "X", 63, 0, 0)}, 6),
         "record 1 has file number 5.", "XMASTER"},
        {"XMASTER with a number twice", test::XMasterFile({x, x}, 257), "file number 256 is used twice.",
         "XMASTER"},
        {"truncated to 60 bytes", m_before["MASTER"].substr(0, 60),
         "it is 60 bytes long, not a whole number of 53-byte records."},
        {"zero length", "", "it is 0 bytes long, not a whole number of 53-byte records."},
        {"counts more than it holds", test::MasterFile({a, b}, 3), "it counts 3 securities but holds 2."},
        {"counts fewer than it holds", test::MasterFile({a, b, test::SecurityRecord(3, "HID")}, 2),
         "it counts 2 securities but holds 3."},
        {"file number 0", test::MasterFile({a, b, test::SecurityRecord(0, "ZER")}),
         "record 3 has file number 0."},
        {"a number used twice", test::MasterFile({a, b, test::SecurityRecord(2, "TWO")}),
         "file number 2 is used twice."},
        {"random bytes", RandomBytes(53 * 40, 3), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [name, bytes] : m_before) test::WriteFile(m_out + "/" + name, bytes);
        fs::remove(test::Join(m_out, "XMASTER"));
        test::WriteFile(m_out + "/" + c.file, c.master);
        const Files before = test::Snapshot(m_out);
        std::string prefix =
            "Tarvel: The Master file " + fs::canonical(m_out).string() + "/" + c.file + " is damaged: ";
        Outcome convert = Convert(Rows(10));
        EXPECT_EQ(convert.status, 1);
        EXPECT_EQ(FirstLine(convert.err).rfind(prefix + c.problem, 0), 0u) << convert.err;
        prefix = "Tarvel: The Master file " + m_out + "/" + c.file + " is damaged: ";
        for (Outcome reader : {Cli({"list", m_out}), Cli({"export", m_out, "AAA"})}) {
            EXPECT_EQ(reader.status, 1);
            EXPECT_EQ(FirstLine(reader.err).rfind(prefix + c.problem, 0), 0u) << reader.err;
        }
        EXPECT_EQ(test::Snapshot(m_out), before);
        ExpectEarlierSecuritiesWhole();
    }
}

TEST_F(HostilePortfolioTest, TrapsInThePortfolioNeitherEscapeNorBlockNorCostData) {
    const std::string canonical = fs::canonical(m_out).string();
    auto link = [&](const char* name) {
        return [&, name] { fs::create_symlink(m_outside, m_out + "/" + name); };
    };
    auto fifo = [&](const char* name) { return [&, name] { ::mkfifo((m_out + "/" + name).c_str(), 0644); }; };
    struct Case {
        const char* name;
        std::function<void()> lay;
        int status;
        std::string message;  // the first line of standard error; "" for none
        int fileNumber = 3;   // the new security's, when it converts
    };
    const Case cases[] = {
        {"a link at F3.DAT", link("F3.DAT"), 0, "", 4},
        {"a link at f3.dop", link("f3.dop"), 0, "", 4},
        {"a link at MASTER.BAK", link("MASTER.BAK"), 0, ""},
        {"a link at MASTER.~NU", link("MASTER.~NU"), 0, ""},
        {"a link at F3.DAT.~NU", link("F3.DAT.~NU"), 0, ""},
        {"a FIFO at F3.DAT", fifo("F3.DAT"), 0, "", 4},
        {"a FIFO at MASTER.~NU", fifo("MASTER.~NU"), 0, ""},
        {"a directory named F3.DAT", [&] { fs::create_directory(test::Join(m_out, "F3.DAT")); }, 0, "", 4},
        {"MASTER and master both", [&] { test::WriteFile(test::Join(m_out, "master"), "other"); }, 0, ""},
        {"MASTER as a link",
         [&] {
             fs::rename(m_master, m_env / "real-master");
             fs::create_symlink(m_env / "real-master", m_master);
         },
         1,
         "Tarvel: The Master file " + canonical +
             "/MASTER is a symbolic link; Tarvel does not replace it. "
             "Convert into the directory it points to."},
        {"MASTER as a FIFO",
         [&] {
             fs::remove(m_master);
             ::mkfifo(m_master.c_str(), 0644);
         },
         1, "Tarvel: " + test::Join(canonical, "MASTER") + " is not a regular file."},
        {"MASTER as a directory",
         [&] {
             fs::remove(m_master);
             fs::create_directory(m_master);
         },
         1, "Tarvel: " + test::Join(canonical, "MASTER") + " is not a regular file."},
        {"a read-only MASTER", [&] { ::chmod(m_master.c_str(), 0444); }, 1,
         "Tarvel: The Master file " + test::Join(canonical, "MASTER") + " is read-only."},
        {"EMASTER as a link",
         [&] {
             fs::rename(test::Join(m_out, "EMASTER"), m_env / "real-master");
             fs::create_symlink(m_env / "real-master", test::Join(m_out, "EMASTER"));
         },
         1,
         "Tarvel: The Master file " + canonical +
             "/EMASTER is a symbolic link; Tarvel does not replace it. "
             "Convert into the directory it points to."},
        {"a read-only EMASTER", [&] { ::chmod((test::Join(m_out, "EMASTER")).c_str(), 0444); }, 1,
         "Tarvel: The Master file " + test::Join(canonical, "EMASTER") + " is read-only."},
        {"XMASTER as a FIFO", [&] { ::mkfifo((test::Join(m_out, "XMASTER")).c_str(), 0644); }, 1,
         "Tarvel: " + test::Join(canonical, "XMASTER") + " is not a regular file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_out);
        fs::remove(m_env / "real-master");
        fs::create_directory(m_out);
        for (const auto& [name, bytes] : m_before) test::WriteFile(m_out + "/" + name, bytes);
        c.lay();
        const Files before = test::Snapshot(m_out);
        Outcome outcome = Convert(Rows(10));
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(FirstLine(outcome.err), c.message);
        ExpectEarlierSecuritiesWhole();
        if (c.status != 0) {
            EXPECT_EQ(test::Snapshot(m_out), before);
            continue;
        }
        MasterRecordBytes record{};
        std::string dir;
        auto platform = MakeSystemPlatform();
        ASSERT_EQ(FindSecurity(*platform, m_out, "HOST", &record, &dir), kFindFound);
        EXPECT_EQ(record[kRecFileNumber], c.fileNumber);
        EXPECT_EQ(test::ReadFile(m_master).substr(0, 3 * 53),
                  m_before["MASTER"].substr(0, 3 * 53).replace(0, 4, "\3\0\3\0", 4));
        EXPECT_EQ(test::ReadFile(test::Join(m_out, "MASTER.BAK")), m_before["MASTER"]);
        EXPECT_FALSE(fs::is_symlink(test::Join(m_out, "MASTER.BAK")));
    }
}

TEST_F(HostilePortfolioTest, ReadersNeverBlockOnAFifo) {
    fs::remove(test::Join(m_out, "F1.DAT"));
    ::mkfifo((test::Join(m_out, "F1.DAT")).c_str(), 0644);
    Outcome list = Cli({"list", m_out});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("AAA"), std::string::npos);
    Outcome exported = Cli({"export", m_out, "AAA"});
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(exported.err,
              "tarvel-cli: cannot read " + test::Join(m_out, "F1.DAT") + ": not a regular file\n");
}

// An empty lock names no holder: the run removes it, saves, and leaves no lock.
TEST_F(HostilePortfolioTest, AnAbandonedSettingsLockStallsNothing) {
    test::WriteFile(m_env.file() + ".lock", "");
    EXPECT_EQ(Convert(Rows(10), {"--save"}).status, 0);
    EXPECT_FALSE(test::FileExists(m_env.file() + ".lock"));
    EXPECT_NE(test::ReadFile(m_env.file()).find("DateFormat=MMDDYY"), std::string::npos);
}

// Runs tarvel-cli with `args` in a process of its own.
pid_t Start(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, TARVEL_CLI_PATH, &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Spawn(const std::vector<std::string>& args) { return Wait(Start(args)); }

// A file of 1,500 tickers by 5,600 days (8.4 million rows) converts whole,
// and the run's peak memory stays under 150 MB: rows wait in a scratch
// file and price files are written as they are staged, so memory does not
// grow with the file.
TEST(BigFiles, EightMillionRowsConvertInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own memory would be measured";
#endif
    test::CSettingsEnv env;
    const std::string input = env / "big.csv", out = env / "pf";
    {
        std::FILE* file = std::fopen(input.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("Ticker,Date,Open,High,Low,Close,Volume\n", file);
        for (int t = 0; t < 1500; ++t) {
            for (int d = 0; d < 5600; ++d) {
                // Days of a 28-day month, so that every date is real.
                std::fprintf(file, "T%04d,%d-%02d-%02d,10.5,11.25,9.75,10.5,%d\n", t, 1990 + d / 336,
                             1 + d / 28 % 12, 1 + d % 28, 1000 + d);
            }
        }
        ASSERT_EQ(std::fclose(file), 0);
    }
    pid_t pid = Start({"tarvel-cli", "convert", input, "--out", out});
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 150 * 1024) << "KB at peak";
    fs::remove(input);
    Outcome list = Cli({"list", out});
    EXPECT_NE(
        list.out.find("1500  T1499             T1499                  6  1990-01-01  2006-08-28     5600"),
        std::string::npos)
        << list.out.substr(list.out.size() - 200);
}

// A list beside update batches sees each security as one commit left it:
// its last date and its record count from the same state.
TEST(ConcurrentConversions, ListSeesNoUpdateHalfDone) {
    test::CSettingsEnv env;
    const std::string folder = env / "in", out = env / "pf";
    fs::create_directory(folder);
    constexpr int kSecurities = 258, kLists = 500;
    // Round r: every file holds the days 1 .. 3 + r of January 2000.
    auto writeRound = [&](int round) {
        for (int s = 0; s < kSecurities; ++s) {
            std::string rows = "Date,Close\n";
            for (int day = 1; day <= 3 + round; ++day)
                rows += "2000-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ",1\n";
            test::WriteFile(test::Join(folder, "S") + std::to_string(s) + ".csv", rows);
        }
    };
    writeRound(0);
    ASSERT_EQ(Cli({"convert", folder, "--out", out}).status, 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 1; round <= 27 && !done; ++round) {
            writeRound(round);
            Spawn({"tarvel-cli", "convert", folder, "--out", out, "--update"});
        }
    });
    int torn = 0, listed = 0;
    for (int i = 0; i < kLists; ++i) {
        Outcome list = Cli({"list", "--json", out});
        std::istringstream lines(list.out);
        for (std::string line; std::getline(lines, line);) {
            std::size_t last = line.find("\"last\": \"2000-01-"), records = line.find("\"records\": ");
            if (last == std::string::npos || records == std::string::npos) continue;
            ++listed;
            // "null" (no price file) reads as 0 and counts as torn too.
            torn += std::atoi(line.c_str() + last + 17) != std::atoi(line.c_str() + records + 11);
        }
    }
    done = true;
    writer.join();
    EXPECT_EQ(listed, kLists * kSecurities);
    EXPECT_EQ(torn, 0);
}

TEST(ConcurrentConversions, SixteenProcessesWithReadersKeepEverySecurity) {
    test::CSettingsEnv env;
    std::string out = env / "pf";
    fs::create_directory(out);
    constexpr int kProcesses = 16, kEach = 14;
    test::WriteFile(env / "first.csv", "010100,1,1\n");
    // Date, Close and Volume in MMDDYY rows, as every conversion here reads them.
    const std::vector<std::string> layout = {"--no-skip", "--date-format", "MMDDYY",    "--delimiter",
                                             "comma",     "--close-col",   "2",         "--volume-col",
                                             "3",         "--no-open",     "--no-high", "--no-low",
                                             "--no-oi"};
    std::vector<std::string> first = {"convert",  env / "first.csv", "--out",        out,
                                      "--symbol", "FIRST",           "--new-master", "--save"};
    first.insert(first.end(), layout.begin(), layout.end());
    ASSERT_EQ(Cli(first).status, 0);
    auto closeOf = [](int p, int i) { return p * 100 + i + 1; };
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kEach; ++i) {
            std::string rows;
            for (int day = 1; day <= 3; ++day) {
                char row[64];
                std::snprintf(row, sizeof row, "010%d00,%d,%d\n", day, closeOf(p, i), day);
                rows += row;
            }
            char name[32];
            std::snprintf(name, sizeof name, "in-%d-%d.csv", p, i);
            test::WriteFile(env / name, rows);
        }
    }
    std::vector<pid_t> workers;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kEach; ++i) {
                std::string tag = std::to_string(p) + "-" + std::to_string(i);
                std::vector<std::string> args = {
                    "tarvel-cli", "convert", env / ("in-" + tag + ".csv"), "--out", out,
                    "--symbol",   "S" + tag, "--existing-master"};
                args.insert(args.end(), layout.begin(), layout.end());
                failures += Spawn(args) != 0;
            }
            ::_exit(failures);
        }
        workers.push_back(pid);
    }
    // Readers list the portfolio all the while; every MASTER they see is whole.
    std::atomic<bool> done{false};
    std::atomic<int> lists{0}, badLists{0};
    std::thread reader([&] {
        while (!done) {
            badLists += Spawn({"tarvel-cli", "list", out}) != 0;
            ++lists;
        }
    });
    for (pid_t pid : workers) EXPECT_EQ(Wait(pid), 0);
    done = true;
    reader.join();
    EXPECT_EQ(badLists, 0) << "of " << lists;
    EXPECT_EQ(test::CheckPortfolio(out), "");
    auto platform = MakeSystemPlatform();
    ASSERT_EQ(ListPortfolio(*platform, out).size(), 1u + kProcesses * kEach);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kEach; i += 5) {
            std::string tag = std::to_string(p) + "-" + std::to_string(i);
            std::string c = std::to_string(closeOf(p, i));
            EXPECT_EQ(
                Cli({"export", out, "S" + tag}).out,
                "DATE,CLOSE,VOL\n2000-01-01," + c + ",1\n2000-01-02," + c + ",2\n2000-01-03," + c + ",3\n")
                << tag;
        }
    }
    // The rest fill MASTER; the 256th goes to XMASTER.
    for (int i = 1 + kProcesses * kEach; i < 255; ++i) {
        ASSERT_EQ(Cli({"convert", env / "in-0-0.csv", "--out", out, "--symbol",
                       std::to_string(i).insert(0, 1, 'F'), "--existing-master", "--date-format", "MMDDYY"})
                      .status,
                  0);
    }
    Outcome full = Cli({"convert", env / "in-0-0.csv", "--out", out, "--symbol", "LAST", "--existing-master",
                        "--date-format", "MMDDYY"});
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_TRUE(test::FileExists(test::Join(out, "F256.MWD")));
    EXPECT_EQ(Cli({"export", out, "LAST"}).out, Cli({"export", out, "F254"}).out);
    EXPECT_EQ(test::CheckPortfolio(out), "");
}

}  // namespace
}  // namespace tarvel
