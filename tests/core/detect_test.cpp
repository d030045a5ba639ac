#include "convert/detect.h"

#include <gtest/gtest.h>

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

TEST(DetectLayout, FindsTheDelimiterAndTheHeaderLines) {
    struct Case {
        const char* text;
        char delimiter;
        int skipRows;
    };
    const Case cases[] = {
        {"2024-01-02,1.5,2,1,1.75,100\n2024-01-03,1.5,2,1,1.75,100\n", ',', 0},
        {"Date;Close\n2024-01-02;1,5\n2024-01-03;1,75\n", ';', 1},
        {"Date\tClose\tVolume\n20240102\t1.5\t7\n", '\t', 1},
        {"Date|Close\n2024-01-02|1.5\n", '|', 1},
        {"  2024-01-02   1.50  100\n  2024-01-03   1.75  100\n", ' ', 0},
        {"Prices of ACME\n\nDate,Close\n2024-01-02,1.5\n", ',', 3},
        {"2024-01-02 16:00:00,1.5,2,1,1.75\n", ',', 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        EXPECT_EQ(layout.m_cDelimiter, c.delimiter);
        EXPECT_EQ(layout.m_nSkipRows, c.skipRows);
    }
}

TEST(DetectLayout, TellsADecimalCommaFromThousands) {
    struct Case {
        const char* text;
        bool decimalComma;
    };
    const Case cases[] = {
        {"02.01.2024;1,2345;7\n", true},      {"02.01.2024\t4.763,54\t1.000.000\n", true},
        {"02.01.2024;101,250\n", true},       {"01/02/2024,\"4,763.54\",\"1,200\"\n", false},
        {"01/02/2024,\"181,18\"\n", true},    {"2024-01-02;4763.54\n", false},
        {"2024-01-02,4763.5,2.41B\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        EXPECT_EQ(layout.m_bDecimalComma, c.decimalComma);
    }
}

TEST(DetectLayout, TakesColumnsFromHeaderNamesOrTheUsualOrder) {
    struct Case {
        const char* text;
        // Date, Open, High, Low, Close, Volume, Open Int, then time, ticker, period.
        std::vector<int> columns;
    };
    const Case cases[] = {
        {"Date,Open,High,Low,Close,Adj Close,Volume\n2024-01-02,1,2,1,2,2,9\n",
         {0, 1, 2, 3, 4, 6, N, N, N, N}},
        {"<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\nX,D,20240102,000000,1,2,"
         "1,2,9,0\n",
         {2, 4, 5, 6, 7, 8, 9, 3, 0, 1}},
        {"Date,Close/Last,Volume,Open,High,Low\n01/16/2024,$1.5,9,$1,$2,$1\n",
         {0, 3, 4, 5, 1, 2, N, N, N, N}},
        {"\"Date\",\"Price\",\"Open\",\"Vol.\",\"Change %\"\n\"01/16/2024\",\"1\",\"2\",\"3M\",\"1%\"\n",
         {0, 2, N, N, 1, 3, N, N, N, N}},
        {"date,last,close\n2024-01-02,1,2\n", {0, N, N, N, 2, N, N, N, N, N}},
        {"DATUM;ERÖFFNUNG;HOCH;TIEF;SCHLUSSKURS;UMSATZ\n02.01.2024;1;2;1;2;9\n",
         {0, 1, 2, 3, 4, 5, N, N, N, N}},
        {"Datum;Er\xF6"
         "ffnung;Schluss\n02.01.2024;1;2\n",
         {0, 1, N, N, 2, N, N, N, N, N}},
        {"Symbol,Date,Time,Open Interest,Close\nX,2024-01-02,16:00,5,1\n", {1, N, N, N, 4, N, 3, 2, 0, N}},
        {"2024.01.02,00:00,1,2,1,2,9\n", {0, 2, 3, 4, 5, 6, N, 1, N, N}},
        {"Day,A,B,C,D,E,F\n2024-01-02,1,2,1,2,9,4\n", {0, 1, 2, 3, 4, 5, 6, N, N, N}},
        {"2024-01-02,1,2\n", {0, N, N, N, 1, 2, N, N, N, N}},
        // A first row that is no real day stands between the header and the rows.
        {"Date,Open,Close,Volume\n2024-02-30,1,2,3\n2024-03-01,1,2,n/a\n2024-03-04,1,2,5\n",
         {0, 1, N, N, 2, 3, N, N, N, N}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        std::vector<int> found(layout.m_nFieldColumn, layout.m_nFieldColumn + kFieldCount);
        found.insert(found.end(), {layout.m_nTimeColumn, layout.m_nTickerColumn, layout.m_nPeriodColumn});
        EXPECT_EQ(found, c.columns);
    }
}

TEST(DetectLayout, DecidesTheDateOrderOnlyFromTheRows) {
    struct Case {
        const char* text;
        int format;  // 0: undecided between month-day and day-month
    };
    const Case cases[] = {
        {"2024-01-02,1\n", 2},
        {"2024.01.02,1\n", 2},
        {"20240102,1\n", 8},
        {"1/2/2024 16:00,1\n1/16/2024 16:00,1\n", 4},
        {"02/01/2024,1\n16/01/2024,1\n", 6},
        {"02/01/2024,1\n03/01/2024,1\n", 0},
        {"02.01.24;1\n15.01.24;1\n", 5},
        {"010524,1\n010624,1\n", 0},
        {"01022024,1\n01162024,1\n", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        ASSERT_TRUE(layout.m_bFound) << layout.m_strReason;
        EXPECT_EQ(layout.m_nDateFormat, c.format);
        EXPECT_EQ(layout.m_bDayMonthUndecided, c.format == 0);
    }
    CDetectedLayout undecided = DetectLayout("02/01/2024,1\n");
    EXPECT_EQ(undecided.m_nMonthDayFormat, 4);
    EXPECT_EQ(undecided.m_nDayMonthFormat, 6);
}

TEST(DetectLayout, TellsIntradayData) {
    struct Case {
        std::string text;
        bool found;
        bool intraday;
    };
    const Case cases[] = {
        {"2024-01-02 09:30,1\n2024-01-02 09:31,2\n", true, true},
        {"2024-01-02,09:30,1\n2024-01-02,10:30,2\n", true, true},
        {"<PER>,<DATE>,<CLOSE>\n60,20240102,1\n", true, true},
        {"2024-01-02 16:00,1\n2024-01-03 16:00,2\n", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CDetectedLayout layout = DetectLayout(c.text);
        EXPECT_EQ(layout.m_bFound, c.found);
        EXPECT_EQ(layout.m_bIntraday, c.intraday);
        EXPECT_EQ(layout.m_strReason.empty(), c.found);
        EXPECT_EQ(layout.m_failure == DetectFailure::kNone, c.found);
    }
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
    auto platform = MakePosixPlatform();
    CDetectedLayout missing = DetectFileLayout(*platform, dir / "missing.txt");
    EXPECT_EQ(missing.m_failure, DetectFailure::kUnreadable);
    EXPECT_EQ(missing.m_strReason, "cannot read " + dir / "missing.txt" + ": No such file or directory");
}

}  // namespace
}  // namespace tarvel
