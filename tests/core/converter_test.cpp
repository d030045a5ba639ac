#include <gtest/gtest.h>
#include <sys/stat.h>
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

// The bytes of F<n>.DAT: a header of `fields` groups counting `records`, then the records.
std::string DataFile(int fields, int records, const std::string& body) {
    std::string header;
    for (int i = 0; i < fields; ++i) header += std::string("\0\0\1\0", 4);
    header[2] = static_cast<char>((records + 1) & 0xFF);
    header[3] = static_cast<char>((records + 1) >> 8);
    return header + body;
}

// `rows` consecutive days from 1 January 1900 as CCYYMMDD, each followed by
// ",<i>".
std::string DailyRows(int rows) {
    std::string input;
    CalendarDate d{1900, 1, 1};
    for (int i = 0; i < rows; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%04d%02d%02d,%d\n", d.year, d.month, d.day, i);
        input += line;
        if (++d.day > DaysInMonth(d.year, d.month)) d = {d.year + (d.month == 12), d.month % 12 + 1, 1};
    }
    return input;
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
    EXPECT_EQ(Out("F1.DOP"),
              "\"DATE\",0,0\r\n\"OPEN\",4,4\r\n\"HIGH\",4,4\r\n\"LOW\",4,4\r\n\"CLOSE\",4,4\r\n"
              "\"VOL\",4,4\r\n");
    // A new portfolio gets EMASTER beside MASTER.
    EXPECT_EQ(test::Hex(Out("EMASTER")),
              test::Hex(test::EMasterFile({test::EMasterRecord(1, "IBM", "INTL BUSINESS", "INTL BUSINESS", 6,
                                                               63, 20000105, 20000105)})));
    // and the record that undoes the conversion.
    EXPECT_EQ(test::ListDir(m_out), (V{"EMASTER", "F1.DAT", "F1.DOP", "MASTER", "MASTER.~UR"}));
    EXPECT_EQ(m_settings.written, (std::vector<std::pair<std::string, std::string>>{
                                      {"Convert/PathIn", m_input},
                                      {"Convert/PathOut", std::filesystem::canonical(m_out).string()},
                                      {"Convert/Symbol", "IBM"},
                                      {"Convert/Name", "INTL BUSINESS"}}));
    ExpectConsistent();
}

