#include "settings/conversion_settings.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/fake_platform.h"
#include "tests/support/settings_env.h"

namespace tarvel {
namespace {

TEST(ConversionSettings, MapsChoicesOntoTheJob) {
    struct Case {
        int delimiter, exist;
        const char* expectedDelimiter;
        int useExisting;
    };
    const Case cases[] = {{0, 0, ",", 1}, {1, 1, "\t", 0},  {2, 5, " ", 0}, {3, 0, ";", 1},
                          {4, 0, "|", 1}, {-1, -1, ",", 0}, {7, 0, ",", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.delimiter << "/" << c.exist);
        CConversionSettings s;
        s.nDelimiter = c.delimiter;
        s.nExist = c.exist;
        s.bFieldOn[kDate] = s.bFieldOn[kClose] = 0;  // Date and Close are always taken
        s.bFieldOn[kOpen] = 0;
        s.nColumn[kDate] = 1;
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        test::CRecordingSettings writer;
        CConverter job(platform, prompt, writer);
        FillConverter(s, "/in.txt", 9, job);
        EXPECT_EQ(job.m_strPathIn, "/in.txt");
        EXPECT_EQ(job.m_nDateFormat, 9);
        EXPECT_EQ(std::string(job.m_szDelimiter), c.expectedDelimiter);
        EXPECT_EQ(job.m_bUseExistingMaster, c.useExisting);
        EXPECT_EQ(job.m_bFieldOn[kDate], 1);
        EXPECT_EQ(job.m_bFieldOn[kClose], 1);
        EXPECT_EQ(job.m_bFieldOn[kOpen], 0);
        EXPECT_EQ(job.m_nFieldColumn[kDate], 0);
    }
}

TEST(ConversionSettings, SavesAndReloadsEverySettingValue) {
    test::CSettingsEnv env;
    CSettingsStore store;
    CConversionSettings s;
    s.strDateFormat = "DDMMCCYY";
    s.nExist = 1;
    s.nDelimiter = 4;
    s.bDecimalComma = 1;
    s.bUpdate = 1;
    s.bSkipOn = 1;
    s.nSkipRows = 17;
    for (int f = 0; f < kFieldCount; ++f) {
        s.nColumn[f] = 20 - f;
        s.bFieldOn[f] = f % 2;
    }
    s.strSymbol = "NOT SAVED";
    SaveSettingValues(store, s);
    CConversionSettings back = LoadConversionSettings(store);
    EXPECT_EQ(back.strDateFormat, "DDMMCCYY");
    EXPECT_EQ(back.nExist, 1);
    EXPECT_EQ(back.nDelimiter, 4);
    EXPECT_EQ(back.bDecimalComma, 1);
    EXPECT_EQ(back.bUpdate, 1);
    EXPECT_EQ(store.GetInt("Setting", "Update", 0), 1);
    EXPECT_EQ(back.bSkipOn, 1);
    EXPECT_EQ(back.nSkipRows, 17);
    EXPECT_EQ(back.strSymbol, "");  // "Convert" values are the job's to write
    for (int f = 0; f < kFieldCount; ++f) {
        EXPECT_EQ(back.nColumn[f], 20 - f);
        if (f != kDate && f != kClose) {
            EXPECT_EQ(back.bFieldOn[f], f % 2);
        }
    }
}

// Every row of tests/data/settings_checks.tsv: a check, the message it gives
// and the changes to valid settings that bring it.
TEST(ConversionSettings, ChecksAsTheDialogTakesValuesAndAsOkDoes) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/settings_checks.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(testing::PrintToString(row));
        CConversionSettings s;
        s.strSymbol = "IBM";
        s.strPathOut = "/tmp";
        for (auto change = row.begin() + 2; change != row.end(); ++change) {
            const std::size_t is = change->find('=');
            const std::string name = change->substr(0, is), value = change->substr(is + 1);
            if (name.starts_with("column")) {
                s.nColumn[std::stoi(name.substr(6))] = std::stoi(value);
            } else if (name.starts_with("on")) {
                s.bFieldOn[std::stoi(name.substr(2))] = std::stoi(value);
            } else if (name.starts_with("skip")) {
                (name == "skip" ? s.nSkipRows : s.bSkipOn) = std::stoi(value);
            } else {
                (name == "name"     ? s.strName
                 : name == "symbol" ? s.strSymbol
                 : name == "path"   ? s.strPathOut
                                    : s.strDateFormat) = value;
            }
        }
        const auto message = row[0] == "taken" ? CheckTakenValues(s) : CheckAndNormalise(s);
        EXPECT_EQ(message, row[1].empty() ? std::nullopt : std::optional(row[1]));
    }
    EXPECT_EQ(table.size(), 19u);
    CConversionSettings s;
    s.strSymbol = "  brk a  ";
    s.strPathOut = "/tmp ";
    EXPECT_EQ(CheckAndNormalise(s), std::nullopt);
    EXPECT_EQ(s.strSymbol, "  BRK A");
    EXPECT_EQ(s.strPathOut, "/tmp ");
}

