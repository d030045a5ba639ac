// What neither the inputs of a run nor the files of a portfolio can make
// tarvel-cli do: merge two sources into one security, append to a price file
// that is damaged, convert a file detection refused with saved settings, or
// store a name that hides its security.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "tests/cli/cli_runner.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

using test::Cli;
using test::Outcome;

// `count` weekdays from 2 January 2024 on (the day of month `first` on),
// every price `price`.
std::string PriceRows(int first, int count, int price) {
    std::string text = "Date,Open,High,Low,Close,Volume\n";
    for (int day = first; day < first + count; ++day) {
        char row[80];
        std::snprintf(row, sizeof row, "2024-01-%02d,%d,%d,%d,%d,100\n", day, price, price + 1, price - 1,
                      price);
        text += row;
    }
    return text;
}

class TrustTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return m_env.Path(name); }
    std::string Write(const std::string& name, const std::string& text) { return m_env.Write(name, text); }
    test::CSettingsEnv m_env;
};

TEST_F(TrustTest, InputsThatWouldBeOneSecurityAreRefusedTogether) {
    struct Case {
        const char* name;
        std::vector<const char*> files;  // the first two give one symbol
        bool update;
    };
    const Case cases[] = {
        {"two extensions", {"a/ACME.csv", "a/ACME.txt", "a/BETA.csv"}, false},
        {"two extensions, update", {"b/ACME.csv", "b/ACME.txt", "b/BETA.csv"}, true},
        {"two folders, update", {"c1/ACME.csv", "c2/ACME.csv", "c1/BETA.csv"}, true},
        {"case of letters", {"d/acme.csv", "d/ACME.txt", "d/BETA.csv"}, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"convert"};
        std::vector<std::string> inputs;
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            inputs.push_back(
                Write(c.files[i], PriceRows(2 + 3 * static_cast<int>(i), 3, 10 + 100 * static_cast<int>(i))));
        }
        args.insert(args.end(), inputs.begin(), inputs.end());
        const std::string pf = Path(std::string("pf").append(std::to_string(++n)));
        args.insert(args.end(), {"--out", pf});
        if (c.update) args.push_back("--update");
        Outcome o = Cli(args);
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(inputs[0]), std::string::npos) << o.err;
        EXPECT_NE(o.err.find(inputs[1]), std::string::npos) << o.err;
        Outcome list = Cli({"list", pf});
        EXPECT_EQ(list.out.find("ACME"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find("BETA"), std::string::npos) << list.out;
        EXPECT_EQ(test::CheckPortfolio(pf), "");
    }
}

// Damage done to F1.DAT of a security of five records of 24 bytes.
void SwapRecords(std::string& dat) { std::swap_ranges(dat.begin() + 48, dat.begin() + 72, dat.begin() + 72); }
void AddPartialRecord(std::string& dat) { dat.append(20, '\x11'); }
void DropLastRecord(std::string& dat) {
    dat.resize(dat.size() - 24);
    dat[2] = static_cast<char>(dat[2] - 1);
}
void CountTooMany(std::string& dat) { dat[2] = '\xFF', dat[3] = '\xFF'; }

TEST_F(TrustTest, ADamagedPriceFileIsNeitherUpdatedNorExported) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* reason;
        const char* listed;  // what list says of the records
    };
    const Case cases[] = {
        {"records swapped", SwapRecords,
         "its dates do not ascend: record 3 is dated 2024-01-03, record 2 2024-01-04", "      5"},
        {"a partial record", AddPartialRecord, "its size, 164 bytes, is no whole number of 24-byte records",
         "damaged"},
        {"the last record gone", DropLastRecord,
         "its last record is dated 2024-01-05 but the portfolio lists 2024-01-06 as its last date",
         "      4"},
        {"a header count of 65535", CountTooMany, "its header counts 65534 records but it holds 5",
         "damaged"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pf = Path(std::string("pf").append(std::to_string(++n)));
        ASSERT_EQ(Cli({"convert", Write("ACME.csv", PriceRows(2, 5, 10)), "--out", pf}).status, 0);
        std::string dat = test::ReadFile(test::Join(pf, "F1.DAT"));
        c.damage(dat);
        test::WriteFile(test::Join(pf, "F1.DAT"), dat);
        const auto before = test::Snapshot(pf);
        const std::string reason = "The price file " + test::Join(pf, "F1.DAT") + " is damaged: " + c.reason;

        Outcome update = Cli({"convert", Write("ACME.csv", PriceRows(8, 2, 11)), "--out", pf, "--update"});
        EXPECT_EQ(update.status, 1);
        EXPECT_NE(update.err.find(reason), std::string::npos) << update.err;
        Outcome exported = Cli({"export", pf, "ACME"});
        EXPECT_EQ(exported.status, 1);
        EXPECT_EQ(exported.out, "");
        EXPECT_NE(exported.err.find(reason), std::string::npos) << exported.err;
        Outcome list = Cli({"list", pf});
        EXPECT_NE(list.out.find(std::string("2024-01-06  ") + c.listed + "\n"), std::string::npos)
            << list.out;
        EXPECT_EQ(test::Snapshot(pf), before);
    }
}

