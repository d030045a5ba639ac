// Reading a date text under one of the date formats.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "pricedb/stored_number.h"

namespace tarvel {

// The twelve formats of digits come first, with the numbers settings have
// always stored; then the formats with a month name, and seconds or
// milliseconds since 1970-01-01 00:00 UTC.
inline constexpr int kDigitDateFormatCount = 12;
inline constexpr int kDateFormatCount = 17;
inline constexpr int kDayMonthNameFormat = 13;   // 05-Jan-2024, 5 January 2024, 05. März 2024
inline constexpr int kMonthNameDayFormat = 14;   // Jan 05, 2024
inline constexpr int kYearMonthNameFormat = 15;  // 2024-Jan-05
inline constexpr int kEpochFormat = 16;
inline constexpr int kEpochMsFormat = 17;

// The formats in list order; a format's number is its position counted from 1.
inline constexpr std::array<const char*, kDateFormatCount> kDateFormatNames = {
    "YY_MM_DD",    "CCYY_MM_DD",  "MM_DD_YY",    "MM_DD_CCYY", "DD_MM_YY", "DD_MM_CCYY",
    "YYMMDD",      "CCYYMMDD",    "MMDDYY",      "MMDDCCYY",   "DDMMYY",   "DDMMCCYY",
    "DD_MMM_CCYY", "MMM_DD_CCYY", "CCYY_MMM_DD", "EPOCH",      "EPOCH_MS"};

inline constexpr bool IsMonthNameFormat(int format) { return format >= 13 && format <= 15; }
inline constexpr bool IsEpochFormat(int format) { return format == kEpochFormat || format == kEpochMsFormat; }
// Formats 1..6 separate their parts by any non-digit; 7..12 and the epoch
// formats are digits only.
inline constexpr bool IsNumericOnlyFormat(int format) {
    return (format >= 7 && format <= kDigitDateFormatCount) || IsEpochFormat(format);
}
// Formats whose year is written with its century digits.
inline constexpr bool HasCenturyDigits(int format) {
    return format == 2 || format == 4 || format == 6 || format == 8 || format == 10 || format == 12;
}

enum class DateStatus {
    kRead,        // a storable day
    kUnreadable,  // not a date of the format
    kNotADay,     // month or day outside the calendar, 30 February, ...
    kOutOfRange,  // before 1 January 1900 or after 4 June 2140
};

// A field split into the date and the time of day written after it.
struct DateAndTime {
    std::string_view date;
    std::string_view time;  // empty when the field holds no time
};

// Splits `text`, blanks around it aside, where blanks or a 'T' are followed
// by a time of day and nothing more: hours and minutes with a colon, seconds,
// a fraction, AM or PM, and a 'Z', an offset (+01:00, -0500) or a blank and
// UTC or GMT as written. The date is everything before, as written: an
// offset does not move it to another day.
// A text without such a time is all date.
DateAndTime SplitDateTime(std::string_view text);

// Whether `text` is a time of day and nothing more, as SplitDateTime takes one.
bool IsTimeOfDay(std::string_view text);

// Reads `text` under `format` (1..kDateFormatCount) into *date. Blanks around the text and
// a time of day after the date (see SplitDateTime) are ignored. A separated format takes exactly three parts
// of digits between two single non-digit characters: month and day of one or two digits, the year of two
// digits or, written in full, four (under a format with century digits it must have four). A numeric-only
// format takes exactly its six or eight digits. Two-digit years 00..59 are 2000..2059 and 60..99 are
// 1960..1999; a four-digit year is the year.
// A month-name format takes a day of one or two digits, a month name (see
// MonthOfName) and a year in its order, apart or between blanks, '-', '.',
// ',', '/' or '\'' (up to three together); the year first has four digits.
// An epoch format takes the digits of a whole number of seconds (up to 12)
// or milliseconds (up to 15) since 1970 and reads the UTC day.
// Reads nothing beyond the text.
DateStatus ReadDateText(std::string_view text, int format, CalendarDate* date);

// The month (1..12) that `name` names, or 0: a month's name, or the start of
// one of at least three letters that no other month's name starts with, in
// English, German, French, Spanish, Italian or Dutch, in any case, in UTF-8
// or Latin-1 (Jan, JAN, janv, Mär, Mrz, févr, sept, okt, dic, ...).
int MonthOfName(std::string_view name);

// Days from 1970-01-01 to `date` (negative before).
std::int64_t DayNumberOf(const CalendarDate& date);

// The second of the UTC day (0..86399) an epoch-format `text` names, or -1
// when it is no epoch number of `format`.
std::int64_t EpochSecondOfDay(std::string_view text, int format);

// The number (1..12) of the first format whose name begins with `text`
// without regard to ASCII case, or 0 when none does. An empty text begins
// every name.
int FindDateFormat(std::string_view text);

// The format a usual spelling names, in any case: YYYY-MM-DD, MM/DD/YYYY,
// DD.MM.YYYY, YYYYMMDD, YY-MM-DD and the like (YYYY is CCYY; any of - . /
// _ or a blank separates); with a month name DD-MMM-YYYY, D MMMM YYYY,
// MMM DD, YYYY, YYYY-MMM-DD and the like (three or four Ms, one or two Ds,
// two or four Ys, any separators); EPOCH-MS; otherwise as FindDateFormat.
int FindDateFormatSpelling(std::string_view text);

}  // namespace tarvel