TEST(PresetFromLayout, PutsWhatDetectionFoundOverTheSavedSettings) {
    CConversionSettings saved;
    saved.strDateFormat = "YYMMDD";
    saved.nDelimiter = 1;
    saved.strPathOut = "/portfolio";
    saved.strSymbol = "OLD";
    saved.strName = "Saved name";
    saved.bSkipOn = 1;
    saved.nSkipRows = 4;

    CDetectedLayout german = DetectLayout(
        "Datum;Er\xC3\xB6"
        "ffnung;Hoch;Tief;Schluss;Volumen\n15.01.2024;10,5;11,25;10;11;1.200\n"
        "16.01.2024;11;12;10,75;11,5;900\n");
    ASSERT_TRUE(german.IsComplete()) << german.m_strReason;
    CDetectedLayout undecided = DetectLayout("01/02/2024,7\n03/04/2024,8\n");
    ASSERT_TRUE(undecided.m_bFound && undecided.m_bDayMonthUndecided);
    CDetectedLayout none;
    none.m_strReason = "no date column";

    struct Case {
        const char* name;
        const CDetectedLayout& layout;
        const char* pathIn;
        bool master;
        const char* dateFormat;
        int delimiter, decimalComma, skipOn, skipRows, exist;
        const char* symbol;
        const char* on;      // per field, Date first
        const char* column;  // per field, one digit each
    };
    const Case cases[] = {
        {"found", german, "/in/dax-daily.csv", true, "DD_MM_CCYY", 3, 1, 1, 1, 0, "DAX-DAILY", "1111110",
         "1234561"},
        {"no master there", german, "/in/dax.csv", false, "DD_MM_CCYY", 3, 1, 1, 1, 1, "DAX", "1111110",
         "1234561"},
        {"day and month undecided keep the saved format", undecided, "/in/x.y.txt", true, "YYMMDD", 0, 0, 0,
         0, 0, "X.Y", "1000100", "1111211"},
        {"not found shows the defaults, not another file's layout", none, "/in/long-file-name-here.txt",
         false, "MMDDYY", 0, 0, 0, 0, 1, "LONG-FILE-NAME", "1111111", "1234567"},
        {"a name without a stem leaves the symbol empty", german, "/in/", true, "DD_MM_CCYY", 3, 1, 1, 1, 0,
         "", "1111110", "1234561"},
        {"a download's name leaves the symbol empty", german, "/in/HistoricalData.csv", true, "DD_MM_CCYY", 3,
         1, 1, 1, 0, "", "1111110", "1234561"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CConversionSettings s = PresetFromLayout(saved, c.layout, c.pathIn, c.master);
        EXPECT_EQ(s.strDateFormat, c.dateFormat);
        EXPECT_EQ(s.nDelimiter, c.delimiter);
        EXPECT_EQ(s.bDecimalComma, c.decimalComma);
        EXPECT_EQ(s.bSkipOn, c.skipOn);
        EXPECT_EQ(s.nSkipRows, c.skipRows);
        EXPECT_EQ(s.nExist, c.exist);
        EXPECT_EQ(s.strSymbol, c.symbol);
        EXPECT_EQ(s.strPathOut, "/portfolio");
        EXPECT_EQ(s.strName, c.symbol);  // the file's own, never the saved one
        for (int f = 0; f < kFieldCount; ++f) {
            EXPECT_EQ(s.bFieldOn[f], c.on[f] - '0') << f;
            EXPECT_EQ(s.nColumn[f], c.column[f] - '0') << f;
        }
    }
}

TEST(SymbolFromFileName, UpperCasesTheStemAndCutsItAtAWholeCharacter) {
    EXPECT_EQ(SymbolFromFileName("/data/acme-daily.csv"), "ACME-DAILY");
    EXPECT_EQ(SymbolFromFileName("spx.2024.txt"), "SPX.2024");
    EXPECT_EQ(SymbolFromFileName("/data/abcdefghijklmnopq.csv"), "ABCDEFGHIJKLMN");
    // Letters beyond ASCII are upper-cased too; a cut never splits one.
    EXPECT_EQ(SymbolFromFileName("b\xC3\xB6rse-frankfurt.csv"), "B\xC3\x96RSE-FRANKFU");
    EXPECT_EQ(SymbolFromFileName("abcdefghijklm\xC3\xB6.csv"), "ABCDEFGHIJKLM");
    EXPECT_EQ(SymbolFromFileName("/data/"), "");
}

}  // namespace
}  // namespace tarvel

namespace tarvel {
namespace {

// A file's name stands for a symbol unless a site gave it for any download,
// or it carries a date or a copy number.
TEST(NameMakesSymbol, TakesTickersAndNotWhatSitesCallEveryDownload) {
    for (const char* yes : {"ACME", "BRK-A", "^GSPC", "acme_daily", "DAX 30", "prices"})
        EXPECT_TRUE(NameMakesSymbol(yes)) << yes;
    for (const char* no :
         {"HistoricalData", "Historical_Prices", "download", "DATA", "export", "quotes", "table", "chart",
          "ACME (1)", "HistoricalData_1733500000", "ACME_2020-01-01_2024-12-31", "acme 20240105", "", " "})
        EXPECT_FALSE(NameMakesSymbol(no)) << no;
}

}  // namespace
}  // namespace tarvel
