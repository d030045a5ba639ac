#include "settings/conversion_settings.h"

#include <gtest/gtest.h>

#include <functional>
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

// A change to valid settings (symbol IBM, path /tmp) and the message it brings.
struct CheckCase {
    const char* name;
    std::function<void(CConversionSettings&)> change;
    std::optional<std::string> message;
};

template <std::size_t N, typename Check>
void ExpectMessages(const CheckCase (&cases)[N], Check check) {
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        CConversionSettings s;
        s.strSymbol = "IBM";
        s.strPathOut = "/tmp";
        c.change(s);
        EXPECT_EQ(check(s), c.message);
    }
}

TEST(ConversionSettings, ChecksAsTheDialogTakesValues) {
    const CheckCase cases[] = {
        {"defaults", [](CConversionSettings&) {}, std::nullopt},
        {"column 20", [](CConversionSettings& s) { s.nColumn[kOpenInt] = 20; }, std::nullopt},
        {"column 21", [](CConversionSettings& s) { s.nColumn[kOpenInt] = 21; }, RangeMessage(1, 20)},
        {"column 0 of a disabled field",
         [](CConversionSettings& s) {
             s.nColumn[kOpen] = 0;
             s.bFieldOn[kOpen] = 0;
         },
         RangeMessage(1, 20)},
        {"skip 200", [](CConversionSettings& s) { s.nSkipRows = 200; }, std::nullopt},
        {"skip 201 while off",
         [](CConversionSettings& s) {
             s.nSkipRows = 201;
             s.bSkipOn = 0;
         },
         RangeMessage(0, 200)},
        {"name of 45", [](CConversionSettings& s) { s.strName = std::string(45, 'n'); }, std::nullopt},
        {"name of 46", [](CConversionSettings& s) { s.strName = std::string(46, 'n'); },
         ByteLengthMessage(45)},
        {"symbol of 14", [](CConversionSettings& s) { s.strSymbol = std::string(14, 's'); }, std::nullopt},
        {"symbol of 15", [](CConversionSettings& s) { s.strSymbol = std::string(15, 's'); },
         ByteLengthMessage(14)},
        {"symbol of 5 characters in 15 bytes",
         [](CConversionSettings& s) {
             s.strSymbol = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
         },
         ByteLengthMessage(14)},
        {"path of 201", [](CConversionSettings& s) { s.strPathOut = std::string(201, 'p'); },
         LengthMessage(200)},
        {"date format of 13", [](CConversionSettings& s) { s.strDateFormat = "MMDDYYMMDDYYX"; },
         LengthMessage(12)},
    };
    ExpectMessages(cases, CheckTakenValues);
}

TEST(ConversionSettings, OkChecksDuplicatesSymbolAndPath) {
    const CheckCase cases[] = {
        {"date and close share a column with every box cleared",
         [](CConversionSettings& s) {
             for (int f : {kOpen, kHigh, kLow, kVolume, kOpenInt}) s.bFieldOn[f] = 0;
             s.nColumn[kClose] = 1;
         },
         kDuplicateColumnsMessage},
        {"cleared open shares the date's column",
         [](CConversionSettings& s) {
             s.bFieldOn[kOpen] = 0;
             s.nColumn[kOpen] = 1;
         },
         std::nullopt},
        {"checked open shares the date's column", [](CConversionSettings& s) { s.nColumn[kOpen] = 1; },
         kDuplicateColumnsMessage},
        {"blank symbol", [](CConversionSettings& s) { s.strSymbol = "   "; }, kInvalidSymbolMessage},
        {"blank path", [](CConversionSettings& s) { s.strPathOut = "  "; }, kEnterPathMessage},
        {"empty path", [](CConversionSettings& s) { s.strPathOut = ""; }, kEnterPathMessage},
    };
    ExpectMessages(cases, CheckAndNormalise);
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
        {"not found keeps the reading settings", none, "/in/long-file-name-here.txt", false, "YYMMDD", 1, 0,
         1, 4, 1, "LONG-FILE-NAME", "1111111", "1234567"},
        {"a name without a stem keeps the saved symbol", german, "/in/", true, "DD_MM_CCYY", 3, 1, 1, 1, 0,
         "OLD", "1111110", "1234561"},
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
        EXPECT_EQ(s.strName, "Saved name");
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
