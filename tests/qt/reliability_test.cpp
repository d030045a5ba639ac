#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "tests/qt/cli_runner.h"
#include "pricedb/find_security.h"
#include "pricedb/portfolio.h"
#include "tests/qt/settings_env.h"
#include "tests/support/portfolio_check.h"

extern char** environ;

namespace tarvel {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::Outcome;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class HostileInputTest : public ::testing::Test {
protected:
    HostileInputTest() : m_cwd(fs::current_path()) {
        m_out = m_env / "pf";
        fs::create_directory(m_out);
        m_input = m_env / "input.txt";
    }
    ~HostileInputTest() override {
        fs::current_path(m_cwd);
        fs::permissions(m_out, fs::perms::owner_all, fs::perm_options::add);
    }
    Outcome Convert(const std::string& input, std::vector<std::string> extra = {}) {
        test::WriteFile(m_input, input);
        std::vector<std::string> args = {"convert", m_input, "--out", m_out, "--symbol", "HOST", "--date-format",
                                         "MMDDYY", "--delimiter", "comma"};
        if (!test::FileExists(m_out + "/MASTER")) args.push_back("--new-master");
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }

    fs::path m_cwd;
    test::CSettingsEnv m_env;
    std::string m_out;
    std::string m_input;
};

TEST_F(HostileInputTest, EveryInputLeavesAConsistentPortfolioAndSaysWhatFailed) {
    std::string wide;
    for (int i = 0; i < 10000; ++i) wide += (i == 0 ? "010500" : std::to_string(i)) + ",";
    std::string rows70k;
    for (int i = 0; i < 70000; ++i) rows70k += "010500,1,2,3,4,5,6\n";
    std::string randomNul = RandomBytes(20000, 1);
    randomNul[10] = '\0';
    struct Case {
        const char* name;
        std::string input;
        int status;
        std::string messageStart;  // the first "Tarvel: " line begins so; "" for none
        std::vector<std::string> options = {};
    };
    const Case cases[] = {
        {"empty file", "", 0, ""},
        {"random bytes with NULs", randomNul, 1, ""},
        {"one line of 100 MB", std::string(100 * 1024 * 1024, '7'), 1, "Tarvel: The date in line 1 is too long"},
        {"a line of 10,000 columns", wide + "\n", 1, "Tarvel: "},
        {"delimiters only", ",,,,\n,,\n", 0, ""},
        {"CR-only line ends", "010500,1,2,3,4,5,6\r010600,1,2,3,4,5,6\r010700,1,2,3,4,5,6\r", 0, ""},
        {"byte order mark", "\xEF\xBB\xBF" "010500,1,2,3,4,5,6\n", 0, ""},
        // 1950 reads as 2050 by the century rule; 2141, month 13 and day 32 have no date.
        {"dates out of range", "01/05/1950,1\n01/05/2141,1\n13/05/2000,1\n01/32/2000,1\n01/06/2000,1\n", 1,
         "Tarvel: 3 rows had a date that could not be read and were not converted.\nThe first was line 2.",
         {"--date-format", "MM_DD_CCYY"}},
        {"numbers beyond single precision", "010500,1e39,-1e39,nan,inf,1e-40,7\n", 0, ""},
        {"70,000 rows", rows70k, 1, "Tarvel: This file has more rows than one security can hold (65534)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_out);
        fs::create_directory(m_out);
        Outcome outcome = Convert(c.input, c.options);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(outcome.out, c.status == 0 ? "Conversion completed successfully!\n" : "Conversion failed.\n");
        if (c.status == 1) {
            EXPECT_EQ(outcome.err.rfind("Tarvel: ", 0), 0u) << "a failure without a message";
        }
        if (!c.messageStart.empty()) {
            EXPECT_EQ(outcome.err.rfind(c.messageStart, 0), 0u) << outcome.err;
        }
        EXPECT_EQ(test::CheckPortfolio(m_out), "");
    }
}

TEST_F(HostileInputTest, CROnlyFilesAndLargeNumbersStoreWhatTheyCan) {
    ASSERT_EQ(Convert("010500,1e39,-1e39,nan,inf,1e-40,7\n").status, 0);
    Outcome exported = Cli({"export", m_out, "HOST"});
    EXPECT_EQ(exported.out, "DATE,OPEN,HIGH,LOW,CLOSE,VOL,OI\n"
                            "2000-01-05,1.7014117e+38,-1.7014117e+38,0,0,0,7\n");
    // Every row of a file whose lines end in a carriage return alone.
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\r010600,1,2,3,4,5,6\r010700,1,2,3,4,5,6\r", {"--symbol", "CR"}).status, 0);
    EXPECT_EQ(Cli({"export", m_out, "CR"}).out,
              "DATE,OPEN,HIGH,LOW,CLOSE,VOL,OI\n2000-01-05,1,2,3,4,5,6\n2000-01-06,1,2,3,4,5,6\n"
              "2000-01-07,1,2,3,4,5,6\n");
}

TEST_F(HostileInputTest, Utf8SymbolAndNameAreCutAtACharacterBoundary) {
    std::string symbol = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";  // 6 x €
    Outcome outcome = Convert("010500,1,2,3,4,5,6\n", {"--symbol", symbol, "--name", "Gro\xC3\x9F" "es Caf\xC3\xA9 S\xC3\xBC\xC3\x9F"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::string master = test::ReadFile(m_out + "/MASTER");
    EXPECT_EQ(master.substr(53 + kRecSymbol, 16), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC ");
    EXPECT_EQ(master.substr(53 + kRecName, 16), "Gro\xC3\x9F" "es Caf\xC3\xA9 S ");
    // The cut symbol is the one the duplicate check and export find.
    EXPECT_EQ(Cli({"export", m_out, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"}).status, 0);
}

TEST_F(HostileInputTest, UnusablePathsAreRefusedWithAMessage) {
    Outcome directory = Cli({"convert", m_env / "pf", "--out", m_out, "--symbol", "X", "--new-master"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "Tarvel: Cannot open the input file " + m_out + "\n");
    EXPECT_EQ(test::CheckPortfolio(m_out), "");

    // A directory nothing can be written to (/proc refuses even root).
    std::string locked = m_env / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    std::string target = ::geteuid() == 0 ? std::string("/proc") : locked;
    test::WriteFile(m_input, "010500,1,2,3,4,5,6\n");
    Outcome readOnly = Cli({"convert", m_input, "--out", target, "--symbol", "X", "--new-master"});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_EQ(readOnly.err, "Tarvel: Cannot create a Master file in " + target + "\n");
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(HostileInputTest, ABrokenMasterIsRefusedAndLeftAsItWas) {
    struct Case {
        const char* name;
        std::string master;
        std::string message;
    };
    const std::string path = fs::canonical(m_out).string() + "/MASTER";
    const Case cases[] = {
        {"0 bytes", "", "Tarvel: " + path + " is not a valid Master file\n"},
        {"52 bytes", std::string(52, '\0'), "Tarvel: " + path + " is not a valid Master file\n"},
        {"10 MB of random bytes", RandomBytes(10 * 1024 * 1024, 7), std::string("Tarvel: ") + kFullPortfolioMessage + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_out);
        fs::create_directory(m_out);
        test::WriteFile(m_out + "/MASTER", c.master);
        Outcome outcome = Convert("010500,1,2,3,4,5,6\n", {"--existing-master"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, c.message);
        EXPECT_TRUE(test::ReadFile(m_out + "/MASTER") == c.master);
        EXPECT_EQ(test::ListDir(m_out), std::vector<std::string>{"MASTER"});
    }
}

// Runs tarvel-cli with `args`; returns its exit status.
int Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, TARVEL_CLI_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ConcurrentConversions, EightProcessesOfThirtyKeepEverySecurity) {
    test::CSettingsEnv env;
    std::string out = env / "pf";
    fs::create_directory(out);
    test::WriteFile(out + "/MASTER", std::string(53, '\0'));
    constexpr int kProcesses = 8, kEach = 30;
    auto closeOf = [](int p, int i) { return p * 100 + i + 1; };
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kEach; ++i) {
            std::string rows;
            for (int day = 1; day <= 3; ++day) {
                rows += "01" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "00," +
                        std::to_string(closeOf(p, i)) + "," + std::to_string(day) + "\n";
            }
            test::WriteFile(env / ("in-" + std::to_string(p) + "-" + std::to_string(i) + ".csv"), rows);
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
                failures += Spawn({"tarvel-cli", "convert", env / ("in-" + tag + ".csv"), "--out", out, "--symbol",
                                   "S" + tag, "--existing-master", "--no-skip", "--date-format", "MMDDYY",
                                   "--delimiter", "comma", "--close-col", "2", "--volume-col", "3", "--no-open",
                                   "--no-high", "--no-low", "--no-oi"}) != 0;
            }
            ::_exit(failures);
        }
        workers.push_back(pid);
    }
    for (pid_t pid : workers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(test::CheckPortfolio(out), "");
    auto platform = MakePosixPlatform();
    std::vector<ListedSecurity> securities = ListPortfolio(*platform, out);
    ASSERT_EQ(securities.size(), 240u);
    std::set<int> numbers;
    for (const ListedSecurity& s : securities) numbers.insert(s.record[kRecFileNumber]);
    EXPECT_EQ(numbers.size(), 240u);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kEach; ++i) {
            std::string tag = std::to_string(p) + "-" + std::to_string(i);
            std::string c = std::to_string(closeOf(p, i));
            EXPECT_EQ(Cli({"export", out, "S" + tag}).out,
                      "DATE,CLOSE,VOL\n2000-01-01," + c + ",1\n2000-01-02," + c + ",2\n2000-01-03," + c + ",3\n")
                << tag;
        }
    }
    // Fifteen more fill the portfolio; the 256th is refused.
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(Cli({"convert", env / "in-0-0.csv", "--out", out, "--symbol", "F" + std::to_string(i),
                       "--existing-master"}).status, 0);
    }
    Outcome full = Cli({"convert", env / "in-0-0.csv", "--out", out, "--symbol", "LAST", "--existing-master"});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, std::string("Tarvel: ") + kFullPortfolioMessage + "\n");
    EXPECT_EQ(test::CheckPortfolio(out), "");
}

}  // namespace
}  // namespace tarvel
