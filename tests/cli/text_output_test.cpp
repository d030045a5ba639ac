#include "cli/text_output.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pricedb/stored_number.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

// Every row of tests/data/json_strings.tsv: a text and its JSON string.
TEST(JsonString, EscapesControlCharactersKeepsUtf8AndWritesOtherBytesAsNumbers) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/json_strings.tsv");
    for (const std::vector<std::string>& row : table) EXPECT_EQ(JsonString(row[0]), row[1]) << row[1];
    EXPECT_EQ(table.size(), 20u);
}

TEST(Grouped, PutsACommaBetweenEveryThreeDigitsAndRowsTextSaysRowForOneOnly) {
    const std::pair<long, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {999999, "999,999"},
        {1234567, "1,234,567"},
        {-100, "-100"},
        {-1000, "-1,000"},
        {-1234567, "-1,234,567"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(Grouped(value), text) << value;
    EXPECT_EQ((std::vector{RowsText(0), RowsText(1), RowsText(2), RowsText(12345)}),
              (std::vector<std::string>{"0 rows", "1 row", "2 rows", "12,345 rows"}));
}

// What is no whole number from 0 to 99991231 is written as a number; zero is
// a whole number, so its digits; a day number outside the calendar likewise.
TEST(DateText, WritesAStoredDateOrADayNumberAsYearMonthDay) {
    const std::pair<StoredNumber, const char*> cases[] = {
        {MakeStoredDate({2024, 1, 2}), "2024-01-02"},
        {MakeStoredDate({1900, 1, 1}), "1900-01-01"},
        {MakeStoredDate({2140, 6, 4}), "2140-06-04"},
        {{0, 0, 0, 0}, "1900-00-00"},
        {EncodeStoredNumber(8991231.0f), "2799-12-31"},
        {EncodeStoredNumber(1240102.5f), "1.2401e+06"},
        {EncodeStoredNumber(-1.0f), "-1"},
        {EncodeStoredNumber(12.5f), "12.5"},
        {EncodeStoredNumber(1e9f), "1e+09"},
    };
    for (const auto& [stored, text] : cases) EXPECT_EQ(DateText(stored), text) << text;
    const std::pair<int, const char*> days[] = {
        {20240102, "2024-01-02"},
        {19000101, "1900-01-01"},
        {99991231, "9999-12-31"},
        {18991231, "18991231"},
        {0, "0"},
        {-5, "-5"},
        {100000000, "100000000"},
    };
    for (const auto& [day, text] : days) EXPECT_EQ(DayText(day), text) << day;
}

TEST(ShortestNumber, WritesTheShortestTextThatReadsBack) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0"},          {12.5f, "12.5"},     {48.12f, "48.12"},         {0.1f, "0.1"},
        {-3.25f, "-3.25"},    {11700.0f, "11700"}, {16777216.0f, "16777216"}, {1e10f, "1e+10"},
        {1.5e-7f, "1.5e-07"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(ShortestNumber(value), text) << text;
}

}  // namespace
}  // namespace tarvel
