// Many securities through tarvel-cli: folders in one run, files of several
// tickers, daily updates, and portfolios past MASTER's 255 securities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "pricedb/layout.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::Outcome;

// Daily rows of security `i` from 2 January 2024, `days` of them starting at
// day `from`, as the CSV a download gives (header when `from` is 0).
std::string DailyCsv(int i, int from, int days) {
    std::string text = from == 0 ? "Date,Open,High,Low,Close,Volume\n" : "";
    for (int d = from; d < from + days; ++d) {
        char line[96];
        std::snprintf(line, sizeof line, "2024-%02d-%02d,%d,%d,%d,%d.5,%d\n", 1 + d / 28, 1 + d % 28, i + d,
                      i + d + 2, i + d - 1, i + d, 1000 * (d + 1));
        text += line;
    }
    return text;
}

// What export prints for a security converted from DailyCsv's rows.
std::string Exported(const std::string& csv) {
    return "DATE,OPEN,HIGH,LOW,CLOSE,VOL\n" + csv.substr(csv.find('\n') + 1);
}

std::string Symbol(int i) {
    char symbol[8];
    std::snprintf(symbol, sizeof symbol, "S%03d", i);
    return symbol;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Writes `count` files S000.csv ... of `days` daily rows each into `folder`.
void WriteFolder(const std::string& folder, int count, int days) {
    fs::create_directory(folder);
    for (int i = 0; i < count; ++i) test::WriteFile(folder + "/" + Symbol(i) + ".csv", DailyCsv(i, 0, days));
}

TEST(ManySecurities, AFolderOf300FilesThenTwoNewDaysEachThenNothingNew) {
    test::CSettingsEnv env;
    const std::string folder = env / "prices", out = env / "pf";
    WriteFolder(folder, 300, 20);
    test::WriteFile(test::Join(folder, "notes.md"), "not a price file");

    Outcome first = Cli({"convert", folder, "--out", out});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "Converted 300 files (6,000 rows) into 300 securities.\n");
    EXPECT_EQ(test::CheckPortfolio(out), "");
    Outcome listed = Cli({"list", out, "--json"});
    EXPECT_EQ(Count(listed.out, "\"listed_in\": \"MASTER\""), 255);
    EXPECT_EQ(Count(listed.out, "\"listed_in\": \"XMASTER\""), 45);
    EXPECT_NE(listed.out.find(
                  "{\"number\": 300, \"symbol\": \"S299\", \"name\": \"S299\", \"fields\": 6, \"first\": "
                  "\"2024-01-01\", \"last\": \"2024-01-20\", \"records\": 20, \"directory\": \"\", "
                  "\"listed_in\": \"XMASTER\", \"file\": \"F300.MWD\"}"),
              std::string::npos);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(Cli({"export", out, Symbol(i)}).out, Exported(DailyCsv(i, 0, 20))) << Symbol(i);
    }

    // Two more days in every file: exactly two records more in every price
    // file, nothing else of them touched.
    const auto before = test::Snapshot(out);
    for (int i = 0; i < 300; ++i) {
        test::WriteFile(folder + "/" + Symbol(i) + ".csv", DailyCsv(i, 0, 20) + DailyCsv(i, 20, 2));
    }
    Outcome second = Cli({"convert", folder, "--out", out, "--update"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out,
              "Converted 300 files (600 rows) into 300 securities (0 new, 300 updated); 6,000 rows "
              "already there left out.\n");
    EXPECT_EQ(test::CheckPortfolio(out), "");
    const auto updated = test::Snapshot(out);
    int grown = 0;
    for (const auto& [name, bytes] : before) {
        if (!name.ends_with(".DAT") && !name.ends_with(".MWD")) continue;
        const std::string& now = updated.at(name);
        const std::size_t length = 24;
        EXPECT_EQ(now.size(), bytes.size() + 2 * length) << name;
        EXPECT_EQ(now.substr(length, bytes.size() - length), bytes.substr(length)) << name;
        EXPECT_EQ(static_cast<unsigned char>(now[kDataHeaderRecordCount]), 23) << name;
        ++grown;
    }
    EXPECT_EQ(grown, 300);
    for (int i : {0, 254, 255, 299}) {
        EXPECT_EQ(Cli({"export", out, Symbol(i)}).out, Exported(DailyCsv(i, 0, 22))) << Symbol(i);
    }

    // The same files again: nothing is newer, and no byte changes.
    Outcome third = Cli({"convert", folder, "--out", out, "--update"});
    ASSERT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(third.out,
              "Converted 300 files (0 rows) into 0 securities; 6,600 rows already there left out.\n");
    EXPECT_EQ(test::Snapshot(out), updated);
}

