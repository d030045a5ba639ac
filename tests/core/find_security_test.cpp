#include "pricedb/find_security.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/fake_platform.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using test::CTempDir;
using test::DirectoryRecord;
using test::MasterFile;
using test::SecurityRecord;

struct Found {
    std::int16_t result;
    int fileNumber = -1;
    std::string dir;
};

Found Find(const std::string& dir, const std::string& symbol) {
    auto platform = MakeSystemPlatform();
    MasterRecordBytes record{};
    std::string recordDir = "untouched";
    Found found{FindSecurity(*platform, dir, symbol, &record, &recordDir), -1, ""};
    if (found.result == kFindFound) {
        found.fileNumber = record[kRecFileNumber];
        found.dir = recordDir;
    } else {
        EXPECT_EQ(recordDir, "untouched");
    }
    return found;
}

TEST(FindSecurity, MatchesNameOrSymbolWordsWithoutRegardToCase) {
    CTempDir dir;
    test::WriteFile(
        dir / "MASTER",
        MasterFile({SecurityRecord(1, "IBM", "INTL BUSINESS"), SecurityRecord(2, "BRK A", "BERKSHIRE"),
                    SecurityRecord(3, "XOM X", "EXXON"), SecurityRecord(4, "ABCDEFGHIJKLMNOP", "LONG")}));
    // Every row of tests/data/find_symbols.tsv.
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/find_symbols.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[0]);
        Found found = Find(dir.path(), row[0]);
        EXPECT_EQ(found.result, row[1] == "not found" ? kFindNotFound : kFindFound);
        EXPECT_EQ(found.fileNumber, row[1] == "not found" ? -1 : std::stoi(row[1]));
    }
    EXPECT_EQ(table.size(), 13u);
}

TEST(FindSecurity, HandsOutTheRecordWithDecodedDatesAndItsDirectory) {
    CTempDir dir;
    std::string record = SecurityRecord(9, "IBM", "INTL");
    record.replace(kRecFirstDate, 4, "\x50\x2A\x74\x94");           // 1000101
    record.replace(kRecLastDate, 4, std::string("\0\0\0\x81", 4));  // 1.0
    test::WriteFile(dir / "MASTER", MasterFile({record}));
    auto platform = MakeSystemPlatform();
    MasterRecordBytes out{};
    std::string outDir;
    ASSERT_EQ(FindSecurity(*platform, dir.path(), "IBM", &out, &outDir), kFindFound);
    EXPECT_EQ(outDir, WithSeparator(dir.path()));
    std::string bytes(out.begin(), out.end());
    EXPECT_EQ(test::Hex(bytes.substr(kRecFirstDate, 8)), "50 2A 74 49 00 00 80 3F");  // 1000101.0f, 1.0f
    EXPECT_EQ(bytes.substr(0, kRecFirstDate), record.substr(0, kRecFirstDate));
    EXPECT_EQ(bytes.substr(kRecTimeFrame), record.substr(kRecTimeFrame));
    // A trailing separator on the directory is not doubled.
    ASSERT_EQ(FindSecurity(*platform, WithSeparator(dir.path()), "IBM", &out, &outDir), kFindFound);
    EXPECT_EQ(outDir, WithSeparator(dir.path()));
}

