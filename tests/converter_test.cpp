#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "pricedb/portfolio.h"
#include "pricedb/stored_number.h"
#include "tests/support/conversion_fixture.h"
#include "tests/support/master_builder.h"

namespace tarvel {
namespace {

using test::ConversionTest;
using test::ShownBox;
using test::Stored;
using V = std::vector<std::string>;

const std::string kToday = Stored(1261206.0f);  // 6 December 2026, the fake platform's date

// The bytes of F<n>.DAT: a header of `fields` groups counting `records`, then the records.
std::string DataFile(int fields, int records, const std::string& body) {
    std::string header;
    for (int i = 0; i < fields; ++i) header += std::string("\0\0\1\0", 4);
    header[2] = static_cast<char>((records + 1) & 0xFF);
    header[3] = static_cast<char>((records + 1) >> 8);
    return header + body;
}

TEST_F(ConversionTest, WorkedExampleWritesEveryFileByteForByte) {
    auto job = MakeJob();
    job->m_bFieldOn[kOpenInt] = 0;
    ASSERT_EQ(Convert("010500,25.5,26.25,25,26,12000\n", *job), 0);
    EXPECT_EQ(Messages(), V{});

    std::string record = test::SecurityRecord(1, "IBM", "INTL BUSINESS", 6);
    record.replace(kRecFirstDate, 4, Stored(1000105.0f));
    record.replace(kRecLastDate, 4, Stored(1000105.0f));
    EXPECT_EQ(test::Hex(Out("MASTER")), test::Hex(test::MasterFile({record})));
    std::string row = Stored(1000105.0f) + Stored(25.5f) + Stored(26.25f) + Stored(25.0f) + Stored(26.0f) +
                      Stored(12000.0f);
    EXPECT_EQ(test::Hex(Out("F1.DAT")), test::Hex(DataFile(6, 1, row)));
    EXPECT_EQ(Out("F1.DOP"), "\"DATE\",0,0\r\n\"OPEN\",4,4\r\n\"HIGH\",4,4\r\n\"LOW\",4,4\r\n\"CLOSE\",4,4\r\n"
                             "\"VOL\",4,4\r\n");
    EXPECT_EQ(test::ListDir(m_out), (V{"F1.DAT", "F1.DOP", "MASTER"}));
    EXPECT_EQ(m_settings.written, (std::vector<std::pair<std::string, std::string>>{
                                      {"Convert/PathIn", m_input},
                                      {"Convert/PathOut", std::filesystem::canonical(m_out).string()},
                                      {"Convert/Symbol", "IBM"},
                                      {"Convert/Name", "INTL BUSINESS"}}));
    ExpectConsistent();
}

TEST_F(ConversionTest, AddsToAnExistingMasterUnderTheLowestFreeNumber) {
    std::string r1 = test::SecurityRecord(1, "AAA"), r2 = test::SecurityRecord(2, "BBB"),
                r4 = test::SecurityRecord(4, "DDD");
    test::WriteFile(m_out + "/MASTER", test::MasterFile({r1, r2, r4}, 3, 4));
    test::WriteFile(m_out + "/MASTER.BAK", "an older backup");
    auto job = MakeJob();
    job->m_bUseExistingMaster = 1;
    job->m_bFieldOn[kOpen] = job->m_bFieldOn[kHigh] = job->m_bFieldOn[kLow] = job->m_bFieldOn[kOpenInt] = 0;
    ASSERT_EQ(Convert("010500,1,2,3,26,100\n010600,1,2,3,27,200\n", *job), 0);

    std::string added = test::SecurityRecord(3, "IBM", "INTL BUSINESS", 3);
    added.replace(kRecFirstDate, 4, kToday);
    added.replace(kRecLastDate, 4, kToday);
    // The backup holds MASTER as the security was added: today's dates.
    EXPECT_EQ(test::Hex(Out("MASTER.BAK")), test::Hex(test::MasterFile({r1, r2, r4, added}, 4, 5)));
    added.replace(kRecFirstDate, 4, Stored(1000105.0f));
    added.replace(kRecLastDate, 4, Stored(1000106.0f));
    EXPECT_EQ(test::Hex(Out("MASTER")), test::Hex(test::MasterFile({r1, r2, r4, added}, 4, 5)));
    // Date, Close and Volume: 12-byte records.
    EXPECT_EQ(test::Hex(Out("F3.DAT")),
              test::Hex(DataFile(3, 2, Stored(1000105.0f) + Stored(26.0f) + Stored(100.0f) + Stored(1000106.0f) +
                                           Stored(27.0f) + Stored(200.0f))));
    EXPECT_EQ(Out("F3.DOP"), "\"DATE\",0,0\r\n\"CLOSE\",4,4\r\n\"VOL\",4,4\r\n");
}

TEST_F(ConversionTest, RefusesWhatTheChecksFind) {
    struct Case {
        const char* name;
        std::function<void(ConversionTest&, CConverter&)> setup;
        ShownBox message;
    };
    std::string existing = test::MasterFile({test::SecurityRecord(1, "IBM")});
    const Case cases[] = {
        {"missing directory", [](ConversionTest& t, CConverter& j) { j.SetPathOut(t.m_out + "/nope"); },
         {"Path does not exist", kMbOk}},
        {"existing master chosen, none there", [](ConversionTest&, CConverter& j) { j.m_bUseExistingMaster = 1; },
         {"Path specified does not point to a Master file", kMbOk}},
        {"new master chosen, one there",
         [&](ConversionTest& t, CConverter&) { test::WriteFile(t.m_out + "/MASTER", existing); },
         {"New Master chosen but one already exists", kMbOk}},
        {"new master chosen, one in lower case",
         [&](ConversionTest& t, CConverter&) { test::WriteFile(t.m_out + "/master", existing); },
         {"New Master chosen but one already exists", kMbOk}},
        {"one field", [](ConversionTest&, CConverter& j) { std::fill(j.m_bFieldOn + 1, j.m_bFieldOn + 7, 0); },
         {"You need to select more columns", kMbIconInformation}},
        {"duplicate symbol",
         [&](ConversionTest& t, CConverter& j) {
             test::WriteFile(t.m_out + "/MASTER", existing);
             j.m_bUseExistingMaster = 1;
         },
         {"Duplicate Symbol Failure", kMbOk}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : test::ListDir(m_out)) std::filesystem::remove(m_out + "/" + name);
        m_prompt.shown.clear();
        m_settings.written.clear();
        auto job = MakeJob();
        c.setup(*this, *job);
        std::string before = test::FileExists(m_out + "/MASTER") ? Out("MASTER") : "";
        EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 1);
        EXPECT_EQ(m_prompt.shown, std::vector<ShownBox>{c.message});
        EXPECT_EQ(m_settings.written.size(), 0u);
        if (!before.empty()) {
            EXPECT_EQ(Out("MASTER"), before);
        }
    }
}

TEST_F(ConversionTest, AFailedCheckAfterANewMasterLeavesItEmpty) {
    auto job = MakeJob();
    std::fill(job->m_bFieldOn + 1, job->m_bFieldOn + 7, 0);
    EXPECT_EQ(Convert("010500,1\n", *job), 1);
    EXPECT_EQ(Out("MASTER"), std::string(53, '\0'));
    EXPECT_EQ(test::ListDir(m_out), V{"MASTER"});
    auto again = MakeJob();
    EXPECT_EQ(again->Run(), 1);
    EXPECT_EQ(Messages().back(), "New Master chosen but one already exists");
}

TEST_F(ConversionTest, RefusesAFullPortfolio) {
    struct Case {
        int count, mark;
        int records;
    };
    const Case cases[] = {{255, 255, 3}, {200, 255, 3}, {255, 200, 3}, {100, 100, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << "/" << c.mark << "/" << c.records);
        std::vector<std::string> records;
        for (int n = 1; n <= c.records; ++n) {
            records.push_back(test::SecurityRecord(n, std::string("S").append(std::to_string(n))));
        }
        std::string master = test::MasterFile(records, c.count, c.mark);
        test::WriteFile(m_out + "/MASTER", master);
        m_prompt.shown.clear();
        auto job = MakeJob();
        job->m_bUseExistingMaster = 1;
        EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 1);
        EXPECT_EQ(Messages(), V{kFullPortfolioMessage});
        EXPECT_EQ(Out("MASTER"), master);
        EXPECT_EQ(test::ListDir(m_out), V{"MASTER"});
    }
}

