#include "convert/detect.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

constexpr int N = kNoColumn;

TEST(CUtf16Decoder, DecodesPiecesOfAnySize) {
    // "A", the euro sign, U+1F600 as a surrogate pair, a lone low surrogate,
    // and a cut-off high surrogate at the end; little-endian with a byte
    // order mark.
    const std::string bytes(
        "\xFF\xFE"
        "A\0"
        "\xAC\x20"
        "\x3D\xD8\x00\xDE"
        "\x00\xDC"
        "\x3D\xD8",
        14);
    for (std::size_t piece : {1u, 2u, 3u, 14u}) {
        SCOPED_TRACE(piece);
        CUtf16Decoder decoder(false);
        std::string text;
        for (std::size_t at = 0; at < bytes.size(); at += piece) decoder.Feed(bytes.substr(at, piece), &text);
        decoder.Finish(&text);
        EXPECT_EQ(text, "A\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
    }
}

TEST(SniffEncoding, TellsByteOrderMarksAndLatin1) {
    EXPECT_EQ(SniffEncoding("\xEF\xBB\xBF"
                            "Date"),
              TextEncoding::kUtf8Bom);
    EXPECT_EQ(SniffEncoding("\xFF\xFE"
                            "D"),
              TextEncoding::kUtf16Le);
    EXPECT_EQ(SniffEncoding("\xFE\xFF"), TextEncoding::kUtf16Be);
    EXPECT_EQ(SniffEncoding("Er\xC3\xB6"
                            "ffnung;Hoch\xC3"),
              TextEncoding::kUtf8);  // cut inside a letter
    EXPECT_EQ(SniffEncoding("Er\xF6"
                            "ffnung;Hoch"),
              TextEncoding::kLatin1);
}

// Every row of tests/data/layouts.tsv: a text and the facts detection finds
// in it (the delimiter and header lines, the decimal mark, the columns from
// header names or the usual order, the date order as the rows decide it, and
// intraday data).
TEST(DetectLayout, FindsWhatEachRowOfTheTableSays) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/layouts.tsv");
    for (const std::vector<std::string>& row : table) {
        const std::string& text = row[0];
        SCOPED_TRACE(text);
        CDetectedLayout layout = DetectLayout(text);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        EXPECT_EQ(layout.m_strReason, "");
        EXPECT_EQ(layout.m_failure, DetectFailure::kNone);
        std::istringstream facts(row[1]);
        for (std::string fact; facts >> fact;) {
            const std::string key = fact.substr(0, fact.find('=')), value = fact.substr(fact.find('=') + 1);
            if (key == "delimiter") {
                EXPECT_EQ(layout.m_cDelimiter, value == "tab" ? '\t' : value == "space" ? ' ' : value[0]);
            } else if (key == "skip") {
                EXPECT_EQ(layout.m_nSkipRows, std::stoi(value));
            } else if (key == "decimal-comma") {
                EXPECT_EQ(layout.m_bDecimalComma, value == "1");
            } else if (key == "columns") {
                std::vector<int> columns(layout.m_nFieldColumn, layout.m_nFieldColumn + kFieldCount);
                columns.insert(columns.end(),
                               {layout.m_nTimeColumn, layout.m_nTickerColumn, layout.m_nPeriodColumn});
                std::string found;
                for (int c : columns)
                    found.append(found.empty() ? "" : ",").append(c == N ? "-" : std::to_string(c));
                EXPECT_EQ(found, value);
            } else if (key == "date-format") {
                EXPECT_EQ(layout.m_nDateFormat, std::stoi(value));
                EXPECT_EQ(layout.m_bDayMonthUndecided, value == "0");
            } else if (key == "intraday") {
                EXPECT_EQ(layout.m_bIntraday, value == "1");
            } else {
                ADD_FAILURE() << "unknown fact " << fact;
            }
        }
    }
    EXPECT_EQ(table.size(), 39u);
    CDetectedLayout undecided = DetectLayout("02/01/2024,1\n");
    EXPECT_EQ(undecided.m_nMonthDayFormat, 4);
    EXPECT_EQ(undecided.m_nDayMonthFormat, 6);
}

TEST(DetectLayout, GivesACodeBesideEachReason) {
    struct Case {
        std::string text;
        DetectFailure failure;
        const char* reason;
    };
    const Case cases[] = {
        {"", DetectFailure::kEmpty, "the file is empty"},
        {std::string("2024-01-02,1\n\0\0\n", 16), DetectFailure::kNotText, "the file is not text"},
        {"Date,Close\nyesterday,1\n", DetectFailure::kNoDates, "no column reads as dates"},
        {"2024-01-02,a\n", DetectFailure::kNoPrices, "no column of prices was found beside the dates"},
        {"2024-01-02,1\n2024-01-03,2\n", DetectFailure::kNone, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        EXPECT_EQ(layout.m_failure, c.failure);
        EXPECT_EQ(layout.m_strReason, c.reason);
        EXPECT_EQ(layout.m_bFound, c.failure == DetectFailure::kNone);
        EXPECT_FALSE(layout.m_bIntraday);
    }
    test::CTempDir dir;
    auto platform = MakeSystemPlatform();
    CDetectedLayout missing = DetectFileLayout(*platform, dir / "missing.txt");
    EXPECT_EQ(missing.m_failure, DetectFailure::kUnreadable);
    EXPECT_EQ(missing.m_strReason, "cannot read " + dir / "missing.txt" + ": " + test::MissingFileText());
}

}  // namespace
}  // namespace tarvel
