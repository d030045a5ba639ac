#include "convert/layout_evidence.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "convert/date_text.h"
#include "convert/row_reader.h"

namespace tarvel {

std::string LayoutDoubt(const CDetectedLayout& layout, const std::vector<std::vector<std::string>>& rows,
                        const std::vector<std::size_t>& data, bool named, std::size_t headerFields) {
    const auto dc = static_cast<std::size_t>(layout.m_nFieldColumn[kDate]);
    auto column = [](int c) { return "column " + std::to_string(c + 1); };
    // A few rows of many may disagree (a bad print, a holiday row); of a
    // handful, none.
    auto few = [](std::size_t bad, std::size_t all) {
        return bad <= std::max<std::size_t>(all >= 20 ? 1 : 0, all / 50);
    };

    // One order of dates, oldest or newest first, for each ticker.
    const int format = layout.m_nDateFormat != 0 ? layout.m_nDateFormat : layout.m_nMonthDayFormat;
    std::map<std::string, std::int32_t> previous;
    std::size_t up = 0, down = 0;
    for (std::size_t i : data) {
        CalendarDate d;
        if (ReadDateText(SplitDateTime(rows[i][dc]).date, format, &d) != DateStatus::kRead) continue;
        const std::int32_t day = d.year * 10000 + d.month * 100 + d.day;
        const auto tc = static_cast<std::size_t>(layout.m_nTickerColumn);
        const std::string ticker =
            layout.m_nTickerColumn != kNoColumn && tc < rows[i].size() ? rows[i][tc] : "";
        auto [last, added] = previous.try_emplace(ticker, day);
        if (!added) {
            up += day > last->second ? 1 : 0;
            down += day < last->second ? 1 : 0;
            last->second = day;
        }
    }
    if (!few(std::min(up, down), up + down)) {
        return column(layout.m_nFieldColumn[kDate]) +
               " reads as dates, but in no order, unlike a price history; the file's dates may be written in "
               "a way Tarvel does not read";
    }

    if (named && headerFields > 0 && layout.m_cDelimiter == ',') {
        std::size_t longer = 0;
        for (std::size_t i : data) longer += rows[i].size() > headerFields ? 1 : 0;
        if (longer * 2 > data.size()) {
            return "most rows have more fields than the header names: the numbers hold thousands separators "
                   "that are not quoted (4,763.54); export them without separators or quoted";
        }
    }

    // The values of each field on each row.
    std::size_t checked = 0, disorder = 0;
    for (std::size_t i : data) {
        float v[kFieldCount] = {};
        bool has[kFieldCount] = {};
        for (int f = kOpen; f < kFieldCount; ++f) {
            const auto c = static_cast<std::size_t>(layout.m_nFieldColumn[f]);
            has[f] = layout.HasField(f) && c < rows[i].size() &&
                     ReadPriceNumber(rows[i][c], layout.m_bDecimalComma, &v[f]);
        }
        for (int f : {kVolume, kOpenInt}) {
            if (has[f] && v[f] < 0) {
                return column(layout.m_nFieldColumn[f]) + ", taken for the " +
                       (f == kVolume ? "volume" : "open interest") + ", holds negative numbers, as no " +
                       (f == kVolume ? "volume" : "open interest") + " does";
            }
        }
        if (!has[kHigh] || !has[kLow] || !has[kClose]) continue;
        ++checked;
        float top = v[kClose], bottom = v[kClose];
        if (has[kOpen]) {
            top = std::max(top, v[kOpen]);
            bottom = std::min(bottom, v[kOpen]);
        }
        disorder += v[kLow] > bottom || v[kHigh] < top ? 1 : 0;
    }
    if (!few(disorder, checked)) {
        return "the columns taken for the prices (" +
               std::string(named ? "by their names" : "by their order") + ") do not agree: on " +
               std::to_string(disorder) + " of " + std::to_string(checked) +
               " rows the low is not the lowest or the high not the highest price";
    }

    // Columns placed by their order alone must hold what the place means: a
    // volume or open interest is a count.
    if (!named) {
        for (int f : {kVolume, kOpenInt}) {
            if (!layout.HasField(f)) continue;
            const auto c = static_cast<std::size_t>(layout.m_nFieldColumn[f]);
            std::size_t fractions = 0, all = 0;
            for (std::size_t i : data) {
                float value;
                if (c >= rows[i].size() || !ReadPriceNumber(rows[i][c], layout.m_bDecimalComma, &value))
                    continue;
                ++all;
                fractions += std::floor(value) != value ? 1 : 0;
            }
            if (!few(fractions, all)) {
                return "no header names the columns, and " + column(layout.m_nFieldColumn[f]) +
                       ", in the place of the " + (f == kVolume ? "volume" : "open interest") +
                       ", holds numbers with fractions, as prices or rates do; which column is the close "
                       "cannot be told";
            }
        }
    }
    return {};
}

}  // namespace tarvel