TEST_F(ConversionTest, ParsesRowsAsTheyStand) {
    auto job = MakeJob();
    job->m_bFieldOn[kOpenInt] = 0;
    job->m_bSkipOn = 1;
    job->m_nSkipRows = 2;
    std::string input =
        "Date,Open,High,Low,Close,Volume\n"
        "junk\n"
        "\n"
        "010700,7,8,6,7.5,700,extra\r\n"  // newest first: dates as they come
        ",,\n"
        "010500,x,,5\n"                 // fewer columns: the rest from the row before
        "010600,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22\n"
        "010600,abc,2,3,4,5\n";         // a repeated date is stored again
    ASSERT_EQ(Convert(input, *job), 0);
    std::string rows;
    rows += Stored(1000107.0f) + Stored(7) + Stored(8) + Stored(6) + Stored(7.5f) + Stored(700);
    rows += Stored(1000105.0f) + Stored(0) + Stored(5) + Stored(6) + Stored(7.5f) + Stored(700);
    rows += Stored(1000106.0f) + Stored(1) + Stored(2) + Stored(3) + Stored(4) + Stored(5);
    rows += Stored(1000106.0f) + Stored(0) + Stored(2) + Stored(3) + Stored(4) + Stored(5);
    EXPECT_EQ(test::Hex(Out("F1.DAT")), test::Hex(DataFile(6, 4, rows)));
    std::string master = Out("MASTER");
    EXPECT_EQ(master.substr(53 + kRecFirstDate, 8), Stored(1000107.0f) + Stored(1000106.0f));
    ExpectConsistent();
}

