#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "convert/date_text.h"
#include "convert/row_reader.h"

namespace tarvel {
namespace {

bool HasNonDigit(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return true;
    }
    return false;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Rows read are kept in memory until they are sorted; past this many the
// file cannot become one security even after repeated dates are dropped.
constexpr std::size_t kMaxRowsRead = 1 << 20;

struct Row {
    std::int32_t day;  // year * 10000 + month * 100 + day: orders by date
    int line;
    std::uint8_t bytes[4 * kFieldCount];
};

std::string Column(int index) { return "column " + std::to_string(index + 1); }

}  // namespace

int CConverter::Skip(int line, std::string reason) {
    if (m_nSkipped++ == 0 || line < m_nFirstSkippedLine) {
        m_nFirstSkippedLine = line;
        m_strFirstSkipReason = std::move(reason);
    }
    return 0;
}

int CConverter::ParseInput() {
    CLineReader reader(*m_input, std::move(m_strInputHead));
    CFieldSplitter fields;
    const char delimiter = m_szDelimiter[0];
    std::vector<Row> rows;
    // Room for the most records a security can hold; pages are touched only
    // as rows arrive.
    rows.reserve(kMaxPriceRecords);
    m_nSkipped = 0;

    std::string_view line;
    bool tooLong = false;
    int lineNumber = 0;
    auto next = [&] {
        if (!reader.Next(&line, &tooLong)) return false;
        // A UTF-8 byte order mark, as spreadsheets write one, is no part of
        // the first line's text.
        if (++lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        return true;
    };
    if (m_bSkipOn) {
        for (int i = 0; i < m_nSkipRows && next(); ++i) {
        }
    }

    int maxColumn = 0;
    for (int field = 0; field < kFieldCount; ++field) {
        if (field == kDate || m_bFieldOn[field]) maxColumn = std::max(maxColumn, m_nFieldColumn[field] + 1);
    }
    maxColumn = std::max({maxColumn, m_nTimeColumn + 1, m_nPeriodColumn + 1});
    // The time of day of each row that has one, to tell intraday data.
    std::vector<std::pair<std::int32_t, std::string>> times;
    auto intraday = [&] { return Fail(m_strPathIn + " holds several rows a day (intraday data); Tarvel writes daily data."); };
    bool firstRowSeen = false;
    while (next()) {
        if (tooLong) {
            Skip(lineNumber, "the line is longer than 64 KiB");
            continue;
        }
        if (line.find('\0') != std::string_view::npos) {
            Skip(lineNumber, "the line holds a NUL byte");
            continue;
        }
        int count = fields.Split(line, delimiter, std::min(maxColumn, kMaxColumns));
        if (count == 0) continue;  // blank, or delimiters only

        const int dateColumn = m_nFieldColumn[kDate];
        if (dateColumn < 0 || dateColumn >= count) {
            Skip(lineNumber, Column(dateColumn) + " is missing");
            continue;
        }
        const DateAndTime dateAndTime = SplitDateTime(fields[dateColumn]);
        std::string_view dateText = dateAndTime.date;
        if (dateText.size() >= 20) {
            return Fail("The date in line " + std::to_string(lineNumber) +
                        " is too long to be a date.\nNothing was converted.");
        }
        if (!firstRowSeen) {
            firstRowSeen = true;
            bool nonDigit = HasNonDigit(dateText);
            if (IsNumericOnlyFormat(m_nDateFormat) && nonDigit) {
                return Fail("You specified a numeric-only date format\nbut a non-numeric date character was found.");
            }
            if (!IsNumericOnlyFormat(m_nDateFormat) && !nonDigit) {
                return Fail(
                    "You specified a character-separated date format\nbut only numeric date characters were found.");
            }
        }
        CalendarDate date;
        switch (ReadDateText(dateText, m_nDateFormat, &date)) {
            case DateStatus::kRead: break;
            case DateStatus::kUnreadable:
                Skip(lineNumber, "the date in " + Column(dateColumn) + " cannot be read");
                continue;
            case DateStatus::kNotADay:
                Skip(lineNumber, "the date in " + Column(dateColumn) + " is not a real day");
                continue;
            case DateStatus::kOutOfRange:
                Skip(lineNumber, "the date in " + Column(dateColumn) + " lies outside 1900-01-01 to 2140-06-04");
                continue;
        }

        Row row;
        row.day = date.year * 10000 + date.month * 100 + date.day;
        if (m_nPeriodColumn >= 0 && m_nPeriodColumn < count) {
            std::string_view period = TrimBlanks(fields[m_nPeriodColumn]);
            if (period != "D" && period != "d") return intraday();
        }
        std::string_view time = dateAndTime.time;
        if (m_nTimeColumn >= 0 && m_nTimeColumn < count) time = TrimBlanks(fields[m_nTimeColumn]);
        if (!time.empty()) times.emplace_back(row.day, time);
        row.line = lineNumber;
        m_record[kDate] = MakeStoredDate(date);
        std::string problem;
        for (int field = kOpen; field < kFieldCount && problem.empty(); ++field) {
            m_record[field] = StoredNumber{};
            if (!m_bFieldOn[field]) continue;
            int column = m_nFieldColumn[field];
            float value = 0.0f;
            if (column < 0 || column >= count) {
                problem = Column(column) + " is missing";
            } else if (TrimBlanks(fields[column]).empty()) {
                problem = Column(column) + " is empty";
            } else if (!ReadPriceNumber(fields[column], m_bDecimalComma != 0, &value)) {
                problem = Column(column) + " is not a number";
            }
            m_record[field] = EncodeStoredNumber(value);
        }
        if (!problem.empty()) {
            Skip(lineNumber, problem);
            continue;
        }
        std::size_t length = 0;
        for (int field = 0; field < kFieldCount; ++field) {
            if (!m_bFieldOn[field]) continue;
            std::memcpy(row.bytes + length, m_record[field].data(), 4);
            length += 4;
        }
        if (rows.size() == kMaxRowsRead) {
            return Fail("This file has more rows than one security can hold (65534).\nNothing was converted.");
        }
        rows.push_back(row);
    }
    if (reader.Failed()) return Fail("Cannot read the input file " + m_strPathIn + ": " + m_platform.LastError());
    std::sort(times.begin(), times.end());
    if (std::adjacent_find(times.begin(), times.end(), [](const auto& a, const auto& b) {
            return a.first == b.first && a.second != b.second;
        }) != times.end()) {
        return intraday();
    }

    // Oldest first; of the rows of one date the latest in the file stays.
    // Files come oldest first or newest first: those need no sort.
    auto byDay = [](const Row& a, const Row& b) { return a.day < b.day; };
    if (std::is_sorted(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.day > b.day; }) &&
        std::adjacent_find(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.day == b.day; }) ==
            rows.end()) {
        std::reverse(rows.begin(), rows.end());
    } else if (!std::is_sorted(rows.begin(), rows.end(), byDay)) {
        std::stable_sort(rows.begin(), rows.end(), byDay);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t last = i;
        while (last + 1 < rows.size() && rows[last + 1].day == rows[i].day) ++last;
        for (; i < last; ++i) Skip(rows[i].line, "line " + std::to_string(rows[last].line) + " has the same date");
        rows[kept++] = rows[last];
        i = last + 1;
    }
    rows.resize(kept);

