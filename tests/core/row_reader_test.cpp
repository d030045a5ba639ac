#include "convert/row_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "convert/row_store.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

using V = std::vector<std::string>;

// Each line as read, with "!" after one that was too long.
V Lines(const std::string& contents) {
    test::CTempDir dir;
    test::WriteFile(dir / "in.txt", contents);
    auto platform = MakeSystemPlatform();
    std::unique_ptr<CFile> file;
    platform->Open(dir / "in.txt", OpenMode::kRead, &file);
    CLineReader reader(*file);
    V lines;
    std::string_view line;
    bool tooLong = false;
    while (reader.Next(&line, &tooLong)) lines.push_back(std::string(line) + (tooLong ? "!" : ""));
    EXPECT_FALSE(reader.Failed());
    return lines;
}

TEST(LineReader, EndsLinesAtAnyLineEndAndDropsTheRestOfOverLongOnes) {
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("a\nb\r\n\nlast"), (V{"a", "b", "", "last"}));
    EXPECT_EQ(Lines("a\rb\r\rc\r\nd\r"), (V{"a", "b", "", "c", "d"}));
    const std::string limit(kMaxLineLength, 'x');
    EXPECT_EQ(Lines(limit + "\nz"), (V{limit, "z"}));
    // The rest of a longer line is discarded, never read as further lines.
    EXPECT_EQ(Lines(limit + std::string(300000, 'y') + "\r\nz\n"), (V{limit + "!", "z"}));
    EXPECT_EQ(Lines(limit + "y\r"), (V{limit + "!"}));
    // A CR LF pair split by the reader's chunk boundary is one line end.
    std::string split(65535, 'z');
    EXPECT_EQ(Lines(split + "\r\nq"), (V{split, "q"}));
}

// Every row of tests/data/field_splits.tsv: a line, a delimiter and the fields.
TEST(FieldSplitter, KeepsEveryFieldInItsPlace) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/field_splits.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[0]);
        CFieldSplitter fields;
        int n = fields.Split(row[0], row[1][0], 20);
        V got;
        for (int i = 0; i < n; ++i) got.emplace_back(fields[i]);
        EXPECT_EQ(got, V(row.begin() + 2, row.end()));
    }
    EXPECT_EQ(table.size(), 9u);
    CFieldSplitter fields;
    EXPECT_EQ(fields.Split(std::string(1000, ','), ',', 20), 0);
    EXPECT_EQ(fields.Split("1,2,3,4", ',', 2), 2);
}

// Every row of tests/data/numbers.tsv: a text, a reader and what it reads.
TEST(ReadNumber, ReadsWholeDecimalNumbersOrNumbersAsPeopleWriteThem) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/numbers.tsv");
    for (const std::vector<std::string>& row : table) {
        const std::string &text = row[0], &reader = row[1], &expected = row[2];
        SCOPED_TRACE(testing::Message() << "'" << text << "' by " << reader);
        float value = -7.0f;
        const bool read = reader == "plain" ? ReadNumber(text, &value)
                                            : ReadPriceNumber(text, reader == "written,", &value);
        EXPECT_EQ(read, expected != "refused");
        if (read) {
            EXPECT_EQ(value, std::strtof(expected.c_str(), nullptr));
        } else if (reader != "plain") {
            EXPECT_EQ(value, -7.0f);
        }
    }
    EXPECT_EQ(table.size(), 58u);
    float value = 0.0f;
    EXPECT_FALSE(ReadNumber("123\r", &value));
    ASSERT_TRUE(ReadNumber("-1e39", &value));
    EXPECT_TRUE(std::isinf(value) && value < 0);
    ASSERT_TRUE(ReadNumber("1e-999", &value));
    EXPECT_EQ(value, 0.0f);
}

}  // namespace
}  // namespace tarvel

namespace tarvel {
namespace {

// Rows past the budget go to a scratch file in runs; each ticker comes back
// whole and in file order, whichever runs its rows fell into.
TEST(RowStore, GivesEachTickerItsRowsInFileOrderAcrossRuns) {
    test::CFaultyPlatform platform;
    CRowStore store(platform, 3);
    const int tickers[] = {1, 0, 1, 2, 0, 0, 1, 2, 1, 0};
    for (int line = 1; line <= 10; ++line) {
        PriceRow row{};
        row.line = line;
        row.ticker = tickers[line - 1];
        ASSERT_TRUE(store.Add(row).ok());
    }
    std::vector<PriceRow> rows;
    std::string taken;
    for (int ticker = 0; ticker < 3; ++ticker) {
        ASSERT_TRUE(store.Take(ticker, &rows).ok());
        for (const PriceRow& row : rows) taken += std::to_string(row.line) + " ";
        taken += "| ";
    }
    EXPECT_EQ(taken, "2 5 6 10 | 1 3 7 9 | 4 8 | ");

    // A scratch file that cannot be opened fails the Add that needs it.
    test::CFaultyPlatform failing;
    failing.FailAt(1, ENOSPC);
    CRowStore full(failing, 1);
    EXPECT_TRUE(full.Add(PriceRow{}).ok());
    EXPECT_EQ(full.Add(PriceRow{}).Number(), ENOSPC);
}

}  // namespace
}  // namespace tarvel