TEST(ManySecurities, AFileThatFailsChangesNothingAndTheOthersConvert) {
    test::CSettingsEnv env;
    const std::string folder = env / "prices", out = env / "pf";
    WriteFolder(folder, 10, 3);
    test::WriteFile(test::Join(folder, "S003.csv"), "");
    test::WriteFile(test::Join(folder, "S007.csv"), std::string("\x01\x00\x02\x00binary", 10));

    Outcome batch = Cli({"convert", folder, "--out", out});
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(batch.out, "Converted 8 files (24 rows) into 8 securities; 2 failed: see above.\n");
    EXPECT_NE(batch.err.find("Tarvel: " + test::Join(folder, "S003.csv") + ": "), std::string::npos)
        << batch.err;
    EXPECT_NE(batch.err.find("Tarvel: " + test::Join(folder, "S007.csv") + ": "), std::string::npos)
        << batch.err;
    EXPECT_EQ(test::CheckPortfolio(out), "");
    EXPECT_EQ(Count(Cli({"list", out, "--json"}).out, "\"symbol\""), 8);

    // An update whose file has other fields than its security fails alone.
    for (int i = 0; i < 10; ++i) test::WriteFile(folder + "/" + Symbol(i) + ".csv", DailyCsv(i, 0, 4));
    test::WriteFile(test::Join(folder, "S005.csv"), "Date,Close\n2024-01-05,9\n");
    const std::string s005 = Cli({"export", out, "S005"}).out;
    Outcome update = Cli({"convert", folder, "--out", out, "--update"});
    EXPECT_EQ(update.status, 1);
    EXPECT_EQ(update.out,
              "Converted 9 files (15 rows) into 9 securities (2 new, 7 updated); 21 rows already there "
              "left out; 1 failed: see above.\n");
    EXPECT_NE(update.err.find(test::Join(folder, "S005.csv") +
                              ": The rows for S005 have the fields Date, Close, but the security in "
                              "the portfolio has Date, Open, High, Low, Close, Volume. It was not updated."),
              std::string::npos)
        << update.err;
    EXPECT_EQ(test::CheckPortfolio(out), "");
    EXPECT_EQ(Cli({"export", out, "S005"}).out, s005);
}

TEST(ManySecurities, AFileOfThreeTickersBecomesThreeSecurities) {
    test::CSettingsEnv env;
    const std::string out = env / "pf", data = std::string(TARVEL_TEST_DATA_DIR) + "/many/";
    Outcome outcome = Cli({"convert", data + "tickers.csv", "--out", out});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::string exported;
    for (const char* symbol : {"AAA", "BBB", "CCC"})
        exported.append(symbol).append("\n").append(Cli({"export", out, symbol}).out);
    EXPECT_EQ(exported, test::ReadFile(data + "tickers.expected"));
    EXPECT_EQ(test::CheckPortfolio(out), "");
    // Without --update a ticker the portfolio holds refuses the whole file.
    auto before = test::Snapshot(out);
    Outcome again = Cli({"convert", data + "tickers.csv", "--out", out});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "Tarvel: Duplicate Symbol Failure: BBB\n");
    EXPECT_EQ(test::Snapshot(out), before);

    // More tickers than a portfolio holds are refused before any is stored.
    std::string many = "Ticker,Date,Close\n";
    for (int i = 0; i <= 2000; ++i) many.append("T").append(std::to_string(i)).append(",2024-01-02,1\n");
    test::WriteFile(env / "many.csv", many);
    Outcome refused = Cli({"convert", env / "many.csv", "--out", env / "pf2"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "Tarvel: This file names more than 2000 tickers, more securities than a portfolio "
              "holds.\nNothing was converted.\n");
}

