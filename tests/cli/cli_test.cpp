#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/file_util.h"
#include "pricedb/find_security.h"
#include "settings/settings_store.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/portfolio_check.h"
#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

using test::Cli;
using test::Outcome;

class CliTest : public ::testing::Test {
protected:
    CliTest() : m_cwd(std::filesystem::current_path()) {
        m_out = m_env / "pf";
        std::filesystem::create_directory(m_out);
        m_input = m_env / "prices.csv";
        test::WriteFile(m_input,
                        "Date,Open,High,Low,Close,Volume\n"
                        "010500,25.5,26.25,25,26,12000\n"
                        "010600,26,27.125,25.5,26.5,13000\n");
    }
    Outcome Convert(std::vector<std::string> extra) {
        std::vector<std::string> args = {"convert", m_input,        "--out",         m_out,   "--symbol",
                                         "ibm",     "--new-master", "--date-format", "MMDDYY"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }
    ~CliTest() override { std::filesystem::current_path(m_cwd); }

    std::filesystem::path m_cwd;
    test::CSettingsEnv m_env;
    std::string m_out;
    std::string m_input;
};

TEST_F(CliTest, ConvertsAndReadsBack) {
    Outcome convert = Convert({"--name", "Intl Business"});
    EXPECT_EQ(convert.status, 0);
    EXPECT_EQ(convert.out, "Conversion completed successfully!\n");
    EXPECT_EQ(convert.err, "");
    EXPECT_EQ(test::CheckPortfolio(m_out), "");

    Outcome exported = Cli({"export", m_out, "IBM"});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out,
              "DATE,OPEN,HIGH,LOW,CLOSE,VOL\n2000-01-05,25.5,26.25,25,26,12000\n2000-01-06,26,27.125,25.5,26."
              "5,13000\n");

    Outcome listed = Cli({"list", m_out});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(
        listed.out.find("  1  IBM               Intl Business          6  2000-01-05  2000-01-06        2\n"),
        std::string::npos)
        << listed.out;

    // Only --save writes the desktop program's settings.
    EXPECT_FALSE(test::FileExists(m_env.file()));
}

TEST_F(CliTest, SaveKeepsTheSettingValuesForTheNextRun) {
    ASSERT_EQ(Convert({"--save", "--date-format", "mmdd"}).status, 0);
    CSettingsStore store;
    EXPECT_EQ(store.GetString("Setting", "DateFormat", ""), "MMDDYY");
    EXPECT_EQ(store.GetInt("Setting", "SkipOn", 0), 1);
    EXPECT_EQ(store.GetInt("Setting", "SkipRows", 0), 1);
    EXPECT_EQ(store.GetInt("Setting", "OIOn", 1), 0);
    EXPECT_EQ(store.GetInt("Setting", "Exist", 0), 1);
    // The next run takes everything from the store: a second security in the same portfolio.
    CSettingsStore saved;
    EXPECT_EQ(saved.GetString("Convert", "Symbol", ""), "IBM");
    EXPECT_EQ(saved.GetString("Convert", "PathOut", ""), std::filesystem::canonical(m_out).string());
    Outcome next = Cli({"convert", m_input, "--symbol", "MSFT", "--existing-master", "--from-settings"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(Cli({"export", m_out, "MSFT"}).out, Cli({"export", m_out, "IBM"}).out);
}

// Each delimiter, date format, decimal mark and column option reaches the
// conversion: what export gives back proves where every field was read.
TEST_F(CliTest, OptionsMapOntoTheConversion) {
    struct Case {
        std::string input;
        std::vector<std::string> options;
        std::string exported;
    };
    const Case cases[] = {
        {"junk\n2000-1-5\t7\t1\t2\n2000-1-6\t8\t3\t4\n",
         {"--delimiter", "tab", "--date-format", "ccyy_m", "--skip", "1", "--close-col", "2", "--open-col",
          "3", "--high-col", "4", "--no-low", "--no-volume", "--no-oi"},
         "DATE,OPEN,HIGH,CLOSE\n2000-01-05,1,2,7\n2000-01-06,3,4,8\n"},
        {"02.01.2024;1.234,5;7\n03.01.2024;1.240,25;8\n",
         {"--delimiter", "semicolon", "--decimal-comma", "--date-format", "DD_MM_CCYY", "--no-skip",
          "--close-col", "2", "--volume-col", "3", "--no-open", "--no-high", "--no-low", "--no-oi"},
         "DATE,CLOSE,VOL\n2024-01-02,1234.5,7\n2024-01-03,1240.25,8\n"},
        {"2024-01-02|1.5\n",
         {"--delimiter", "pipe", "--no-decimal-comma", "--date-format", "CCYY_MM_DD", "--no-skip",
          "--close-col", "2", "--no-open", "--no-high", "--no-low", "--no-volume", "--no-oi"},
         "DATE,CLOSE\n2024-01-02,1.5\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exported);
        test::WriteFile(m_input, c.input);
        const std::string symbol = std::string("X").append(std::to_string(++n));
        std::vector<std::string> args = {"convert", m_input, "--out", m_out, "--symbol", symbol};
        args.push_back(n == 1 ? "--new-master" : "--existing-master");
        args.insert(args.end(), c.options.begin(), c.options.end());
        Outcome convert = Cli(args);
        ASSERT_EQ(convert.status, 0) << convert.err;
        EXPECT_EQ(Cli({"export", m_out, symbol}).out, c.exported);
    }
}

// Every row of tests/data/refused_settings.tsv: options and the refusal.
TEST_F(CliTest, SettingsChecksRefuseBeforeAnythingIsWritten) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/refused_settings.tsv");
    auto local = [this](std::string text) {
        if (auto at = text.find("@/"); at != std::string::npos) text.replace(at, 2, m_env / "");
        return text;
    };
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[0]);
        Outcome outcome = Convert({row[1], local(row[2])});
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, local(row[0]));
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(test::ListDir(m_out).empty());
        EXPECT_FALSE(test::FileExists(m_env.file()));
    }
    EXPECT_EQ(table.size(), 11u);
}

