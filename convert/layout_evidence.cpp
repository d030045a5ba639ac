#include "convert/layout_evidence.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "convert/date_text.h"
#include "convert/row_reader.h"

namespace tarvel {

namespace {

bool Refuse(CDetectedLayout& layout, std::string reason, std::string options) {
    layout.m_failure = DetectFailure::kNoPrices;
    layout.m_strReason = std::move(reason);
    layout.m_strDecidingOptions = std::move(options);
    return false;
}

}  // namespace

void DescribeColumns(CDetectedLayout& layout, const std::vector<std::string>* header,
                     const std::vector<bool>& otherValue, const std::vector<bool>& numeric, int datesRead,
                     int rowsSeen) {
    static constexpr const char* kFieldWords[kFieldCount] = {
        "the date", "the open", "the high", "the low", "the close", "the volume", "the open interest"};
    for (int c = 0; c < layout.m_nColumnCount; ++c) {
        const auto at = static_cast<std::size_t>(c);
        std::string line = "column " + std::to_string(c + 1);
        if (header != nullptr && at < header->size()) line += " \"" + (*header)[at] + "\"";
        int field = -1;
        for (int f = 0; f < kFieldCount; ++f) field = layout.m_nFieldColumn[f] == c ? f : field;
        if (field == kDate) {
            const int format = layout.m_nDateFormat != 0 ? layout.m_nDateFormat : layout.m_nMonthDayFormat;
            line += ": the date, read as " +
                    std::string(kDateFormatNames[static_cast<std::size_t>(format - 1)]) +
                    (layout.m_nDateFormat == 0 ? " or day first" : "") + " on " + std::to_string(datesRead) +
                    " of " + std::to_string(rowsSeen) + " rows";
        } else if (field > 0) {
            line += std::string(": ") + kFieldWords[field] +
                    (header != nullptr ? ", by its name" : ", by its place in the usual order of columns");
        } else if (c == layout.m_nTimeColumn) {
            line += ": the time of day";
        } else if (c == layout.m_nTickerColumn) {
            line += ": the ticker";
        } else if (c == layout.m_nPeriodColumn) {
            line += ": the period";
        } else if (otherValue[at]) {
            line += ": not taken; its name says it holds another value";
        } else if (!numeric[at]) {
            line += ": not taken; it holds no numbers";
        } else {
            line += header != nullptr ? ": not taken; no field has this name" : ": not taken";
        }
        layout.m_evidence.push_back(std::move(line));
    }
}

bool RowsBearOut(CDetectedLayout& layout, const std::vector<std::vector<std::string>>& rows,
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
        return Refuse(layout,
                      column(layout.m_nFieldColumn[kDate]) +
                          " reads as dates, but in no order, unlike a price history; the file's dates may be "
                          "written in a way Tarvel does not read",
                      "--date-col and --date-format");
    }
    layout.m_evidence.push_back("the dates run " + std::string(down > up ? "newest" : "oldest") + " first (" +
                                std::to_string(std::min(up, down)) + " of " + std::to_string(up + down) +
                                " steps the other way)");

    if (named && headerFields > 0 && layout.m_cDelimiter == ',') {
        std::size_t longer = 0;
        for (std::size_t i : data) longer += rows[i].size() > headerFields ? 1 : 0;
        if (longer * 2 > data.size()) {
            return Refuse(
                layout,
                "most rows have more fields than the header names: the numbers hold thousands "
                "separators that are not quoted (4,763.54); export them without separators or quoted",
                "");
        }
    }

    // The values of each field on each row; a row longer than the header is
    // skipped by the conversion, so it says nothing here.
    std::size_t checked = 0, disorder = 0;
    for (std::size_t i : data) {
        if (named && headerFields > 0 && layout.m_cDelimiter == ',' && rows[i].size() > headerFields &&
            !rows[i][headerFields].empty())
            continue;
        float v[kFieldCount] = {};
        bool has[kFieldCount] = {};
        for (int f = kOpen; f < kFieldCount; ++f) {
            const auto c = static_cast<std::size_t>(layout.m_nFieldColumn[f]);
            has[f] = layout.HasField(f) && c < rows[i].size() &&
                     ReadPriceNumber(rows[i][c], layout.m_bDecimalComma, &v[f]);
        }
        for (int f : {kVolume, kOpenInt}) {
            if (has[f] && v[f] < 0) {
                const std::string what = f == kVolume ? "volume" : "open interest";
                return Refuse(layout,
                              column(layout.m_nFieldColumn[f]) + ", taken for the " + what +
                                  ", holds negative numbers, as no " + what + " does",
                              f == kVolume ? "--volume-col or --no-volume" : "--oi-col or --no-oi");
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
        return Refuse(layout,
                      "the columns taken for the prices (" +
                          std::string(named ? "by their names" : "by their order") + ") do not agree: on " +
                          std::to_string(disorder) + " of " + std::to_string(checked) +
                          " rows the low is not the lowest or the high not the highest price",
                      "--open-col, --high-col, --low-col and --close-col");
    }
    if (checked > 0) {
        layout.m_evidence.push_back("the low is the lowest and the high the highest price on " +
                                    std::to_string(checked - disorder) + " of " + std::to_string(checked) +
                                    " rows");
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
                return Refuse(
                    layout,
                    "no header names the columns, and " + column(layout.m_nFieldColumn[f]) +
                        ", in the place of the " + (f == kVolume ? "volume" : "open interest") +
                        ", holds numbers with fractions, as prices or rates do; which column is the "
                        "close cannot be told",
                    "--close-col and the other column options");
            }
        }
    }
    return true;
}

}  // namespace tarvel