TEST_F(ConversionTest, FirstRowColumnsMissingFromTheStartRead123) {
    auto job = MakeJob();
    job->m_bFieldOn[kVolume] = job->m_bFieldOn[kOpenInt] = 0;
    ASSERT_EQ(Convert("010500,1,2\n", *job), 0);
    EXPECT_EQ(test::Hex(Out("F1.DAT").substr(20)),
              test::Hex(Stored(1000105.0f) + Stored(1) + Stored(2) + Stored(123) + Stored(123)));
}

TEST_F(ConversionTest, DateKindMismatchOfTheFirstRowFailsButConvertsEveryRow) {
    struct Case {
        const char* input;
        int format;
        V messages;
        int records;
    };
    const V numericOnly = {"You specified a numeric-only date format\nbut a non-numeric date character was found."};
    const V separated = {"You specified a character-separated date format\nbut only numeric date characters were found."};
    const Case cases[] = {
        {"\"010500\",1,2,3,4,5,6\n010600,1,2,3,4,5,6\n", 9, numericOnly, 2},
        {" 010500,1,2,3,4,5,6\n", 9, numericOnly, 1},
        {"010500,1,2,3,4,5,6\n", 3, {separated[0], "1 rows had a date that could not be read and were not converted.\n"
                                                   "The first was line 1."}, 0},
        // Read as digits, 01/05/00 is month 1, day "/0" = 0, year "5/" = 5: a date all the same.
        {"01/05/00,1,2,3,4,5,6\n010600,1,2,3,4,5,6\n", 9, numericOnly, 2},
        {"010500,1,2,3,4,5,6\n", 0, {separated[0], "1 rows had a date that could not be read and were not converted.\n"
                                                   "The first was line 1."}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        for (const std::string& name : test::ListDir(m_out)) std::filesystem::remove(m_out + "/" + name);
        m_prompt.shown.clear();
        auto job = MakeJob();
        job->m_nDateFormat = c.format;
        EXPECT_EQ(Convert(c.input, *job), 1);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(Out("F1.DAT").size(), 28u * static_cast<std::size_t>(c.records + 1));
        ExpectConsistent();
    }
}

TEST_F(ConversionTest, UnreadableHeaderLineIsReportedWithItsLine) {
    auto job = MakeJob();
    ASSERT_EQ(Convert("\nDate,Open,High,Low,Close,Volume,OI\n010500,1,2,3,4,5,6\n133100,1,2,3,4,5,6\n", *job), 1);
    EXPECT_EQ(Messages(), (V{"You specified a numeric-only date format\nbut a non-numeric date character was found.",
                             "2 rows had a date that could not be read and were not converted.\nThe first was line 2."}));
    EXPECT_EQ(Out("F1.DAT").size(), 28u * 2);
    std::string master = Out("MASTER");
    EXPECT_EQ(master.substr(53 + kRecFirstDate, 8), Stored(1000105.0f) + Stored(1000105.0f));
}

TEST_F(ConversionTest, ALongDateStopsTheReadingAndKeepsEarlierRows) {
    auto job = MakeJob();
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n01234567890123456789,1\n010700,1,2,3,4,5,6\n", *job), 1);
    EXPECT_EQ(Messages(), V{"The date in line 2 is too long to be a date.\n"
                            "That line and the rows after it were not converted."});
    EXPECT_EQ(Out("F1.DAT").size(), 28u * 2);
    ExpectConsistent();
}

TEST_F(ConversionTest, NoRowsLeaveTodaysDatesAndACountOfOne) {
    auto job = MakeJob();
    job->m_bSkipOn = 1;
    job->m_nSkipRows = 5;
    ASSERT_EQ(Convert("a\nb\n", *job), 0);
    EXPECT_EQ(Out("F1.DAT"), MakeDataHeader(7));
    EXPECT_EQ(Out("MASTER").substr(53 + kRecFirstDate, 8), kToday + kToday);
}

TEST_F(ConversionTest, StopsAtTheLargestRecordCount) {
    std::string input;
    input.reserve(65536 * 12);
    for (int i = 0; i < 65536; ++i) input += "010500,1,2\n";
    auto job = MakeJob();
    for (int f = kHigh; f < kFieldCount; ++f) job->m_bFieldOn[f] = f == kClose;
    job->m_nFieldColumn[kClose] = 2;
    ASSERT_EQ(Convert(input, *job), 1);
    EXPECT_EQ(Messages(), V{"This file has more rows than one security can hold (65534).\n"
                            "The rows after that were not converted."});
    std::string data = Out("F1.DAT");
    EXPECT_EQ(data.size(), 12u * 65535);
    EXPECT_EQ(test::Hex(data.substr(0, 4)), "00 00 FF FF");
    ExpectConsistent();
}

TEST_F(ConversionTest, ExactlyTheLargestRecordCountSucceeds) {
    std::string input;
    for (int i = 0; i < 65534; ++i) input += "010500,1\n";
    auto job = MakeJob();
    for (int f = kHigh; f < kFieldCount; ++f) job->m_bFieldOn[f] = 0;
    job->m_bFieldOn[kOpen] = 0;
    job->m_bFieldOn[kClose] = 1;
    job->m_nFieldColumn[kClose] = 1;
    ASSERT_EQ(Convert(input, *job), 0);
    EXPECT_EQ(Out("F1.DAT").size(), 8u * 65535);
}

TEST_F(ConversionTest, TwoHundredFiftyRowsOfFiveFields) {
    std::string input;
    for (int i = 0; i < 250; ++i) input += "010500,1,2,3,4\n";
    auto job = MakeJob();
    job->m_bFieldOn[kVolume] = job->m_bFieldOn[kOpenInt] = 0;
    ASSERT_EQ(Convert(input, *job), 0);
    std::string data = Out("F1.DAT");
    EXPECT_EQ(data.size(), 5020u);
    EXPECT_EQ(test::Hex(data.substr(0, 20)), "00 00 FB 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 01 00");
}

TEST_F(ConversionTest, MissingInputFileFailsWithAMessage) {
    auto job = MakeJob();
    job->m_strPathIn = m_dir / "missing.txt";
    EXPECT_EQ(job->Run(), 1);
    EXPECT_EQ(Messages(), V{"Cannot open the input file " + m_dir / "missing.txt"});
    ExpectConsistent();
    // A directory is no input file either.
    m_prompt.shown.clear();
    auto second = MakeJob("MSFT");
    second->m_bUseExistingMaster = 1;
    second->m_strPathIn = m_dir.path();
    EXPECT_EQ(second->Run(), 1);
    EXPECT_EQ(Messages(), V{"Cannot open the input file " + m_dir.path()});
    ExpectConsistent();
}

TEST_F(ConversionTest, RelativePathsAreResolvedBeforeTheDirectoryChanges) {
    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    auto job = MakeJob();
    job->SetPathOut("out");
    job->m_strPathIn = "input.txt";
    int result = Convert("010500,1,2,3,4,5,6\n", *job);
    std::filesystem::current_path(cwd);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(m_settings.written[0].second, std::filesystem::canonical(m_input).string());
    EXPECT_EQ(m_settings.written[1].second, std::filesystem::canonical(m_out).string());
    EXPECT_EQ(Out("F1.DAT").size(), 56u);
}

TEST_F(ConversionTest, UsesAMasterNamedInLowerCase) {
    test::WriteFile(m_out + "/master", test::MasterFile({test::SecurityRecord(1, "AAA")}));
    auto job = MakeJob();
    job->m_bUseExistingMaster = 1;
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 0);
    EXPECT_EQ(test::ListDir(m_out), (V{"F2.DAT", "F2.DOP", "master", "master.BAK"}));
    EXPECT_EQ(Out("master").size(), 3u * 53);
}