// A file in each shape the usual sources export converts with nothing but
// the portfolio given, and stores exactly the prices it holds (its sidecar
// .expected: "YYYY-MM-DD value ..." oldest first, or why it is refused), and
// one whose rows do not bear out a layout is refused with the reason. Given
// the layout inspect prints for it, option by option, it converts alike.
TEST_F(CliTest, FilesFromCommonSourcesConvertWithoutLayoutOptions) {
    namespace fs = std::filesystem;
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    int shapes = 0;
    for (const auto& entry : fs::directory_iterator(TARVEL_TEST_DATA_DIR "/shapes")) {
        // As the messages show it: a full path in the system's own form.
        const std::string path = Utf8Of(fs::absolute(entry.path()).make_preferred());
        if (path.ends_with(".expected")) continue;
        SCOPED_TRACE(path);
        ++shapes;
        const std::vector<std::string> expected = lines(test::ReadFile(path + ".expected"));
        ASSERT_FALSE(expected.empty());
        const std::string out = m_env / "shapes";
        fs::remove_all(out);
        Outcome outcome = Cli({"convert", path, "--out", out});
        // "refused: TEXT": the rows do not bear out one layout; the message says why.
        if (expected[0].starts_with("refused: ")) {
            EXPECT_EQ(outcome.status, 1);
            EXPECT_TRUE(outcome.err.starts_with("Tarvel: Cannot tell the layout of " + path + ": "))
                << outcome.err;
            EXPECT_NE(outcome.err.find(expected[0].substr(9)), std::string::npos) << outcome.err;
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        if (expected[0] == "undecided" || expected[0] == "intraday") {
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(outcome.err,
                      expected[0] == "undecided"
                          ? "Tarvel: The dates in " + path +
                                " could be day-month or month-day; give --date-format.\n"
                          : "Tarvel: " + path +
                                " holds several rows a day (intraday data); Tarvel writes daily data.\n");
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        // The layout inspect names, given in full, stores the same bytes.
        std::istringstream command(lines(Cli({"inspect", path}).out).at(0));
        std::vector<std::string> explicitArgs;
        for (std::string word; command >> word;) explicitArgs.push_back(word);
        ASSERT_GT(explicitArgs.size(), 2u);
        explicitArgs.erase(explicitArgs.begin());  // tarvel-cli
        explicitArgs.insert(explicitArgs.end(), {"--out", out + "-explicit"});
        fs::remove_all(out + "-explicit");
        ASSERT_EQ(Cli(explicitArgs).status, 0);
        for (const char* name : {"MASTER", "F1.DAT", "F1.DOP"})
            EXPECT_EQ(test::ReadFile(out + "-explicit/" + name), test::ReadFile(out + "/" + name)) << name;
        auto platform = MakeSystemPlatform();
        std::vector<ListedSecurity> listed = ListPortfolio(*platform, out);
        ASSERT_EQ(listed.size(), 1u);
        std::vector<std::string> stored =
            lines(Cli({"export", out, FieldText(listed[0].record.data() + kRecSymbol, kTextFieldWidth)}).out);
        ASSERT_EQ(stored.size(), expected.size() + 1);  // the labels first
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i]);
            std::istringstream want(expected[i]);
            std::istringstream got(stored[i + 1]);
            std::string wantDate, gotDate;
            want >> wantDate;
            std::getline(got, gotDate, ',');
            EXPECT_EQ(gotDate, wantDate);
            for (std::string a, b; want >> a && std::getline(got, b, ',');) {
                EXPECT_EQ(std::strtof(b.c_str(), nullptr), std::strtof(a.c_str(), nullptr))
                    << a << " stored as " << b;
            }
        }
    }
    EXPECT_GE(shapes, 46);
}

