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

// Copies `count` bytes of the file at `path` from `from` over those at `to`.
void CopyBytes(const std::string& path, std::size_t from, std::size_t to, std::size_t count) {
    std::string bytes = test::ReadFile(path);
    bytes.replace(to, count, bytes.substr(from, count));
    test::WriteFile(path, bytes);
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
             test::WriteFile(test::Join(pf, "MASTER.~NU"), std::string(100, '\x5a'));
             test::WriteFile(test::Join(pf, "MASTER.~JN"), "R MASTER.~NU MASTER\nEND\n");
         },
         0,
         journal +
             " was not carried out and is removed: what it would put in place is damaged. The Master "
             "file PF/MASTER.~NU is damaged: it is 100 bytes long, not a whole number of 53-byte records."},
        {"a file of someone else's",
         [](const std::string& pf) {
             test::WriteFile(test::Join(pf, "notes.~NU"), "mine");
             test::WriteFile(test::Join(pf, "MASTER.~JN"), "N notes.~NU notes\nEND\n");
         },
         0,
         journal + " was not carried out and is removed: it names notes, which is no file of a portfolio."},
        {"a directory",
         [](const std::string& pf) { std::filesystem::create_directory(test::Join(pf, "MASTER.~JN")); }, 1,
         journal + " is a directory, not a journal of Tarvel's; remove it."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pf = m_env / std::string("pf").append(std::to_string(++n));
        ASSERT_EQ(Cli({"convert", Write("ACME.csv", PriceRows(2, 3)), "--out", pf}).status, 0);
        const std::string master = test::ReadFile(test::Join(pf, "MASTER"));
        c.plant(pf);
        Outcome o = Cli({"convert", Write("BETA.csv", PriceRows(2, 3)), "--out", pf});
        EXPECT_EQ(o.status, c.status) << o.err;
        std::string message = test::NativeSlashes(c.message);
        if (std::size_t at = message.find("PF"); at != std::string::npos) message.replace(at, 2, pf);
        EXPECT_NE(o.err.find(pf + message), std::string::npos) << o.err;
        EXPECT_EQ(test::ReadFile(test::Join(pf, "MASTER")).substr(53, 53), master.substr(53, 53));
        EXPECT_FALSE(test::FileExists(test::Join(pf, "notes")));
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
         [](const std::string& pf) {
             PokeByte(test::Join(pf, "MASTER"), kMasterRecordSize + kRecFieldCount, 9);
         },
         {"--update"},
         "have the fields Date, Open, High, Low, Close, Volume, but the security in the portfolio has Date, "
         "Open, "
         "High, Low, Close, Volume, though its record counts 9 fields. It was not updated."},
        {"EMASTER naming no fields",
         [](const std::string& pf) {
             PokeByte(test::Join(pf, "EMASTER"), kEMasterRecordSize + kERecFieldBits, 0);
         },
         {"--update"},
         "but its record in the portfolio names no fields. It was not updated."},
        {"a file-number mark of 255",
         [](const std::string& pf) { PokeByte(test::Join(pf, "MASTER"), kHeaderFileNumberMark, 255); },
         {},
         "/MASTER is damaged: its file-number mark (header bytes 2 and 3) is 255 but it holds only 1 "
         "securities."},
        {"the symbol in a sub-portfolio",
         [](const std::string& pf) {
             std::filesystem::rename(pf, pf + ".sub");
             std::filesystem::create_directory(pf);
             std::filesystem::rename(pf + ".sub", test::Join(pf, "SUB"));
             test::WriteFile(test::Join(pf, "MASTER"), test::MasterFile({test::DirectoryRecord(1, "SUB")}));
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
        std::string message = test::NativeSlashes(c.message);
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

namespace tarvel {
namespace {

// tarvel-cli check names each damage by its file and reason, exits 1 and
// changes nothing; a sound portfolio passes with exit 0.
TEST(CheckCommand, NamesEachProblemByItsFileAndChangesNothing) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> damage;  // given the portfolio of ACME (F1) and BETA (F2)
        std::string line;                                // PF stands for the portfolio
    };
    auto cut = [](const std::string& path, std::size_t bytes) {
        std::string data = test::ReadFile(path);
        test::WriteFile(path, data.substr(0, data.size() - bytes));
    };
    const std::vector<Case> cases = {
        {"sound", [](const std::string&) {}, "PF: 2 securities checked; no problems, 0 warnings."},
        {"a record short", [&](const std::string& pf) { cut(test::Join(pf, "F1.DAT"), 24); },
         "PF/F1.DAT: its header counts 3 records but it holds 2"},
        {"records swapped",
         [](const std::string& pf) {
             std::string data = test::ReadFile(test::Join(pf, "F2.DAT"));
             test::WriteFile(test::Join(pf, "F2.DAT"), data.substr(0, 24) + data.substr(48, 24) +
                                                           data.substr(24, 24) + data.substr(72));
         },
         "PF/F2.DAT: its dates do not ascend: record 2 is dated 2024-01-02, record 1 2024-01-03"},
        {"a repeated date", [](const std::string& pf) { CopyBytes(test::Join(pf, "F1.DAT"), 24, 48, 4); },
         "PF/F1.DAT: record 2 repeats the date of record 1, 2024-01-02"},
        {"a partial record",
         [](const std::string& pf) {
             test::WriteFile(test::Join(pf, "F1.DAT"), test::ReadFile(test::Join(pf, "F1.DAT")) + "12345");
         },
         "PF/F1.DAT: its size, 101 bytes, is no whole number of 24-byte records"},
        {"a last date other than the price file's",
         [](const std::string& pf) { CopyBytes(test::Join(pf, "MASTER"), 53 + 25, 53 + 29, 4); },
         "PF/F1.DAT: its last record is dated 2024-01-04 but the portfolio lists 2024-01-02 as its last "
         "date"},
        {"MASTER's count", [](const std::string& pf) { PokeByte(test::Join(pf, "MASTER"), 0, 3); },
         "PF/MASTER: it counts 3 securities but holds 2."},
        {"a file number 0", [](const std::string& pf) { PokeByte(test::Join(pf, "MASTER"), 53, 0); },
         "PF/MASTER: record 1 has file number 0."},
        {"EMASTER's count", [](const std::string& pf) { PokeByte(test::Join(pf, "EMASTER"), 0, 5); },
         "PF/EMASTER: it counts 5 securities but holds 2."},
        {"EMASTER's symbol",
         [](const std::string& pf) { PokeByte(test::Join(pf, "EMASTER"), 192 + 11, 'X'); },
         "PF/EMASTER: record 1 (ACME): its symbol differs from MASTER's"},
        {"a pending journal",
         [](const std::string& pf) { test::WriteFile(test::Join(pf, "MASTER.~JN"), "END\n"); },
         "PF/MASTER.~JN: a conversion was saved but not completed; the next conversion into the portfolio "
         "completes it"},
        {"a damaged undo record",
         [](const std::string& pf) { test::WriteFile(test::Join(pf, "MASTER.~UR"), "junk"); },
         "PF/MASTER.~UR: is not an undo record Tarvel can read; undo cannot use it"},
        {"a kept file no record names",
         [](const std::string& pf) { test::WriteFile(test::Join(pf, "F9.DAT.~UN"), ""); },
         "PF/F9.DAT.~UN: kept for an undo that no undo record names"},
        {"a symbol not plain ASCII (a warning)",
         [](const std::string& pf) {
             ASSERT_EQ(Cli({"rename", pf, "BETA", "--symbol", "\xC3\x84TA"}).status, 0);
         },
         "PF/MASTER: warning: the symbol \xC3\x84TA is not plain ASCII; some readers cannot read it"},
        {"an unreadable number",
         [](const std::string& pf) { PokeByte(test::Join(pf, "F1.DAT"), 24 + 4 + 3, 1); },
         "PF/F1.DAT: record 1 holds a number with exponent byte 1, which no reader decodes"},
        {"a price file gone",
         [](const std::string& pf) { std::filesystem::remove(test::Join(pf, "F2.DAT")); },
         "PF/F2.DAT: missing"},
        {"a description that lies",
         [](const std::string& pf) {
             test::WriteFile(test::Join(pf, "F2.DOP"), "\"DATE\",0,0\r\n\"CLOSE\",4,4\r\n");
         },
         "PF/F2.DOP: names the fields DATE, CLOSE but BETA has DATE, OPEN, HIGH, LOW, CLOSE, VOL"},
        {"a stray price file", [](const std::string& pf) { test::WriteFile(test::Join(pf, "F7.DAT"), "x"); },
         "PF/F7.DAT: no security of the portfolio names it"},
        {"a leftover", [](const std::string& pf) { test::WriteFile(test::Join(pf, "F3.DAT.~NU"), ""); },
         "PF/F3.DAT.~NU: left over by a conversion that did not finish; the next conversion removes it"},
        {"one symbol twice",
         [](const std::string& pf) {
             std::string master = test::ReadFile(test::Join(pf, "MASTER"));
             master.replace(2 * 53 + 36, 4, "ACME");
             test::WriteFile(test::Join(pf, "MASTER"), master);
         },
         "PF/MASTER: the symbol ACME is held 2 times, by file numbers 1, 2"},
    };
    test::CSettingsEnv env;
    const std::string sound = env / "sound";
    ASSERT_EQ(Cli({"convert", env.Write("ACME.csv", PriceRows(2, 3)), "--out", sound}).status, 0);
    ASSERT_EQ(Cli({"convert", env.Write("BETA.csv", PriceRows(2, 3)), "--out", sound}).status, 0);
    std::filesystem::remove(test::Join(sound, "MASTER.BAK"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pf = env / "pf";
        std::filesystem::remove_all(pf);
        std::filesystem::copy(sound, pf);
        c.damage(pf);
        const auto before = test::Snapshot(pf);
        Outcome o = Cli({"check", pf});
        std::string line = test::NativeSlashes(c.line);
        line.replace(0, 2, pf);
        EXPECT_NE(o.out.find(line + "\n"), std::string::npos) << o.out;
        EXPECT_EQ(o.status,
                  std::string(c.name) == "sound" || c.line.find("warning:") != std::string::npos ? 0 : 1)
            << o.out;
        EXPECT_EQ(test::Snapshot(pf), before);
    }
    Outcome json = Cli({"check", env / "pf", "--json"});
    EXPECT_NE(
        json.out.find("\"text\": \"the symbol ACME is held 2 times, by file numbers 1, 2\", \"warning\": "
                      "false}"),
        std::string::npos)
        << json.out;
}

}  // namespace
}  // namespace tarvel