// Names that differ but would become one symbol are never merged into one
// security, with or without --update; rows of no ticker belong to none.
TEST(ManySecurities, NamesThatWouldBecomeOneSymbolStayApart) {
    test::CSettingsEnv env;
    const std::string folder = env / "prices", out = env / "pf";
    fs::create_directory(folder);
    test::WriteFile(test::Join(folder, "tickers.csv"),
                    "Ticker,Date,Close\nABCDEFGHIJKLMNOP,2024-01-02,1\n"
                    "ABCDEFGHIJKLMNOQ,2024-01-02,2\n");
    Outcome cut = Cli({"convert", test::Join(folder, "tickers.csv"), "--out", out, "--update"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "Tarvel: The tickers ABCDEFGHIJKLMNOP and ABCDEFGHIJKLMNOQ of " +
                           test::Join(folder, "tickers.csv") +
                           " would both become the security ABCDEFGHIJKLMN (a symbol holds 14 bytes, and "
                           "case does not tell symbols apart).\nNothing was converted.\n");
    EXPECT_FALSE(fs::exists(test::Join(out, "MASTER")));

    fs::remove(test::Join(folder, "tickers.csv"));
    test::WriteFile(test::Join(folder, "VERYLONGTICKERA.csv"), DailyCsv(1, 0, 2));
    test::WriteFile(test::Join(folder, "VERYLONGTICKERB.csv"), DailyCsv(2, 0, 3));
    test::WriteFile(test::Join(folder, "blank.csv"),
                    "Symbol,Date,Close\nAAA,2024-01-02,1\n,2024-01-03,9\nAAA,2024-01-04,3\n");
    // blank.csv named twice, itself and through its folder, is converted once.
    Outcome batch = Cli({"convert", folder, test::Join(folder, "blank.csv"), "--out", out, "--update"});
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(batch.err.find("comes from"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find(test::Join(folder, "VERYLONGTICKERA.csv") + " and " +
                             test::Join(folder, "VERYLONGTICKERB.csv") +
                             " would both be the security VERYLONGTICKER"),
              std::string::npos)
        << batch.err;
    EXPECT_NE(batch.err.find(test::Join(folder, "blank.csv") +
                             ": 1 row was skipped. It was line 3: column 1 names no ticker."),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(Cli({"export", out, "AAA"}).out, "DATE,CLOSE\n2024-01-02,1\n2024-01-04,3\n");
    EXPECT_EQ(Cli({"export", out, "VERYLONGTICKER"}).status, 1);
    EXPECT_EQ(test::CheckPortfolio(out), "");
}

// An update adds rows only where it knows every field of the security, and
// never writes through a link.
TEST(ManySecurities, AnUpdateNeverGuessesWhichFieldIsWhich) {
    test::CSettingsEnv env;
    const std::string out = env / "pf", input = env / "XYZ.csv";
    test::WriteFile(input, DailyCsv(1, 0, 3));
    ASSERT_EQ(Cli({"convert", input, "--out", out}).status, 0);
    fs::remove(test::Join(out, "EMASTER"));
    fs::remove(test::Join(out, "F1.DOP"));
    test::WriteFile(input, "Date,High,Low,Close,Volume,OpenInt\n2024-01-09,5,4,4.5,100,7\n");
    auto before = test::Snapshot(out);
    Outcome unknown = Cli({"convert", input, "--out", out, "--update"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err,
              "Tarvel: Which fields XYZ holds is not known (its F<n>.DOP is missing or in other words, "
              "or it has times of day). It was not updated.\n");
    EXPECT_EQ(test::Snapshot(out), before);

    // A price file that is a link to a file outside.
    fs::rename(test::Join(out, "F1.DAT"), env / "outside.dat");
    if (!test::MakeLink(env / "outside.dat", test::Join(out, "F1.DAT")))
        GTEST_SKIP() << "no symbolic links here";
    test::WriteFile(test::Join(out, "F1.DOP"),
                    "\"DATE\",0,0\r\n\"OPEN\",4,4\r\n\"HIGH\",4,4\r\n\"LOW\",4,4\r\n\"CLOSE\",4,4\r\n"
                    "\"VOL\",4,4\r\n");
    test::WriteFile(input, DailyCsv(1, 0, 4));
    Outcome link = Cli({"convert", input, "--out", out, "--update"});
    EXPECT_EQ(link.status, 1);
    EXPECT_NE(link.err.find(test::Join(out, "F1.DAT") +
                            " is a symbolic link; Tarvel does not replace it. XYZ was not updated."),
              std::string::npos)
        << link.err;
    EXPECT_TRUE(fs::is_symlink(test::Join(out, "F1.DAT")));
}

// A folder with nothing to convert is refused before anything is made; a
// file whose name makes no symbol fails alone; names that are no UTF-8 keep
// their bytes, and list --json stays valid JSON.
TEST(ManySecurities, OddNamesFailAloneOrKeepTheirBytes) {
    test::CSettingsEnv env;
    const std::string folder = env / "prices", out = env / "pf";
    fs::create_directory(folder);
    Outcome empty = Cli({"convert", folder, "--out", out});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "tarvel-cli: no .csv, .txt, .tsv or .prn files in " + folder + "\n");
    EXPECT_FALSE(fs::exists(out));

    test::WriteFile(test::Join(folder, " .csv"), DailyCsv(1, 0, 2));
#ifdef _WIN32  // names there are Unicode: none holds bytes that are no UTF-8
    const std::string cafe = "CAF\xC3\x89", cafeJson = "CAF\xC3\x89";
    test::WriteFile(test::Join(folder, "caf\xC3\xA9.csv"), DailyCsv(2, 0, 2));
#else
    const std::string cafe = "CAF\xE9", cafeJson = "CAF\\u00e9";
    test::WriteFile(test::Join(folder, "caf") + "\xE9.csv", DailyCsv(2, 0, 2));
#endif
    Outcome batch = Cli({"convert", folder, "--out", out});
    EXPECT_EQ(batch.status, 1);
    EXPECT_NE(batch.err.find(test::Join(folder, " .csv") +
                             " says no symbol (a download's name, a date or a copy number); give --symbol"),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(batch.out, "Converted 1 file (2 rows) into 1 security; 1 failed: see above.\n");
    Outcome json = Cli({"list", out, "--json"});
    EXPECT_NE(json.out.find("\"symbol\": \"" + cafeJson + "\""), std::string::npos) << json.out;
    EXPECT_EQ(Cli({"export", out, cafe}).out, Exported(DailyCsv(2, 0, 2)));
}

}  // namespace
}  // namespace tarvel