TEST(FindSecurity, SearchesRecordsFirstThenSubDirectoriesDepthFirst) {
    CTempDir dir;
    std::filesystem::create_directories(dir / "A/DEEP");
    std::filesystem::create_directories(dir / "B");
    test::WriteFile(dir / "MASTER",
                    MasterFile({DirectoryRecord(1, "A"), SecurityRecord(2, "TOP"), DirectoryRecord(3, "B")}));
    test::WriteFile(dir / "A/MASTER", MasterFile({DirectoryRecord(1, "DEEP"), SecurityRecord(2, "INA")}));
    test::WriteFile(dir / "A/DEEP/MASTER",
                    MasterFile({SecurityRecord(5, "SHARED"), SecurityRecord(6, "DEEPONLY")}));
    test::WriteFile(dir / "B/MASTER", MasterFile({SecurityRecord(7, "SHARED"), SecurityRecord(8, "TOP")}));
    struct Case {
        const char* symbol;
        int fileNumber;
        std::string dir;
    };
    const Case cases[] = {
        {"TOP", 2, WithSeparator(dir.path())},
        {"INA", 2, WithSeparator(dir / "A")},
        {"SHARED", 5, WithSeparator(dir / "A/DEEP")},
        {"DEEPONLY", 6, WithSeparator(dir / "A/DEEP")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        Found found = Find(dir.path(), c.symbol);
        EXPECT_EQ(found.result, kFindFound);
        EXPECT_EQ(found.fileNumber, c.fileNumber);
        EXPECT_EQ(found.dir, c.dir);
    }
    EXPECT_EQ(Find(dir.path(), "NOWHERE").result, kFindNotFound);
}

TEST(FindSecurity, MissingOrDamagedMastersAreNotSearchedAndSayWhy) {
    CTempDir dir;
    auto platform = MakeSystemPlatform();
    auto problem = [&](const std::string& symbol) {
        MasterRecordBytes record{};
        std::string recordDir, why;
        EXPECT_EQ(FindSecurity(*platform, dir.path(), symbol, &record, &recordDir, &why), kFindNotFound);
        return why;
    };
    EXPECT_EQ(problem("IBM"), "");  // no MASTER
    // A sub-directory without MASTER is skipped.
    std::filesystem::create_directories(dir / "SUB");
    test::WriteFile(dir / "MASTER", MasterFile({SecurityRecord(1, "AAA"), DirectoryRecord(2, "SUB")}));
    EXPECT_EQ(problem("IBM"), "");
    // A damaged MASTER below, or at the top, is not searched at all.
    test::WriteFile(dir / "SUB/MASTER", MasterFile({SecurityRecord(2, "IBM")}, 3));
    EXPECT_EQ(problem("IBM"),
              "The Master file " + dir / "SUB/MASTER" + " is damaged: it counts 3 securities but holds 1.");
    test::WriteFile(dir / "MASTER", MasterFile({SecurityRecord(1, "AAA"), SecurityRecord(2, "IBM")}, 1));
    EXPECT_EQ(problem("AAA"),
              "The Master file " + dir / "MASTER" + " is damaged: it counts 1 securities but holds 2.");
#ifndef _WIN32  // no FIFOs there
    std::filesystem::remove(dir / "MASTER");
    ::mkfifo((dir / "MASTER").c_str(), 0644);
    EXPECT_EQ(problem("AAA"), dir / "MASTER" + " is not a regular file.");
#endif
}

TEST(FindSecurity, MatchesFileNamesInAnyCase) {
    CTempDir dir;
    std::filesystem::create_directories(dir / "data");
    test::WriteFile(dir / "master", MasterFile({DirectoryRecord(1, "DATA")}));
    test::WriteFile(dir / "data/Master", MasterFile({SecurityRecord(4, "IBM")}));
    Found found = Find(dir.path(), "IBM");
    EXPECT_EQ(found.fileNumber, 4);
    EXPECT_EQ(found.dir, WithSeparator(dir / "data"));
}

TEST(FindSecurity, NeverLeavesTheTreeOrLoops) {
    CTempDir dir;
    std::filesystem::create_directories(dir / "tree/SUB");
    test::WriteFile(dir / "MASTER", MasterFile({SecurityRecord(1, "OUTSIDE")}));
    test::WriteFile(dir / "tree/SUB/MASTER", MasterFile({SecurityRecord(1, "OUTSIDE")}));
    // Entries that name the directory itself, its parent, or a path.
    test::WriteFile(dir / "tree/MASTER",
                    MasterFile({DirectoryRecord(1, ".."), DirectoryRecord(2, "."),
                                DirectoryRecord(3, "../tree"), DirectoryRecord(4, "SUB/..")}));
    EXPECT_EQ(Find(dir / "tree", "OUTSIDE").result, kFindNotFound);
    // A link back to the top is not entered a second time.
    if (!test::MakeLink(dir / "tree", dir / "tree/LOOP")) GTEST_SKIP() << "no symbolic links here";
    test::WriteFile(dir / "tree/MASTER",
                    MasterFile({DirectoryRecord(1, "LOOP"), DirectoryRecord(2, "LOOP")}));
    EXPECT_EQ(Find(dir / "tree", "ANY").result, kFindNotFound);
}

TEST(FindSecurity, StopsAtThirtyThreeLevels) {
    CTempDir dir;
    std::string path = dir.path();
    for (int depth = 0; depth <= 34; ++depth) {
        test::WriteFile(path + "/MASTER", MasterFile({SecurityRecord(1, "AT" + std::to_string(depth)),
                                                      DirectoryRecord(2, "D")}));
        path += "/D";
        std::filesystem::create_directory(path);
    }
    EXPECT_EQ(Find(dir.path(), "AT33").result, kFindFound);
    EXPECT_EQ(Find(dir.path(), "AT34").result, kFindNotFound);
}

// Truncates the top MASTER when the walk opens the sub-directory's, so that the
// top level ends while its remaining "<DIR>" entries are sought.
class CShrinkingPlatform : public test::CFaultyPlatform {
public:
    explicit CShrinkingPlatform(std::string top) : m_top(std::move(top)) {}
    CStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<CFile>* file) override {
        if (path.ends_with(test::Join("SUB", "MASTER")))
            std::filesystem::resize_file(m_top, 2 * kMasterRecordSize);
        return CFaultyPlatform::Open(path, mode, file);
    }

private:
    std::string m_top;
};

TEST(FindSecurity, AMasterEndingWhileDirectoriesAreSoughtGivesMinusFour) {
    CTempDir dir;
    std::filesystem::create_directories(dir / "SUB");
    test::WriteFile(dir / "MASTER", MasterFile({DirectoryRecord(1, "SUB"), SecurityRecord(2, "AAA"),
                                                DirectoryRecord(3, "SUB")}));
    test::WriteFile(dir / "SUB/MASTER", MasterFile({SecurityRecord(1, "BBB")}));
    CShrinkingPlatform platform(dir / "MASTER");
    MasterRecordBytes record{};
    std::string recordDir;
    EXPECT_EQ(FindSecurity(platform, dir.path(), "ZZZ", &record, &recordDir), kFindEndedEarly);
}

}  // namespace
}  // namespace tarvel
