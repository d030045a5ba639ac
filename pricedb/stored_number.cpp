#include "pricedb/stored_number.h"

#include <bit>
#include <cmath>

namespace tarvel {
namespace {

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// kMonthOfDay[leap][d]: the month (1..12) of day d (1..366) of a common or leap year.
constexpr auto kMonthOfDay = [] {
    std::array<std::array<std::uint8_t, 367>, 2> table{};
    for (int leap = 0; leap < 2; ++leap) {
        for (int day = 1; day <= 366; ++day) {
            int month = 12;
            while (month > 1 && kDaysBeforeMonth[month - 1] + (month > 2 ? leap : 0) >= day) --month;
            table[static_cast<std::size_t>(leap)][static_cast<std::size_t>(day)] = static_cast<std::uint8_t>(month);
        }
    }
    return table;
}();

}  // namespace

float DecodeStoredNumber(const StoredNumber& stored) {
    if (stored[3] == 0) return 0.0f;
    std::uint32_t fraction = stored[0] | (stored[1] << 8) | ((stored[2] & 0x7Fu) << 16);
    bool negative = (stored[2] & 0x80) != 0;
    if (stored[3] < 3) {
        float magnitude = std::ldexp(1.0f + std::ldexp(static_cast<float>(fraction), -23), stored[3] - 129);
        return negative ? -magnitude : magnitude;
    }
    std::uint32_t exponent = stored[3] - 2u;
    std::uint32_t bits = (negative ? 0x80000000u : 0u) | (exponent << 23) | fraction;
    return std::bit_cast<float>(bits);
}

std::uint16_t MakeDateNumber(std::int16_t year, std::int16_t month, std::int16_t day) {
    int y = year > 1900 ? year - 1900 : year;
    if (y < 61 || y > 240 || month < 1 || month > 12 || day < 0 || day > 31) return 0;
    int n = day + kDaysBeforeMonth[month - 1] + ((y - 61) * 1461) / 4;
    if (month > 2 && y % 4 == 0) ++n;
    if (n < 1 || n > 65535) return 0;
    return static_cast<std::uint16_t>(n);
}

SplitDate SplitDateNumber(std::uint16_t dateNumber) {
    if (dateNumber == 0) return {0, 0, 0};
    int n = dateNumber;
    int c = (4 * n - 1) / 1461;
    int dayOfYear = n - (c * 1461) / 4;
    int y = c + 61;
    bool leap = y % 4 == 0;
    // The month is the last one whose days-before count is below the day of the year.
    int month = kMonthOfDay[leap ? 1 : 0][dayOfYear];
    int before = kDaysBeforeMonth[month - 1] + (month > 2 && leap ? 1 : 0);
    return {static_cast<std::int16_t>(y), static_cast<std::int16_t>(month),
            static_cast<std::int16_t>(dayOfYear - before)};
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool IsStorableDay(const CalendarDate& date) {
    return date.day >= 1 && date.day <= DaysInMonth(date.year, date.month) && date >= kFirstStoredDay &&
           date <= kLastStoredDay;
}

StoredNumber MakeStoredDate(const CalendarDate& date) {
    return EncodeStoredNumber(static_cast<float>((date.year - 1900) * 10000 + date.month * 100 + date.day));
}

StoredNumber MakeStoredDate(std::uint16_t dateNumber) {
    if (dateNumber == 0) return {0, 0, 0, 0};
    SplitDate date = SplitDateNumber(dateNumber);
    auto value = static_cast<float>(date.year * 10000 + date.month * 100 + date.day);
    return EncodeStoredNumber(value);
}

}  // namespace tarvel
