#include "convert/detect_cells.h"

#include <algorithm>
#include <tuple>

#include "convert/column_names.h"
#include "convert/date_text.h"
#include "convert/row_reader.h"
#include "platform/ascii.h"

namespace tarvel {
namespace {

enum class Order { kYearMonthDay, kMonthDayYear, kDayMonthYear };
Order OrderOf(int format) {
    int i = (format - 1) % 6 / 2;
    return i == 0 ? Order::kYearMonthDay : i == 1 ? Order::kMonthDayYear : Order::kDayMonthYear;
}

}  // namespace

unsigned DateFormatsOf(std::string_view cell) {
    // Most cells are prices: no date is shorter than six characters, so
    // those are passed by at once.
    std::string_view trimmed = TrimBlanks(cell);
    if (trimmed.size() < 6) return 0;
    std::string_view date = SplitDateTime(trimmed).date;
    if (date.empty() || date.size() >= 20 || date.find(':') != std::string_view::npos) return 0;
    unsigned formats = 0;
    CalendarDate day;
    auto tryFormat = [&](int format) {
        if (ReadDateText(date, format, &day) == DateStatus::kRead) formats |= 1u << (format - 1);
    };
    const bool letters = std::any_of(date.begin(), date.end(), [](char c) {
        return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80;
    });
    if (letters) {
        for (int format : {kDayMonthNameFormat, kMonthNameDayFormat, kYearMonthNameFormat}) tryFormat(format);
        return formats;
    }
    if (!IsAsciiDigit(date.front())) return 0;
    // A date is digits only, or three runs of digits between two
    // separators: anything else (a price such as 100.25) needs no format tried.
    std::size_t separators = 0;
    for (char c : date) separators += IsAsciiDigit(c) ? 0 : 1;
    if (separators != 0 && separators != 2) return 0;
    if (separators == 0) {
        // Seconds since 1970 from 1973 on, or milliseconds from 1973 on.
        if (date.size() == 9 || date.size() == 10) tryFormat(kEpochFormat);
        if (date.size() == 12 || date.size() == 13) tryFormat(kEpochMsFormat);
        if (date.size() != 6 && date.size() != 8) return formats;
    }
    for (int format = 1; format <= kDigitDateFormatCount; ++format) {
        if ((separators == 0) == IsNumericOnlyFormat(format)) tryFormat(format);
    }
    return formats;
}

bool DatesInOrder(const std::vector<std::vector<std::string>>& rows,
                  const std::vector<std::vector<unsigned>>& formats, std::size_t c) {
    unsigned common = ~0u;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (c < formats[i].size() && formats[i][c] != 0) common &= formats[i][c];
    }
    if (common == 0) return false;
    int format = 1;
    while ((common >> (format - 1) & 1) == 0) ++format;
    std::int32_t last = 0;
    std::size_t up = 0, down = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        CalendarDate d;
        if (c >= formats[i].size() || formats[i][c] == 0 ||
            ReadDateText(rows[i][c], format, &d) != DateStatus::kRead)
            continue;
        const std::int32_t day = d.year * 10000 + d.month * 100 + d.day;
        if (last != 0) {
            up += day > last ? 1 : 0;
            down += day < last ? 1 : 0;
        }
        last = day;
    }
    return std::min(up, down) <= std::max<std::size_t>(1, (up + down) / 50);
}

int ChooseDateColumn(const std::vector<std::vector<std::string>>& rows,
                     const std::vector<std::vector<unsigned>>& formats,
                     const std::array<int, kMaxColumns>& dates) {
    const int most = *std::max_element(dates.begin(), dates.end());
    int best = 0;
    std::tuple<bool, bool, bool, bool, int> bestScore{false, false, false, false, -1};
    for (std::size_t c = 0; c < dates.size(); ++c) {
        if (dates[c] == 0 || dates[c] * 10 < most * 9) continue;
        // The name over the column: the nearest line above its first date.
        std::size_t first = 0;
        while (!(c < formats[first].size() && formats[first][c] != 0)) ++first;
        int role = kRoleUnknown, rank = 0;
        for (std::size_t h = first; h-- > 0;) {
            if (rows[h].empty()) continue;
            if (c < rows[h].size()) role = RoleOf(rows[h][c], &rank);
            break;
        }
        // A bare number of seconds may be a volume; written dates are dates.
        unsigned read = 0;
        for (std::size_t i = first; i < rows.size(); ++i) read |= c < formats[i].size() ? formats[i][c] : 0;
        const unsigned epochs = 1u << (kEpochFormat - 1) | 1u << (kEpochMsFormat - 1);
        std::tuple<bool, bool, bool, bool, int> score{
            role == kRoleUnknown || role == kDate || role == kRoleTime, role == kDate || role == kRoleTime,
            (read & ~epochs) != 0, DatesInOrder(rows, formats, c), dates[c]};
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(c);
        }
    }
    return best;
}

