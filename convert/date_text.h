// Reading a date text under one of the twelve date formats.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tarvel {

inline constexpr int kDateFormatCount = 12;

// The formats in list order; a format's number is its position counted from 1.
inline constexpr std::array<const char*, kDateFormatCount> kDateFormatNames = {
    "YY_MM_DD", "CCYY_MM_DD", "MM_DD_YY", "MM_DD_CCYY", "DD_MM_YY", "DD_MM_CCYY",
    "YYMMDD",   "CCYYMMDD",   "MMDDYY",   "MMDDCCYY",   "DDMMYY",   "DDMMCCYY"};

// Formats 1..6 separate their parts by any non-digit; 7..12 are digits only.
inline constexpr bool IsNumericOnlyFormat(int format) { return format >= 7; }

// Returns the date number of `text` under `format` (1..12), or 0 when the
// text holds no readable date or the format is outside 1..12. Two-digit years
// 00..59 are 2000..2059 and 60..99 are 1960..1999. Reads nothing beyond the
// end of `text`.
std::uint16_t ParseDateText(std::string_view text, int format);

// The number (1..12) of the first format whose name begins with `text`
// without regard to ASCII case, or 0 when none does. An empty text begins
// every name.
int FindDateFormat(std::string_view text);

}  // namespace tarvel