TEST_F(ConversionTest, OverwritesADataFileThatMasterDoesNotList) {
    test::WriteFile(m_out + "/F1.DAT", "stale bytes");
    auto job = MakeJob();
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 0);
    EXPECT_EQ(Out("F1.DAT").size(), 56u);
}

TEST_F(ConversionTest, CutsUtf8SymbolAndNameAtACharacterBoundary) {
    auto job = MakeJob("\xC3\x84PFEL\xC3\x84PFEL\xC3\x84PFEL", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                                                               "\xE2\x82\xAC\xE2\x82\xAC");
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 0);
    std::string master = Out("MASTER");
    EXPECT_EQ(master.substr(53 + kRecSymbol, 16), "\xC3\x84PFEL\xC3\x84PFEL\xC3\x84PF");
    EXPECT_EQ(master.substr(53 + kRecName, 16), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC ");
    EXPECT_EQ(m_settings.written[2].second, "\xC3\x84PFEL\xC3\x84PFEL\xC3\x84PF");
}

TEST_F(ConversionTest, IgnoresAByteOrderMarkBeforeTheFirstLine) {
    auto job = MakeJob();
    ASSERT_EQ(Convert("\xEF\xBB\xBF" "010500,1,2,3,4,5,6\n", *job), 0);
    EXPECT_EQ(Out("F1.DAT").substr(28, 4), Stored(1000105.0f));
    // Skipped as part of a header line all the same.
    auto skipping = MakeJob("MSFT");
    skipping->m_bUseExistingMaster = 1;
    skipping->m_bSkipOn = 1;
    skipping->m_nSkipRows = 1;
    ASSERT_EQ(Convert("\xEF\xBB\xBF" "Date,Open\n010500,1,2,3,4,5,6\n", *skipping), 0);
    EXPECT_EQ(Out("F2.DAT").size(), 56u);
}

TEST_F(ConversionTest, AMasterThatCannotBeReadDuringTheDuplicateCheckStopsTheRun) {
    std::string master = test::MasterFile({test::SecurityRecord(1, "IBM")});
    test::WriteFile(m_out + "/MASTER", master);
    // The second open of the run is the duplicate check's read of MASTER.
    auto job = MakeJob();
    job->m_bUseExistingMaster = 1;
    m_platform.FailAt(5);
    EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 1);
    ASSERT_EQ(m_platform.log().size(), 5u);
    EXPECT_EQ(m_platform.log()[4], "open");
    EXPECT_EQ(Messages(), V{"Cannot read the Master file " + std::filesystem::canonical(m_out).string() + "/MASTER"});
    EXPECT_EQ(Out("MASTER"), master);
    EXPECT_EQ(test::ListDir(m_out), V{"MASTER"});
}

}  // namespace
}  // namespace tarvel
