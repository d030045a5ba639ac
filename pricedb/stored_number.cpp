#include "pricedb/stored_number.h"

#include <bit>
#include <cmath>

#include "pricedb/coding.h"

namespace tarvel {
namespace {}  // namespace

float DecodeStoredNumber(const StoredNumber& stored) {
    if (stored[3] == 0) return 0.0f;
    std::uint32_t fraction = DecodeFixed32(stored.data()) & 0x7FFFFFu;
    bool negative = (stored[2] & 0x80) != 0;
    if (stored[3] < 3) {
        float magnitude = std::ldexp(1.0f + std::ldexp(static_cast<float>(fraction), -23), stored[3] - 129);
        return negative ? -magnitude : magnitude;
    }
    std::uint32_t exponent = stored[3] - 2u;
    std::uint32_t bits = (negative ? 0x80000000u : 0u) | (exponent << 23) | fraction;
    return std::bit_cast<float>(bits);
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

}  // namespace tarvel
