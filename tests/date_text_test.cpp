#include <gtest/gtest.h>

#include "convert/date_text.h"
#include "pricedb/stored_number.h"

namespace tarvel {
namespace {

std::uint16_t Date(int year, int month, int day) {
    return MakeDateNumber(static_cast<std::int16_t>(year), static_cast<std::int16_t>(month),
                          static_cast<std::int16_t>(day));
}

TEST(ParseDateText, ReadsEveryFormat) {
    struct Case {
        const char* text;
        int format;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {"00/01/05", 1, Date(2000, 1, 5)},    {"99-12-31", 1, Date(1999, 12, 31)},
        {"2000-1-5", 2, Date(2000, 1, 5)},    {"1999/12/31", 2, Date(1999, 12, 31)},
        {"01/05/00", 3, Date(2000, 1, 5)},    {"1/5/00", 3, Date(2000, 1, 5)},
        {"12/06/26", 3, Date(2026, 12, 6)},   {"1/5/2000", 4, Date(2000, 1, 5)},
        {"1/5/00", 4, Date(1999, 1, 5)},      {"05.01.00", 5, Date(2000, 1, 5)},
        {"5-1-2000", 6, Date(2000, 1, 5)},    {"000105", 7, Date(2000, 1, 5)},
        {"20000105", 8, Date(2000, 1, 5)},    {"19590105", 8, Date(2059, 1, 5)},
        {"19610105", 8, Date(1961, 1, 5)},    {"010500", 9, Date(2000, 1, 5)},
        {"01052000", 10, Date(2000, 1, 5)},   {"050100", 11, Date(2000, 1, 5)},
        {"05012000", 12, Date(2000, 1, 5)},   {"\"010500\"", 9, Date(2000, 1, 5)},
        {"   010500", 9, Date(2000, 1, 5)},   {"123199", 9, Date(1999, 12, 31)},
        {"19500105", 8, Date(2050, 1, 5)},      {"022900", 9, Date(2000, 2, 29)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " under " << c.format);
        EXPECT_EQ(ParseDateText(c.text, c.format), c.expected);
        EXPECT_NE(c.expected, 0);
    }
}

TEST(ParseDateText, ATrailingBlankMisreadsSeparatedDates) {
    // The blank is the last separator: month 1, day 0 of 2000 = 31 December 1999.
    EXPECT_EQ(ParseDateText("01/05/00 ", 3), Date(2000, 1, 0));
    EXPECT_EQ(ParseDateText("01/05/00 ", 3), Date(1999, 12, 31));
}

TEST(ParseDateText, UnreadableTextsGiveNoDate) {
    struct Case {
        const char* text;
        int format;
    };
    const Case cases[] = {
        {"010500", 0},        {"010500", -1},      {"010500", 13},     {"", 3},
        {"   ", 3},           {"\"", 9},           {"01/05/2000x", 3}, {"01/05/20000", 4},
        {"000000", 9},        {"133100", 9},       {"013200", 9},      {"19600105", 8},        {"123160", 9},
        {"21410105", 8},      {"Date", 9},         {"Date", 3},        {"010500", 3},
        {"1", 1},             {"/", 2},            {"--", 4},          {"99999999", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' under " << c.format);
        EXPECT_EQ(ParseDateText(c.text, c.format), 0);
    }
}

TEST(ParseDateText, NeverReadsPastTheText) {
    // Views into a larger buffer: the characters after the view must not count.
    const std::string separated = "01/05/99";
    EXPECT_EQ(ParseDateText(std::string_view(separated).substr(0, 6), 3), Date(2000, 1, 5));
    const std::string digits = "010599";
    EXPECT_EQ(ParseDateText(std::string_view(digits).substr(0, 4), 9), Date(2000, 1, 5));
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
