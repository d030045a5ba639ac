#include "convert/date_text.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "pricedb/stored_number.h"
#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

// Every row of tests/data/date_texts.tsv: a text, a format and what is read.
TEST(ReadDateText, ReadsEveryFormatWithYearsAsWrittenOrSaysWhyATextIsNoDate) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/date_texts.tsv");
    for (const std::vector<std::string>& row : table) {
        const std::string &text = row[0], &format = row[1], &expected = row[2];
        SCOPED_TRACE(testing::Message() << "'" << text << "' under " << format);
        CalendarDate date{1, 2, 3};
        const DateStatus status = ReadDateText(text, std::stoi(format), &date);
        char read[16];
        std::snprintf(read, sizeof read, "%04d-%02d-%02d", date.year, date.month, date.day);
        EXPECT_EQ(status == DateStatus::kRead         ? std::string(read)
                  : status == DateStatus::kNotADay    ? "not a day"
                  : status == DateStatus::kOutOfRange ? "out of range"
                                                      : "unreadable",
                  expected);
        if (status != DateStatus::kRead) {
            EXPECT_EQ(date, (CalendarDate{1, 2, 3}));
        }
    }
    EXPECT_EQ(table.size(), 91u);
}

// Every row of tests/data/date_times.tsv: a text, its date and its time of day.
TEST(SplitDateTime, TakesATimeOfDayAfterTheDate) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/date_times.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[0]);
        DateAndTime split = SplitDateTime(row[0]);
        EXPECT_EQ(split.date, row[1]);
        EXPECT_EQ(split.time, row[2]);
    }
    EXPECT_EQ(table.size(), 13u);
}

TEST(ReadDateText, NeverReadsPastTheText) {
    // Views into a larger buffer: the characters after the view must not count.
    const std::string separated = "01/05/99";
    CalendarDate date;
    EXPECT_EQ(ReadDateText(std::string_view(separated).substr(0, 6), 3, &date), DateStatus::kUnreadable);
    const std::string digits = "0105991";
    EXPECT_EQ(ReadDateText(std::string_view(digits).substr(0, 6), 9, &date), DateStatus::kRead);
    EXPECT_EQ(date, (CalendarDate{1999, 1, 5}));
}

// Every row of tests/data/date_format_names.tsv: a finder, a text and the
// format number it finds.
TEST(FindDateFormat, TakesTheUsualSpellingsOrTheFirstNameThatBeginsWithTheText) {
    const auto table = test::ReadTable(TARVEL_TEST_DATA_DIR "/date_format_names.tsv");
    for (const std::vector<std::string>& row : table) {
        SCOPED_TRACE(row[0] + " " + row[1]);
        const int found =
            row[0] == "FindDateFormat" ? FindDateFormat(row[1]) : FindDateFormatSpelling(row[1]);
        EXPECT_EQ(found, std::stoi(row[2]));
    }
    EXPECT_EQ(table.size(), 30u);
}

}  // namespace
}  // namespace tarvel
