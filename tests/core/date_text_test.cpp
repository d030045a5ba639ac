#include <gtest/gtest.h>

#include "convert/date_text.h"
#include "pricedb/stored_number.h"

namespace tarvel {
namespace {

TEST(ReadDateText, ReadsEveryFormatWithYearsAsWritten) {
    struct Case {
        const char* text;
        int format;
        CalendarDate date;
    };
    const Case cases[] = {
        {"00/01/05", 1, {2000, 1, 5}},    {"99-12-31", 1, {1999, 12, 31}},   {"2000-1-5", 2, {2000, 1, 5}},
        {"1928/03/05", 2, {1928, 3, 5}},  {"01/05/00", 3, {2000, 1, 5}},     {"1/5/00", 3, {2000, 1, 5}},
        {"12/06/26", 3, {2026, 12, 6}},   {"1/5/2000", 3, {2000, 1, 5}},     {"1/5/2000", 4, {2000, 1, 5}},
        {"05.01.00", 5, {2000, 1, 5}},    {"5-1-2000", 6, {2000, 1, 5}},     {"000105", 7, {2000, 1, 5}},
        {"20000105", 8, {2000, 1, 5}},    {"19590105", 8, {1959, 1, 5}},     {"19000101", 8, {1900, 1, 1}},
        {"21400604", 8, {2140, 6, 4}},    {"010500", 9, {2000, 1, 5}},       {"01052000", 10, {2000, 1, 5}},
        {"050100", 11, {2000, 1, 5}},     {"05012000", 12, {2000, 1, 5}},    {" 010500 ", 9, {2000, 1, 5}},
        {"123159", 9, {2059, 12, 31}},    {"010160", 9, {1960, 1, 1}},       {"022900", 9, {2000, 2, 29}},
        {"01/05/00 ", 3, {2000, 1, 5}},   {"2024.01.02", 2, {2024, 1, 2}},   {"2024-01-02 16:00:00", 2, {2024, 1, 2}},
        {"1/2/2024 4:00 PM", 4, {2024, 1, 2}}, {"2024-01-02T16:00:00Z", 2, {2024, 1, 2}},
        {"20240102 16:00", 8, {2024, 1, 2}}, {"01 05 00", 3, {2000, 1, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " under " << c.format);
        CalendarDate date;
        ASSERT_EQ(ReadDateText(c.text, c.format, &date), DateStatus::kRead);
        EXPECT_EQ(date, c.date);
    }
}

TEST(ReadDateText, SaysWhyATextIsNoDate) {
    struct Case {
        const char* text;
        int format;
        DateStatus status;
    };
    const Case cases[] = {
        {"010500", 0, DateStatus::kUnreadable},      {"010500", 13, DateStatus::kUnreadable},
        {"", 3, DateStatus::kUnreadable},            {"\"010500\"", 9, DateStatus::kUnreadable},
        {"01/03/", 3, DateStatus::kUnreadable},      {"1/5/00", 4, DateStatus::kUnreadable},
        {"01/05/200", 4, DateStatus::kUnreadable},   {"01/05/2000x", 3, DateStatus::kUnreadable},
        {"01//05/00", 3, DateStatus::kUnreadable},   {"2000010", 8, DateStatus::kUnreadable},
        {"0105000", 9, DateStatus::kUnreadable},     {"Date", 3, DateStatus::kUnreadable},
        {"010500", 3, DateStatus::kUnreadable},      {"2024-01-02 16", 2, DateStatus::kUnreadable},
        {"02/30/2001", 3, DateStatus::kNotADay},     {"21000229", 8, DateStatus::kNotADay},
        {"19000229", 8, DateStatus::kNotADay},       {"133100", 9, DateStatus::kNotADay},
        {"000000", 9, DateStatus::kNotADay},         {"20000431", 8, DateStatus::kNotADay},
        {"18991231", 8, DateStatus::kOutOfRange},    {"21400605", 8, DateStatus::kOutOfRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' under " << c.format);
        CalendarDate date{1, 2, 3};
        EXPECT_EQ(ReadDateText(c.text, c.format, &date), c.status);
        EXPECT_EQ(date, (CalendarDate{1, 2, 3}));
    }
}

TEST(SplitDateTime, TakesATimeOfDayAfterTheDate) {
    struct Case {
        const char* text;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {" 2024-01-02 16:00:00 ", "2024-01-02", "16:00:00"}, {"1/2/2024 4:00 pm", "1/2/2024", "4:00 pm"},
        {"2024-01-02T09:30:00.250Z", "2024-01-02", "09:30:00.250Z"}, {"2024.01.02  00:00", "2024.01.02", "00:00"},
        {"01 05 2000", "01 05 2000", ""}, {"2024-01-02 16", "2024-01-02 16", ""},
        {"2024-01-02 16:0", "2024-01-02 16:0", ""}, {"T16:00", "T16:00", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DateAndTime split = SplitDateTime(c.text);
        EXPECT_EQ(split.date, c.date);
        EXPECT_EQ(split.time, c.time);
    }
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

TEST(FindDateFormatSpelling, TakesTheUsualSpellings) {
    struct Case {
        const char* text;
        int number;
    };
    const Case cases[] = {{"YYYY-MM-DD", 2}, {"mm/dd/yyyy", 4}, {"DD.MM.YYYY", 6}, {"YYYYMMDD", 8},
                          {"YY-MM-DD", 1},   {"MM/DD/YY", 3},   {"ddmmyyyy", 12}, {"mmdd", 9},
                          {"YYYY/DD/MM", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FindDateFormatSpelling(c.text), c.number);
    }
}

TEST(FindDateFormat, FirstNameThatBeginsWithTheText) {
    struct Case {
        const char* text;
        int number;
    };
    const Case cases[] = {{"MMDDYY", 9}, {"mmddyy", 9}, {"mm", 3},     {"MMDD", 9},
                          {"mmdd", 9},   {"YY", 1},     {"ccyymmdd", 8}, {"", 1},
                          {"XYZ", 0},    {"MMDDYYY", 0}, {"DDMMCCYY", 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FindDateFormat(c.text), c.number);
    }
}

}  // namespace
}  // namespace tarvel