void ChooseDateFormat(const std::vector<std::vector<std::string>>& rows,
                      const std::vector<std::vector<unsigned>>& formats, const std::vector<std::size_t>& data,
                      std::size_t dc, CDetectedLayout* layout) {
    // The date format: of those that read the most rows, a year written in
    // full where one is; day-month against month-day only as the rows decide.
    std::array<int, kDateFormatCount + 1> reads{};
    for (std::size_t i : data) {
        for (int f = 1; f <= kDateFormatCount; ++f)
            reads[static_cast<std::size_t>(f)] += formats[i][dc] >> (f - 1) & 1;
    }
    const int most = *std::max_element(reads.begin() + 1, reads.end());
    auto viable = [&](int f) { return reads[static_cast<std::size_t>(f)] == most; };
    // A month name or an epoch number reads under one format only.
    for (int f = kDigitDateFormatCount + 1; f <= kDateFormatCount; ++f) {
        if (viable(f)) layout->m_nDateFormat = f;
    }
    int byOrder[3] = {0, 0, 0};
    for (int f = kDigitDateFormatCount; f >= 1 && layout->m_nDateFormat == 0; --f) {
        // Scanning down, a format with century digits (even) beats its pair.
        if (!viable(f)) continue;
        int& slot = byOrder[static_cast<int>(OrderOf(f))];
        if (slot == 0 || HasCenturyDigits(f)) slot = f;
    }
    int ymd = byOrder[0], mdy = byOrder[1], dmy = byOrder[2];
    if (ymd != 0 && (mdy != 0 || dmy != 0)) {
        // Two-digit years first or last: the reading that keeps the rows in
        // date order wins; else the year is taken as last.
        // The days of the rows under `format`, and whether they run in order.
        auto daysOf = [&](int format, bool* sorted) {
            std::vector<std::int64_t> days;
            for (std::size_t i : data) {
                CalendarDate d;
                if (ReadDateText(rows[i][dc], format, &d) == DateStatus::kRead)
                    days.push_back(DayNumberOf(d));
            }
            *sorted = std::is_sorted(days.begin(), days.end()) || std::is_sorted(days.rbegin(), days.rend());
            return days;
        };
        // The middle step from row to row, in days: a price history steps
        // by days, a year read as the day steps by years.
        auto middleStep = [](std::vector<std::int64_t> days) {
            std::vector<std::int64_t> steps;
            for (std::size_t i = 1; i < days.size(); ++i) {
                if (days[i] != days[i - 1])
                    steps.push_back(days[i] > days[i - 1] ? days[i] - days[i - 1] : days[i - 1] - days[i]);
            }
            if (steps.empty()) return std::int64_t{0};
            std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                             steps.end());
            return steps[steps.size() / 2];
        };
        bool ymdSorted = false, mdySorted = false, dmySorted = false;
        const std::vector<std::int64_t> ymdDays = daysOf(ymd, &ymdSorted);
        const std::vector<std::int64_t> lastDays =
            mdy != 0 ? daysOf(mdy, &mdySorted) : std::vector<std::int64_t>{};
        const std::vector<std::int64_t> dmyDays =
            dmy != 0 ? daysOf(dmy, &dmySorted) : std::vector<std::int64_t>{};
        const bool lastInOrder = mdySorted || dmySorted;
        bool yearFirst = ymdSorted && !lastInOrder;
        if (ymdSorted && lastInOrder) {
            const std::int64_t last = middleStep(mdySorted ? lastDays : dmyDays);
            yearFirst = middleStep(ymdDays) * 10 < last;
        }
        if (yearFirst) {
            mdy = dmy = 0;
        } else {
            ymd = 0;
        }
    }
    if (layout->m_nDateFormat != 0) {
        // decided above
    } else if (ymd != 0) {
        layout->m_nDateFormat = ymd;
    } else if (mdy != 0 && dmy != 0) {
        layout->m_bDayMonthUndecided = true;
        layout->m_nMonthDayFormat = mdy;
        layout->m_nDayMonthFormat = dmy;
    } else {
        layout->m_nDateFormat = mdy != 0 ? mdy : dmy;
    }
}

void Weigh(std::string_view cell, Marks* marks) {
    std::size_t comma = cell.rfind(','), point = cell.rfind('.');
    if (comma == std::string_view::npos && point == std::string_view::npos) return;
    bool anyDigit = std::any_of(cell.begin(), cell.end(), IsAsciiDigit);
    if (!anyDigit) return;
    auto digitsAfter = [&](std::size_t at) {
        std::size_t n = 0;
        while (at + 1 + n < cell.size() && IsAsciiDigit(cell[at + 1 + n])) ++n;
        return n;
    };
    if (comma != std::string_view::npos && point != std::string_view::npos) {
        (comma > point ? marks->comma : marks->point)++;
    } else if (comma != std::string_view::npos && cell.find(',') != comma) {
        marks->point++;  // "1,234,567": commas between thousands
    } else if (comma != std::string_view::npos) {
        (digitsAfter(comma) == 3 ? marks->commaGroups : marks->comma)++;
    } else if (cell.find('.') != point) {
        marks->comma++;  // "1.234.567": points between thousands
    } else {
        (digitsAfter(point) == 3 ? marks->pointGroups : marks->point)++;
    }
}

}  // namespace tarvel
