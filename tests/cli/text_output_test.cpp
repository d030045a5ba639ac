#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "cli/text_output.h"
#include "platform/utf8.h"
#include "pricedb/stored_number.h"

namespace tarvel {
namespace {

using namespace std::string_view_literals;

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    struct Case {
        std::string_view text;
        std::string json;
    };
    const Case cases[] = {
        {"", R"("")"},
        {"Acme Corp", R"("Acme Corp")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\prices", R"("C:\\prices")"},
        {"\"\\", R"("\"\\")"},
        {"a\x01" "b\x1f", R"("a\u0001b\u001f")"},
        {"tab\tline\nend\r", R"("tab\u0009line\u000aend\u000d")"},
        {"a\0b"sv, R"("a\u0000b")"},
        {"/ and \x7f stay", "\"/ and \x7f stay\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "'");
        EXPECT_EQ(JsonString(c.text), c.json);
    }
}

TEST(JsonString, KeepsUtf8AndWritesOtherBytesAsTheCharactersOfTheirNumbers) {
    struct Case {
        std::string_view text;
        std::string json;
    };
    const Case cases[] = {
        {"M\xc3\xbcller", "\"M\xc3\xbcller\""},                                   // U+00FC
        {"\xe2\x82\xac 5", "\"\xe2\x82\xac 5\""},                                 // U+20AC
        {"\xf0\x9d\x84\x9e", "\"\xf0\x9d\x84\x9e\""},                             // U+1D11E
        {"M\xfcller", R"("M\u00fcller")"},                                        // Latin-1
        {"\x80", R"("\u0080")"},                                                  // a stray continuation byte
        {"\xc3", R"("\u00c3")"},                                                  // cut short at the end
        {"\xe2\x82x", R"("\u00e2\u0082x")"},                                      // cut short before a letter
        {"\xc0\xaf", R"("\u00c0\u00af")"},                                        // overlong
        {"\xe0\x80\xaf", R"("\u00e0\u0080\u00af")"},                              // overlong
        {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},                              // a surrogate
        {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},                    // past U+10FFFF
        {"\xff\"", R"("\u00ff\"")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.json);
        EXPECT_EQ(JsonString(c.text), c.json);
    }
}

TEST(Utf8CharLength, CountsTheBytesOfAValidFirstCharacterOnly) {
    struct Case {
        std::string_view text;
        std::size_t length;
    };
    const Case cases[] = {
        {"A", 1},           {"ab", 1},          {"\0"sv, 1},           {"\xc3\xbc", 2},     {"\xc3\xbcx", 2},
        {"\xe2\x82\xac", 3}, {"\xf0\x9d\x84\x9e", 4}, {"\xf4\x8f\xbf\xbf", 4}, {"\x80", 0},   {"\xc1\x81", 0},
        {"\xc3", 0},        {"\xc3(", 0},       {"\xe0\x9f\xbf", 0},   {"\xed\xa0\x80", 0}, {"\xf0\x8f\xbf\xbf", 0},
        {"\xf4\x90\x80\x80", 0}, {"\xf5\x80\x80\x80", 0}, {"\xff", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << JsonString(c.text));
        EXPECT_EQ(Utf8CharLength(c.text), c.length);
    }
}

TEST(Grouped, PutsACommaBetweenEveryThreeDigits) {
    struct Case {
        long value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},           {7, "7"},          {999, "999"},           {1000, "1,000"},   {65534, "65,534"},
        {999999, "999,999"}, {1234567, "1,234,567"}, {-1, "-1"},       {-100, "-100"},    {-1000, "-1,000"},
        {-123456, "-123,456"}, {-1234567, "-1,234,567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Grouped(c.value), c.text);
    }
}

TEST(RowsText, SaysRowForOneOnly) {
    EXPECT_EQ(RowsText(0), "0 rows");
    EXPECT_EQ(RowsText(1), "1 row");
    EXPECT_EQ(RowsText(2), "2 rows");
    EXPECT_EQ(RowsText(12345), "12,345 rows");
}

TEST(DateText, WritesAStoredDateAsYearMonthDay) {
    struct Case {
        StoredNumber stored;
        const char* text;
    };
    const Case cases[] = {
        {MakeStoredDate({2024, 1, 2}), "2024-01-02"},
        {MakeStoredDate({1900, 1, 1}), "1900-01-01"},
        {MakeStoredDate({1999, 12, 31}), "1999-12-31"},
        {MakeStoredDate({2140, 6, 4}), "2140-06-04"},
        {{0, 0, 0, 0}, "1900-00-00"},  // zero is a whole number: its digits, not a day
        {EncodeStoredNumber(8991231.0f), "2799-12-31"},
        // What is no whole number from 0 to 99991231 is written as a number.
        {EncodeStoredNumber(1240102.5f), "1.2401e+06"},
        {EncodeStoredNumber(-1.0f), "-1"},
        {EncodeStoredNumber(12.5f), "12.5"},
        {EncodeStoredNumber(1e9f), "1e+09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DateText(c.stored), c.text);
    }
}

TEST(DayText, WritesADayNumberAsYearMonthDay) {
    struct Case {
        int day;
        const char* text;
    };
    const Case cases[] = {
        {20240102, "2024-01-02"}, {19000101, "1900-01-01"}, {99991231, "9999-12-31"}, {19991231, "1999-12-31"},
        {18991231, "18991231"},   {0, "0"},                 {-5, "-5"},               {100000000, "100000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day);
        EXPECT_EQ(DayText(c.day), c.text);
    }
}

TEST(ShortestNumber, WritesTheShortestTextThatReadsBack) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {0.0f, "0"},          {12.5f, "12.5"},  {48.12f, "48.12"},        {0.1f, "0.1"},     {-3.25f, "-3.25"},
        {11700.0f, "11700"}, {16777216.0f, "16777216"}, {1e10f, "1e+10"}, {1.5e-7f, "1.5e-07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ShortestNumber(c.value), c.text);
    }
}

}  // namespace
}  // namespace tarvel
