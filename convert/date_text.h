// Reading a date text under one of the twelve date formats.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "pricedb/stored_number.h"

namespace tarvel {

inline constexpr int kDateFormatCount = 12;

// The formats in list order; a format's number is its position counted from 1.
inline constexpr std::array<const char*, kDateFormatCount> kDateFormatNames = {
    "YY_MM_DD", "CCYY_MM_DD", "MM_DD_YY", "MM_DD_CCYY", "DD_MM_YY", "DD_MM_CCYY",
    "YYMMDD",   "CCYYMMDD",   "MMDDYY",   "MMDDCCYY",   "DDMMYY",   "DDMMCCYY"};

// Formats 1..6 separate their parts by any non-digit; 7..12 are digits only.
inline constexpr bool IsNumericOnlyFormat(int format) { return format >= 7; }
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
// a fraction, AM or PM and a 'Z' as written. The date is everything before.
// A text without such a time is all date.
DateAndTime SplitDateTime(std::string_view text);

// Whether `text` is a time of day and nothing more, as SplitDateTime takes one.
bool IsTimeOfDay(std::string_view text);

// Reads `text` under `format` (1..12) into *date. Blanks around the text and
// a time of day after the date (see SplitDateTime) are ignored. A separated format takes exactly three parts
// of digits between two single non-digit characters: month and day of one or two digits, the year of two
// digits or, written in full, four (under a format with century digits it must have four). A numeric-only
// format takes exactly its six or eight digits. Two-digit years 00..59 are 2000..2059 and 60..99 are
// 1960..1999; a four-digit year is the year. Reads nothing beyond the text.
DateStatus ReadDateText(std::string_view text, int format, CalendarDate* date);

// The number (1..12) of the first format whose name begins with `text`
// without regard to ASCII case, or 0 when none does. An empty text begins
// every name.
int FindDateFormat(std::string_view text);

// The format a usual spelling names, in any case: YYYY-MM-DD, MM/DD/YYYY,
// DD.MM.YYYY, YYYYMMDD, YY-MM-DD and the like (YYYY is CCYY; any of - . /
// _ or a blank separates); otherwise as FindDateFormat.
int FindDateFormatSpelling(std::string_view text);

}  // namespace tarvel