    if (m_nSkipped > 0) {
        std::string count = std::to_string(m_nSkipped);
        std::string where = "line " + std::to_string(m_nFirstSkippedLine) + ": " + m_strFirstSkipReason + ".";
        m_prompt.MessageBox(m_nSkipped == 1 ? "1 row was skipped. It was " + where
                                            : count + " rows were skipped. The first was " + where,
                            kMbOk);
    }
    if (rows.empty()) return Fail("No price rows could be read from " + m_strPathIn + ".");
    if (rows.size() > static_cast<std::size_t>(kMaxPriceRecords)) {
        return Fail("This file has more rows than one security can hold (65534).\nNothing was converted.");
    }
    if (m_bStrict && m_nSkipped > 0) return Fail("Nothing was converted: skipped rows are not allowed (--strict).");

    const std::size_t length = static_cast<std::size_t>(4 * m_nFieldCount);
    m_staged.records.clear();
    m_staged.records.reserve(length * rows.size());
    for (const Row& row : rows) m_staged.records.insert(m_staged.records.end(), row.bytes, row.bytes + length);
    m_staged.recordCount = static_cast<std::uint16_t>(rows.size());
    std::memcpy(m_staged.firstDate.data(), rows.front().bytes, 4);
    std::memcpy(m_staged.lastDate.data(), rows.back().bytes, 4);
    return 0;
}

}  // namespace tarvel