TEST_F(TrustTest, AFileDetectionCallsNoTextIsNotConvertedWithSavedSettings) {
    // A layout saved by an earlier conversion, then a file with a NUL line
    // past its first 4 KiB.
    const std::string pf = Path("pf");
    ASSERT_EQ(Cli({"convert", Write("OLD.csv", PriceRows(2, 3, 10)), "--out", pf, "--save"}).status, 0);
    std::string text = PriceRows(2, 3, 10);
    while (text.size() < 6000) text += "# a comment line that pads the file past its first 4 KiB\n";
    text += std::string("\0\0\0\n", 4) + PriceRows(8, 2, 10).substr(32);
    const std::string input = Write("nul_bytes.csv", text);
    const auto before = test::Snapshot(pf);
    Outcome o = Cli({"convert", input, "--out", pf});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(input + " is not a text file."), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("You specified"), std::string::npos) << o.err;
    EXPECT_EQ(test::Snapshot(pf), before);
}

TEST_F(TrustTest, NamesThatWouldHideOrBreakAListingAreRefused) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* message;
    };
    const Case cases[] = {
        {"<DIR> in the name",
         {"--name", "Big Company<DIR> Holdings plc"},
         "--name: a name may not hold \"<DIR>\""},
        {"<DIR> in the symbol", {"--symbol", "A<DIR>"}, "--symbol: a symbol may not hold \"<DIR>\""},
        {"a line feed in the name",
         {"--name", "Two\nLines"},
         "--name: a name may not hold control characters"},
        {"an escape in the symbol",
         {"--symbol", "AB\x1b[2J"},
         "--symbol: a symbol may not hold control characters"},
        {"DEL in the name", {"--name", "Del\x7f"}, "--name: a name may not hold control characters"},
    };
    const std::string input = Write("ACME.csv", PriceRows(2, 3, 10));
    const std::string pf = Path("pf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"convert", input, "--out", pf};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Outcome o = Cli(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_FALSE(test::FileExists(test::Join(pf, "MASTER")));
    }
#ifndef _WIN32  // names there hold no control characters
    // A file whose name holds a control character gives no symbol of it.
    Outcome o = Cli({"convert",
                     Write("in/AB\x1b"
                           "C.csv",
                           PriceRows(2, 3, 10)),
                     "--out", pf});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("a symbol may not hold control characters"), std::string::npos) << o.err;
#endif
}

// A conversion that stores nothing takes away the folders it made for the
// portfolio, whether it converts a file or a folder.
TEST_F(TrustTest, AFailedConversionLeavesNoFolderItMade) {
    const std::string input = Write("in/ACME.csv", "Date,Close\n2024-01-02,1\n2024-01-03,2\n2024-01-04,3\n");
    for (const std::string& from : {input, Path("in")}) {
        SCOPED_TRACE(from);
        Outcome o = Cli({"convert", from, "--out", m_env / "new/pf/", "--strict", "--close-col", "9"});
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find("3 rows were skipped."), std::string::npos) << o.err;
        EXPECT_FALSE(test::FileExists(m_env / "new"));
    }
}

}  // namespace
}  // namespace tarvel
