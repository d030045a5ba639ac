// Portfolio files and inputs made by hand to mislead tarvel-cli: a journal
// that is none of ours, directory files whose counters or fields lie, a
// symbol kept where an update does not reach, and an input of one endless
// line. Each is refused or removed, and the message says what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/master_builder.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

using test::Cli;
using test::Outcome;

// `count` weekdays of prices from 2 January 2024 (the day of month `first`).
std::string PriceRows(int first, int count) {
    std::string text = "Date,Open,High,Low,Close,Volume\n";
    for (int day = first; day < first + count; ++day) {
        text += "2024-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ",10,11,9,10,100\n";
    }
    return text;
}

// Overwrites byte `at` of the file at `path` with `value`.
void PokeByte(const std::string& path, std::size_t at, int value) {
    std::string bytes = test::ReadFile(path);
    bytes[at] = static_cast<char>(value);
    test::WriteFile(path, bytes);
}

class HostileDiskTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) { return m_env.Write(name, text); }
    test::CSettingsEnv m_env;
};

TEST_F(HostileDiskTest, AJournalIsCarriedOutOnlyWhenItIsWhollyOurs) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;  // given the portfolio
        int status;
        std::string message;  // after the portfolio's path
    };
    const std::string journal = std::string("/") + kJournalName;
    const Case cases[] = {
        {"a MASTER of random bytes",
         [](const std::string& pf) {
             test::WriteFile(pf + "/MASTER.~NU", std::string(100, '\x5a'));
             test::WriteFile(pf + "/MASTER.~JN", "R MASTER.~NU MASTER\nEND\n");
         },
         0,
         journal +
             " was not carried out and is removed: what it would put in place is damaged. The Master "
             "file PF/MASTER.~NU is damaged: it is 100 bytes long, not a whole number of 53-byte records."},
        {"a file of someone else's",
         [](const std::string& pf) {
             test::WriteFile(pf + "/notes.~NU", "mine");
             test::WriteFile(pf + "/MASTER.~JN", "N notes.~NU notes\nEND\n");
         },
         0,
         journal + " was not carried out and is removed: it names notes, which is no file of a portfolio."},
        {"a directory", [](const std::string& pf) { std::filesystem::create_directory(pf + "/MASTER.~JN"); },
         1, journal + " is a directory, not a journal of Tarvel's; remove it."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pf = m_env / std::string("pf").append(std::to_string(++n));
        ASSERT_EQ(Cli({"convert", Write("ACME.csv", PriceRows(2, 3)), "--out", pf}).status, 0);
        const std::string master = test::ReadFile(pf + "/MASTER");
        c.plant(pf);
        Outcome o = Cli({"convert", Write("BETA.csv", PriceRows(2, 3)), "--out", pf});
        EXPECT_EQ(o.status, c.status) << o.err;
        std::string message = c.message;
        if (std::size_t at = message.find("PF"); at != std::string::npos) message.replace(at, 2, pf);
        EXPECT_NE(o.err.find(pf + message), std::string::npos) << o.err;
        EXPECT_EQ(test::ReadFile(pf + "/MASTER").substr(53, 53), master.substr(53, 53));
        EXPECT_FALSE(test::FileExists(pf + "/notes"));
        if (c.status == 0) {
            EXPECT_EQ(test::CheckPortfolio(pf), "");
            EXPECT_NE(Cli({"list", pf}).out.find("BETA"), std::string::npos);
        }
    }
}

TEST_F(HostileDiskTest, MessagesSayWhatIsWrong) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> damage;  // given the portfolio, after ACME is converted
        std::vector<std::string> args;                   // after the portfolio's options
        std::string message;
    };
    const std::string acme = Write("ACME.csv", PriceRows(2, 3));
    const Case cases[] = {
        {"a field count of 9",
         [](const std::string& pf) { PokeByte(pf + "/MASTER", kMasterRecordSize + kRecFieldCount, 9); },
         {"--update"},
         "have the fields Date, Open, High, Low, Close, Volume, but the security in the portfolio has Date, "
         "Open, "
         "High, Low, Close, Volume, though its record counts 9 fields. It was not updated."},
        {"EMASTER naming no fields",
         [](const std::string& pf) { PokeByte(pf + "/EMASTER", kEMasterRecordSize + kERecFieldBits, 0); },
         {"--update"},
         "but its record in the portfolio names no fields. It was not updated."},
        {"a file-number mark of 255",
         [](const std::string& pf) { PokeByte(pf + "/MASTER", kHeaderFileNumberMark, 255); },
         {},
         "/MASTER is damaged: its file-number mark (header bytes 2 and 3) is 255 but it holds only 1 "
         "securities."},
        {"the symbol in a sub-portfolio",
         [](const std::string& pf) {
             std::filesystem::rename(pf, pf + ".sub");
             std::filesystem::create_directory(pf);
             std::filesystem::rename(pf + ".sub", pf + "/SUB");
             test::WriteFile(pf + "/MASTER", test::MasterFile({test::DirectoryRecord(1, "SUB")}));
         },
         {"--update"},
         "Duplicate Symbol Failure: ACME is kept in the sub-portfolio PF/SUB, which an update (--update) "
         "does not "
         "reach. It was not updated."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pf = m_env / std::string("m").append(std::to_string(++n));
        ASSERT_EQ(Cli({"convert", acme, "--out", pf}).status, 0);
        c.damage(pf);
        const auto before = test::Snapshot(pf);
        std::vector<std::string> args = {"convert", Write("ACME.csv", PriceRows(8, 2)), "--out", pf};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome o = Cli(args);
        std::string message = c.message;
        if (std::size_t at = message.find("PF"); at != std::string::npos) message.replace(at, 2, pf);
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
        EXPECT_EQ(test::Snapshot(pf), before);
    }
}

TEST_F(HostileDiskTest, InspectCallsOneEndlessLineOneLine) {
    const std::string input = Write("LONG.csv", std::string(200000, 'x'));
    Outcome o = Cli({"inspect", input});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Cannot tell the layout of " + input + ": the file is one line of 200000 bytes."),
              std::string::npos)
        << o.err;
}

}  // namespace
}  // namespace tarvel
