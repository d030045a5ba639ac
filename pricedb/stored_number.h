// The number and date encodings of the price database.
//
// Stored number: 4-byte Microsoft Binary Format single precision (s0..s3 in
// file order; s3 is the exponent with bias 129, 0 meaning zero; bit 7 of s2 is
// the sign). Stored date: the stored number of (years since 1900) * 10000 +
// month * 100 + day.
//
// All functions are pure and allocate nothing.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace tarvel {

using StoredNumber = std::array<std::uint8_t, 4>;

// NaN and both zeros give four zero bytes. A magnitude of 2^127 or more,
// infinities included, gives the largest finite stored number of its sign; a
// magnitude below 2^-126 (a denormal float) gives zero, so the exponent byte
// of a stored non-zero number is never below 3, the smallest that readers
// decode. Inline: it runs for every field of every row.
inline StoredNumber EncodeStoredNumber(float value);

float DecodeStoredNumber(const StoredNumber& stored);

// A day of the Gregorian calendar with its full year.
struct CalendarDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    auto operator<=>(const CalendarDate&) const =
        default;  // NOLINT(modernize-use-nullptr): a false finding in a defaulted comparison
};

// The days a stored date can hold: stored dates count years from 1900, and
// date numbers end on 4 June 2140.
inline constexpr CalendarDate kFirstStoredDay{1900, 1, 1};
inline constexpr CalendarDate kLastStoredDay{2140, 6, 4};

inline constexpr bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }
// Days of `month` (1..12) of `year`.
int DaysInMonth(int year, int month);
// A real calendar day between kFirstStoredDay and kLastStoredDay.
bool IsStorableDay(const CalendarDate& date);

// The stored date of `date`: (year - 1900) * 10000 + month * 100 + day.
StoredNumber MakeStoredDate(const CalendarDate& date);

inline StoredNumber EncodeStoredNumber(float value) {
    if (value == 0.0f || value != value) return {0, 0, 0, 0};
    auto bits = std::bit_cast<std::uint32_t>(value);
    auto sign = static_cast<std::uint8_t>((bits >> 24) & 0x80);
    std::uint32_t exponent = (bits >> 23) & 0xFF;
    if (exponent >= 254) return {0xFF, 0xFF, static_cast<std::uint8_t>(0x7F | sign), 0xFF};
    if (exponent == 0) return {0, 0, 0, 0};
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(((bits >> 16) & 0x7F) | sign), static_cast<std::uint8_t>(exponent + 2)};
}

}  // namespace tarvel