TEST_F(CliTest, InspectSaysTheLayoutAndTheRowsAsStored) {
    test::WriteFile(m_input,
                    "Date,Open,High,Low,Close,Volume\n2024-01-02,1,2,0.5,1.5,100\n2024-01-03,2,3,1,2.5,200\n"
                    "2024-01-04,x,3,1,2.5,200\n");
    Outcome outcome = Cli({"inspect", m_input});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(
        outcome.out,
        "tarvel-cli convert " + m_input +
            " --delimiter comma --date-format CCYY_MM_DD --skip 1 --date-col 1 --open-col 2 "
            "--high-col 3 --low-col 4 --close-col 5 --volume-col 6 --no-oi\n"
            "  column 1 \"Date\": the date, read as CCYY_MM_DD on 3 of 3 rows\n"
            "  column 2 \"Open\": the open, by its name\n"
            "  column 3 \"High\": the high, by its name\n"
            "  column 4 \"Low\": the low, by its name\n"
            "  column 5 \"Close\": the close, by its name\n"
            "  column 6 \"Volume\": the volume, by its name\n"
            "  the dates run oldest first (0 of 2 steps the other way)\n"
            "  the low is the lowest and the high the highest price on 3 of 3 rows\n"
            "date open high low close volume\n"
            "2024-01-02 1 2 0.5 1.5 100\n2024-01-03 2 3 1 2.5 200\n"
            "2 rows would be stored; 1 would be skipped, the first line 4: column 2 is not a number.\n");
    // A refused file: what each column showed, the reason and the option that decides.
    test::WriteFile(m_input, "2024-01-02,1.5,-3\n2024-01-03,2.5,-4\n");
    outcome = Cli({"inspect", m_input});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out,
              "  column 1: the date, read as CCYY_MM_DD on 2 of 2 rows\n"
              "  column 2: the close, by its place in the usual order of columns\n"
              "  column 3: the volume, by its place in the usual order of columns\n"
              "  the dates run oldest first (0 of 1 steps the other way)\n");
    EXPECT_EQ(outcome.err,
              "Tarvel: Cannot tell the layout of " + m_input +
                  ": column 3, taken for the volume, holds negative numbers, as no volume does; give "
                  "--volume-col or --no-volume (see tarvel-cli convert --help).\n");
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
    EXPECT_EQ(Cli({}).status, 2);
    EXPECT_EQ(Cli({"convert"}).status, 2);
    EXPECT_EQ(Cli({"convert", "x", "--delimiter", "colon"}).status, 2);
    EXPECT_EQ(Cli({"convert", "x", "--decimal-comma", "--no-decimal-comma"}).status, 2);
    EXPECT_EQ(Cli({"convert", "x", "--no-open", "--open-col", "3"}).status, 2);
    Outcome version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarvel-cli 1.6.0\n");
    Outcome help = Cli({"convert", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"--date-format", "--no-skip", "--oi-col", "--save", "Exit status"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
}

TEST_F(CliTest, ReadersReportWhatIsMissing) {
    EXPECT_EQ(Cli({"export", m_out, "IBM"}).status, 1);
    EXPECT_EQ(Cli({"list", m_env / "nowhere"}).status, 1);
    ASSERT_EQ(Convert({}).status, 0);
    Outcome missing = Cli({"export", m_out, "NOPE"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tarvel-cli: no security NOPE in " + m_out + "\n");
    EXPECT_EQ(Cli({"export", m_out, "IBM", "--output", m_env / "ibm.csv"}).status, 0);
    EXPECT_EQ(test::ReadFile(m_env / "ibm.csv"), Cli({"export", m_out, "IBM"}).out);
    Outcome unwritable = Cli({"export", m_out, "IBM", "--output", m_env / "nowhere/ibm.csv"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err,
              "tarvel-cli: cannot write " + m_env / "nowhere/ibm.csv" + ": No such file or directory\n");
}

// Each example file, converted and exported again, gives back its own values:
// tests/data/examples/<file>.exported holds every row of the file, oldest
// first, with the dates as YYYY-MM-DD.
TEST_F(CliTest, ExamplesComeBackFromExport) {
    const std::pair<const char*, std::vector<std::string>> examples[] = {
        {"acme-daily.csv", {"--delimiter", "comma", "--date-format", "CCYYMMDD", "--skip", "1", "--no-oi"}},
        {"wheat-futures.txt", {"--delimiter", "tab", "--date-format", "YYMMDD", "--no-skip"}},
        {"bond-index.csv",
         {"--delimiter", "comma", "--date-format", "MM_DD_CCYY", "--skip", "1", "--no-open", "--high-col",
          "2", "--low-col", "3", "--close-col", "4", "--no-volume", "--no-oi"}},
    };
    int n = 0;
    for (const auto& [file, options] : examples) {
        SCOPED_TRACE(file);
        std::string symbol = "EX" + std::to_string(++n);
        std::vector<std::string> args = {
            "convert", std::string(TARVEL_EXAMPLES_DIR "/") + file,  "--out", m_out, "--symbol",
            symbol,    n == 1 ? "--new-master" : "--existing-master"};
        args.insert(args.end(), options.begin(), options.end());
        Outcome convert = Cli(args);
        ASSERT_EQ(convert.status, 0) << convert.err;
        EXPECT_EQ(Cli({"export", m_out, symbol}).out,
                  test::ReadFile(std::string(TARVEL_TEST_DATA_DIR "/examples/") + file + ".exported"));
    }
    EXPECT_EQ(test::CheckPortfolio(m_out), "");
}

}  // namespace
}  // namespace tarvel