TEST_F(ConversionTest, AddsUnderTheLowestFreeNumberAndBacksUpTheMasterItStartedFrom) {
    std::string r1 = test::SecurityRecord(1, "AAA"), r2 = test::SecurityRecord(2, "BBB"),
                r5 = test::SecurityRecord(5, "DDD");
    std::string before = test::MasterFile({r1, r2, r5}, 3, 5);
    for (std::size_t i = 4; i < 53; ++i) before[i] = static_cast<char>(i);  // kept as they stand
    test::WriteFile(m_out + "/MASTER", before);
    test::WriteFile(m_out + "/MASTER.BAK", "an older backup");
    // A data file no record lists is someone's: its number is not taken.
    test::WriteFile(m_out + "/f3.dat", "not ours");
    ::chmod((m_out + "/MASTER").c_str(), 0640);
    auto job = MakeJob();
    job->m_bUseExistingMaster = 1;
    job->m_bFieldOn[kOpen] = job->m_bFieldOn[kHigh] = job->m_bFieldOn[kLow] = job->m_bFieldOn[kOpenInt] = 0;
    ASSERT_EQ(Convert("010600,1,2,3,27,200\n010500,1,2,3,26,100\n", *job), 0);

    std::string added = test::SecurityRecord(4, "IBM", "INTL BUSINESS", 3);
    added.replace(kRecFirstDate, 4, Stored(1000105.0f));
    added.replace(kRecLastDate, 4, Stored(1000106.0f));
    std::string after = before;
    after[0] = 4;
    after[2] = 6;
    EXPECT_EQ(test::Hex(Out("MASTER")), test::Hex(after + added));
    EXPECT_EQ(test::Hex(Out("MASTER.BAK")), test::Hex(before));
#ifndef _WIN32  // Windows keeps no permission bits
    struct stat st {};
    ::stat((m_out + "/MASTER").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
    // Oldest first, whatever the file's order. Date, Close and Volume: 12-byte records.
    EXPECT_EQ(test::Hex(Out("F4.DAT")),
              test::Hex(DataFile(3, 2,
                                 Stored(1000105.0f) + Stored(26.0f) + Stored(100.0f) + Stored(1000106.0f) +
                                     Stored(27.0f) + Stored(200.0f))));
    EXPECT_EQ(Out("F4.DOP"), "\"DATE\",0,0\r\n\"CLOSE\",4,4\r\n\"VOL\",4,4\r\n");
    EXPECT_EQ(Out("f3.dat"), "not ours");
}

TEST_F(ConversionTest, ReadsUtf16AsText) {
    // "Date\tClose" and one row in UTF-16 big-endian, a byte order mark first.
    std::string utf16 = "\xFE\xFF";
    for (char c : std::string("Date\tClose\r\n01/03/2000\t1.5\r\n")) utf16 += std::string{'\0', c};
    auto job = MakeJob();
    std::fill(std::begin(job->m_bFieldOn), std::end(job->m_bFieldOn), 0);
    job->m_bFieldOn[kDate] = job->m_bFieldOn[kClose] = 1;
    job->m_nFieldColumn[kClose] = 1;
    job->SetDelimiter('\t');
    job->m_nDateFormat = 4;
    job->m_bSkipOn = 1;
    job->m_nSkipRows = 1;
    ASSERT_EQ(Convert(utf16, *job), 0) << testing::PrintToString(Messages());
    EXPECT_EQ(Rows(), V{"2000-01-03 1.5"});
}

TEST_F(ConversionTest, RefusesWhatTheChecksFindAndChangesNothing) {
    struct Case {
        const char* name;
        std::function<void(ConversionTest&, CConverter&)> setup;
        std::function<std::string(ConversionTest&)> message;
        int type = kMbOk;
    };
    std::string existing = test::MasterFile({test::SecurityRecord(1, "IBM")});
    auto existingMaster = [&](ConversionTest& t, CConverter& j) {
        test::WriteFile(t.m_out + "/MASTER", existing);
        j.m_bUseExistingMaster = 1;
    };
    const Case cases[] = {
        {"missing input", [](ConversionTest& t, CConverter& j) { j.m_strPathIn = t.m_dir / "missing.txt"; },
         [](ConversionTest& t) {
             return "Cannot open the input file " + t.m_dir / "missing.txt" + ": " + test::MissingFileText();
         }},
        {"existing master chosen, none there",
         [](ConversionTest&, CConverter& j) { j.m_bUseExistingMaster = 1; },
         [](ConversionTest&) { return std::string("Path specified does not point to a Master file"); }},
        {"new master chosen, one in lower case",
         [&](ConversionTest& t, CConverter&) { test::WriteFile(t.m_out + "/master", existing); },
         [](ConversionTest&) { return std::string("New Master chosen but one already exists"); }},
        {"one field",
         [](ConversionTest&, CConverter& j) { std::fill(j.m_bFieldOn + 1, j.m_bFieldOn + 7, 0); },
         [](ConversionTest&) { return std::string("You need to select more columns"); }, kMbIconInformation},
        {"duplicate symbol", existingMaster,
         [](ConversionTest&) { return std::string("Duplicate Symbol Failure"); }},
        {"date kind", [](ConversionTest&, CConverter& j) { j.m_nDateFormat = 3; },
         [](ConversionTest&) {
             return std::string(
                 "You specified a character-separated date format\nbut only numeric date characters were "
                 "found.");
         }},
        {"only a header",
         [](ConversionTest& t, CConverter& j) {
             test::WriteFile(t.m_input, "Date,Open,High,Low,Close,Volume,OI\n");
             j.m_bSkipOn = 1;
             j.m_nSkipRows = 1;
         },
         [](ConversionTest& t) { return "No price rows could be read from " + t.m_input + "."; }},
        {"empty input", [](ConversionTest& t, CConverter&) { test::WriteFile(t.m_input, ""); },
         [](ConversionTest& t) { return "No price rows could be read from " + t.m_input + "."; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directory(m_out);
        m_prompt.shown.clear();
        m_settings.written.clear();
        test::WriteFile(m_input, "010500,1,2,3,4,5,6\n");
        auto job = MakeJob();
        c.setup(*this, *job);
        std::map<std::string, std::string> before = test::Snapshot(m_out);
        EXPECT_EQ(job->Run(), 1);
        EXPECT_EQ(m_prompt.shown, (std::vector<ShownBox>{{c.message(*this), c.type}}));
        EXPECT_EQ(m_settings.written.size(), 0u);
        EXPECT_EQ(test::Snapshot(m_out), before);
    }
}

TEST_F(ConversionTest, AFullMasterOverflowsIntoXMasterUntilThatIsFullToo) {
    std::vector<std::string> records;
    for (int n = 1; n <= 255; ++n)
        records.push_back(test::SecurityRecord(n, std::string("S").append(std::to_string(n))));
    const std::string master = test::MasterFile(records);
    test::WriteFile(m_out + "/MASTER", master);
    auto job = MakeJob();
    job->m_bUseExistingMaster = 1;
    job->m_bFieldOn[kOpenInt] = 0;
    job->SetName("INTERNATIONAL BUSINESS MACHINES CORPORATION");
    ASSERT_EQ(Convert("010500,25.5,26.25,25,26,12000\n010600,1,2,3,4,5\n", *job), 0);
    EXPECT_EQ(Messages(), V{});
    EXPECT_EQ(Out("MASTER"), master);
    EXPECT_EQ(test::Hex(Out("XMASTER")),
              test::Hex(test::XMasterFile(
                  {test::XMasterRecord(256, "IBM", "INTERNATIONAL BUSINESS MACHINES CORPORATION", 63,
                                       20000105, 20000106)},
                  257)));
    std::string rows = Stored(1000105.0f) + Stored(25.5f) + Stored(26.25f) + Stored(25.0f) + Stored(26.0f) +
                       Stored(12000.0f) + Stored(1000106.0f) + Stored(1.0f) + Stored(2.0f) + Stored(3.0f) +
                       Stored(4.0f) + Stored(5.0f);
    EXPECT_EQ(test::Hex(Out("F256.MWD")), test::Hex(DataFile(6, 2, rows)));

    // XMASTER takes numbers up to 2000; then the portfolio is full.
    std::vector<std::string> xrecords;
    for (int n = 256; n <= 2000; ++n)
        xrecords.push_back(test::XMasterRecord(n, std::string("X").append(std::to_string(n)), "", 63, 0, 0));
    std::string xmaster = test::XMasterFile(xrecords, 2001);
    test::WriteFile(m_out + "/XMASTER", xmaster);
    auto before = test::Snapshot(m_out);
    m_prompt.shown.clear();
    auto full = MakeJob();
    full->m_bUseExistingMaster = 1;
    full->SetSymbol("NEW");
    EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n", *full), 1);
    EXPECT_EQ(Messages(), V{kFullXMasterMessage});
    EXPECT_EQ(test::Snapshot(m_out), before);
}

// Every row rule, end to end: what the file holds, what is stored, and what
// the user is told about the rows left out. The rules are the rows of
// tests/data/row_rules.tsv, and here a NUL byte past the head and a line of
// 100,000 columns.
TEST_F(ConversionTest, StoresRowsThatReadAndSkipsTheRest) {
    auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/row_rules.tsv");
    ASSERT_EQ(table.size(), 7u);
    const std::string nul = std::string("0104") + '\0' + "00,1,2,3,4\n",
                      wide = "010500" + std::string(100000, ',') + "\n";
    table.push_back({std::string(70000, '\n') + "010300,1,2,3,4\n" + nul + wide + "010600,1,2,3,4\n", "9",
                     "2 rows were skipped. The first was line 70002: the line holds a NUL byte.",
                     "2000-01-03 1 2 3 4", "2000-01-06 1 2 3 4"});
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[2] + " " + row[3]);
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directory(m_out);
        m_prompt.shown.clear();
        auto job = MakeJob();
        job->m_bFieldOn[kVolume] = job->m_bFieldOn[kOpenInt] = 0;
        job->m_nDateFormat = std::stoi(row[1]);
        ASSERT_EQ(Convert(row[0], *job), 0) << testing::PrintToString(Messages());
        EXPECT_EQ(Rows(), V(row.begin() + 3, row.end()));
        EXPECT_EQ(Messages(), row[2].empty() ? V{} : V{row[2]});
        ExpectConsistent();
    }
}

TEST_F(ConversionTest, StrictFailsOnAnySkippedRow) {
    auto job = MakeJob();
    job->m_bStrict = 1;
    EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n010600,x,2,3,4,5,6\n", *job), 1);
    EXPECT_EQ(Messages(), (V{"1 row was skipped. It was line 2: column 2 is not a number.",
                             "Nothing was converted: skipped rows are not allowed (--strict)."}));
    EXPECT_EQ(test::ListDir(m_out), V{});
}

TEST_F(ConversionTest, HoldsAtMostTheLargestRecordCount) {
    auto job = [this] {
        auto made = MakeJob();
        made->m_nDateFormat = 8;
        for (int f = kOpen; f < kFieldCount; ++f) made->m_bFieldOn[f] = f == kClose;
        made->m_nFieldColumn[kClose] = 1;
        return made;
    };
    ASSERT_EQ(Convert(DailyRows(65535), *job()), 1);
    EXPECT_EQ(Messages(),
              V{"This file has more rows than one security can hold (65534).\nNothing was converted."});
    EXPECT_EQ(test::ListDir(m_out), V{});

    m_prompt.shown.clear();
    ASSERT_EQ(Convert(DailyRows(65534), *job()), 0);
    std::string data = Out("F1.DAT");
    EXPECT_EQ(data.size(), 8u * 65535);
    EXPECT_EQ(test::Hex(data.substr(0, 8)), "00 00 FF FF 00 00 01 00");
    ExpectConsistent();
}

TEST_F(ConversionTest, RelativePathsAreStoredFullAndTheCurrentDirectoryStays) {
    std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(m_dir.path());
    auto job = MakeJob();
    job->SetPathOut("out");
    job->m_strPathIn = "input.txt";
    int result = Convert("010500,1,2,3,4,5,6\n", *job);
    const std::filesystem::path after = std::filesystem::current_path();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(after, std::filesystem::path(m_dir.path()));
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
    EXPECT_EQ(test::ListDir(m_out), (V{"F2.DAT", "F2.DOP", "MASTER.~UR", "master", "master.BAK"}));
    EXPECT_EQ(Out("master").size(), 3u * 53);
}

TEST_F(ConversionTest, SymbolsAndNamesFitWholeOrAreRefused) {
    const std::string euro = "\xE2\x82\xAC", name15 = euro + euro + euro + euro + euro;
    std::string name45, name46;
    for (int i = 0; i < 15; ++i) name45 += euro;
    name46 = name45 + "x";
    auto job = MakeJob();
    EXPECT_FALSE(job->SetSymbol("ABCDEFGHIJKLMNO"));
    EXPECT_FALSE(job->SetName(name46));
    ASSERT_TRUE(job->SetSymbol("ABCDEFGHIJKLMN"));
    ASSERT_TRUE(job->SetName(name45));
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n", *job), 0);
    std::string master = Out("MASTER");
    EXPECT_EQ(master.substr(53 + kRecSymbol, 17), std::string("ABCDEFGHIJKLMN  \0", 17));
    // MASTER keeps whole characters of the first 16 bytes; EMASTER the whole name.
    EXPECT_EQ(master.substr(53 + kRecName, 16), name15 + " ");
    EXPECT_EQ(Out("EMASTER").substr(192 + 139, 45), name45);
    EXPECT_EQ(Out("EMASTER").substr(192 + 32, 16), name15 + std::string(1, '\0'));

    // A portfolio without EMASTER holds 16 bytes of a name, no more.
    std::filesystem::remove(m_out + "/EMASTER");
    auto before = test::Snapshot(m_out);
    m_prompt.shown.clear();
    auto longer = MakeJob();
    longer->m_bUseExistingMaster = 1;
    longer->SetSymbol("LONG");
    longer->SetName("SEVENTEEN BYTES!!");
    EXPECT_EQ(Convert("010500,1,2,3,4,5,6\n", *longer), 1);
    EXPECT_EQ(Messages(),
              V{"The name SEVENTEEN BYTES!! is longer than 16 bytes, the most that " +
                test::Join(m_out, "MASTER") + " holds (a portfolio with an EMASTER file holds 45)."});
    EXPECT_EQ(test::Snapshot(m_out), before);
}

// The check every test relies on must itself catch what it promises to.
TEST_F(ConversionTest, TheConsistencyCheckFindsEveryDefect) {
    auto job = MakeJob();
    ASSERT_EQ(Convert("010500,1,2,3,4,5,6\n010600,1,2,3,4,5,6\n", *job), 0);
    // A security in XMASTER beside it, with the same prices.
    test::WriteFile(m_out + "/F256.MWD", Out("F1.DAT"));
    test::WriteFile(m_out + "/XMASTER",
                    test::XMasterFile({test::XMasterRecord(256, "X", "X", 127, 20000105, 20000106)}, 257));
    const std::map<std::string, std::string> good = test::Snapshot(m_out);
    struct Case {
        const char* problem;
        std::function<void(std::map<std::string, std::string>&)> damage;
    };
    const Case cases[] = {
        {"F1.DAT holds no prices", [](auto& f) { f["F1.DAT"] = DataFile(7, 0, ""); }},
        {"F1.DAT: dates out of order",
         [](auto& f) { std::swap_ranges(&f["F1.DAT"][28], &f["F1.DAT"][32], &f["F1.DAT"][56]); }},
        {"F1.DAT: MASTER dates disagree",
         [](auto& f) { f["MASTER"].replace(53 + kRecLastDate, 4, Stored(1000107.0f)); }},
        {"F1.DAT: exponent byte 1 or 2", [](auto& f) { f["F1.DAT"][28 + 7] = 2; }},
        {"no record accounts for F9.DAT", [](auto& f) { f["F9.DAT"] = "x"; }},
        {"left over: F1.DAT.~NU", [](auto& f) { f["F1.DAT.~NU"] = "x"; }},
        {"missing F1.DOP", [](auto& f) { f.erase("F1.DOP"); }},
        {"F1.DAT: recordCount 3 for 2 records", [](auto& f) { f["F1.DAT"].resize(56); }},
        {"F1.DAT: EMASTER dates disagree",
         [](auto& f) { f["EMASTER"].replace(192 + 72, 4, test::IeeeFloat(1000107)); }},
        {"EMASTER does not hold MASTER's 1 securities", [](auto& f) { f["EMASTER"].resize(192); }},
        {"EMASTER record 1 is not file number 1", [](auto& f) { f["EMASTER"][192 + 2] = 9; }},
        {"F1.DAT: EMASTER fields disagree", [](auto& f) { f["EMASTER"][192 + 7] = 1; }},
        {"F256.MWD: XMASTER dates disagree",
         [](auto& f) { f["XMASTER"].replace(150 + 116, 4, test::Le(20000107, 4)); }},
        {"XMASTER header or size wrong", [](auto& f) { f["XMASTER"][10] = 5; }},
        {"XMASTER next number too low", [](auto& f) { f["XMASTER"][18] = 0; }},
        {"missing F256.MWD", [](auto& f) { f.erase("F256.MWD"); }},
        {"no record accounts for F300.MWD", [](auto& f) { f["F300.MWD"] = "x"; }},
        {"left over: XMASTER.~NU", [](auto& f) { f["XMASTER.~NU"] = "x"; }},
    };
    EXPECT_EQ(test::CheckPortfolio(m_out), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        std::map<std::string, std::string> files = good;
        c.damage(files);
        std::filesystem::remove_all(m_out);
        std::filesystem::create_directory(m_out);
        for (const auto& [name, bytes] : files) test::WriteFile(m_out + "/" + name, bytes);
        EXPECT_NE(test::CheckPortfolio(m_out).find(c.problem), std::string::npos)
            << test::CheckPortfolio(m_out);
    }
}

}  // namespace
}  // namespace tarvel
