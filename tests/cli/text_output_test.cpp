#include "cli/text_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
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

// Every row of tests/data/written_numbers.tsv: a writer, a value and the text
// it writes.
TEST(TextOutput, WritesNumbersDatesAndDayNumbersAsTheTableSays) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/written_numbers.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(testing::PrintToString(row));
        const std::string& writer = row[0];
        const float value = std::strtof(row[1].c_str(), nullptr);
        EXPECT_EQ(writer == "Grouped"    ? Grouped(std::stol(row[1]))
                  : writer == "DateText" ? DateText(EncodeStoredNumber(value))
                  : writer == "DayText"  ? DayText(std::stoi(row[1]))
                                         : ShortestNumber(value),
                  row[2]);
    }
    EXPECT_EQ(table.size(), 33u);
    EXPECT_EQ((std::vector{RowsText(0), RowsText(1), RowsText(2), RowsText(12345)}),
              (std::vector<std::string>{"0 rows", "1 row", "2 rows", "12,345 rows"}));
}

}  // namespace
}  // namespace tarvel
